#!/usr/bin/python3
"""serbox-<version>-setup.exe under Wine, as an IT department and a technician use it.

  wine_installer.py --setup EXE --newer EXE --prefix DIR --device SERBOX_DEVICE [--shots DIR]

In a fresh prefix: the first pages, silent installs and what they make; the
installed program on COM1 and what its running stops; an update, a downgrade,
the quiet uninstall, PATH losing nothing; a per-user install and uninstall.
"""
import argparse
import getpass
import os
import pathlib
import re
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xdesktop import WINE, Desktop, Failure, end_wine, expect, options, run, run_test, until, wine, wine_env  # noqa: E402
import wine_gui  # noqa: E402

UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
ENVIRONMENT = r"HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
USER_ENVIRONMENT = r"HKCU\Environment"
MENU = "ProgramData/Microsoft/Windows/Start Menu/Programs/serbox"
SHORTCUTS = ("serbox (English).lnk", "serbox (italiano).lnk")


def reg(args, *argv):
    return wine(args.prefix, "reg", *argv)


def drive_c(args, path=""):
    return os.path.join(args.prefix, "drive_c", path)


USER = getpass.getuser()  # Wine's user is this machine's
USER_MENU = f"users/{USER}/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/serbox"


def unix_path(windows):
    return windows[3:].replace("\\", "/")


def entries(args, root="HKLM"):
    """The entries under Apps named serbox: (key, values)."""
    key = UNINSTALL.replace("HKLM", root)
    code, out = reg(args, "query", key, "/s")
    if code != 0 and root == "HKCU":
        return []  # the user's list made by the first per-user install
    expect(code == 0, f"cannot read {key}")
    keys = [(b.partition("\n")[0], dict(re.findall(r"^\s+(\S+)\s+REG_\w+\s+(.*)$", b, re.M)))
            for b in re.split(r"\n(?=HKEY_)", out)]
    return [(key, values) for key, values in keys if values.get("DisplayName") == "serbox"]


# The installer's exit statuses (packaging/serbox.nsi).
RUNNING, NEWER, PATH_UNCHANGED = 3, 4, 5


def silent(args, exe, *options, status=0):
    r = run(WINE, exe, "/S", *options, env=wine_env(args.prefix))
    expect(r.returncode == status, f"{exe} /S {' '.join(options)} exited with {r.returncode}, not {status}")


def quiet_uninstall(args, entry, status=0):
    """The uninstall an IT script runs: the Apps entry's command line as it stands
    (a batch file: Wine would quote its parts anew)."""
    bat = drive_c(args, "uninstall-serbox.bat")
    pathlib.Path(bat).write_text(entry["QuietUninstallString"] + "\r\n")
    r = run(WINE, "cmd", "/c", "C:\\uninstall-serbox.bat", env=wine_env(args.prefix))
    expect(r.returncode == status, f"{entry['QuietUninstallString']} exited with {r.returncode}, not {status}")


MANIFEST = ("asInvoker", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", "<longPathAware")
LICENCES = ("LGPL-3.txt", "GPL-3.txt", "Qt-copyright.txt", "MinGW-GCC-runtime-copyright.txt", "MinGW-w64-copyright.txt")


def icon_sizes(data):
    """The sizes in the icon's group directory among the resources: 0, 1, a count,
    then 14 bytes an image, its width first (0 for 256), planes 1 at 4."""
    for m in re.finditer(rb"\x00\x00\x01\x00([\x02-\x1f])\x00", data):
        images = [data[m.end() + 14 * i:m.end() + 14 * i + 14] for i in range(m.group(1)[0])]
        if all(e[3] == 0 and e[4:6] == b"\1\0" for e in images):
            return sorted(e[0] or 256 for e in images)
    return []


def shortcut_target(path):
    """The program a shortcut starts: the local path it holds."""
    expect(os.path.isfile(path), f"no Start-menu entry {path}")
    data = pathlib.Path(path).read_bytes()
    for text in (data.decode("latin-1"), data.decode("utf-16-le", "replace")):
        m = re.search(r"[A-Za-z]:\\[^\x00<>\"|?*]*?\.exe", text)
        if m:
            return m.group(0)
    raise Failure(f"the shortcut {path} names no program")


def check_installed(args, folder, version, root="HKLM"):
    """The files, the Start-menu entries and one entry under Apps (of the machine,
    or of the user: root HKCU); what the English entry starts, and the entry."""
    base = drive_c(args, unix_path(folder))
    for f in ("serbox.exe", "serbox-it.exe", "bin/serbox-listing.exe", "bin/serbox-cli.exe", "Qt6Core.dll",
              "platforms/qwindows.dll", "translations/qtbase_it.qm", "uninstall.exe") + tuple("licences/" + n for n in LICENCES):
        expect(os.path.isfile(os.path.join(base, f)), f"{f} is not in {folder}")
        if not f.endswith(".exe") or f == "uninstall.exe":
            continue
        # Each program's properties give its version (the files are the first
        # installer's), its manifest its rights, systems and long paths, its icon
        # every size from 16 to 256 pixels.
        data = pathlib.Path(base, f).read_bytes()
        expect(all(t.encode("utf-16-le") in data for t in ("ProductVersion", args.version)),
               f"{f} has no version information {args.version}")
        missing = [t for t in MANIFEST if t.encode() not in data]
        expect(not missing, f"{f}'s manifest lacks {missing}")
        sizes = icon_sizes(data)
        expect(sizes[:1] + sizes[-1:] == [16, 256], f"{f}'s icon has the sizes {sizes}, not 16 to 256")
    others = sorted(f for f in os.listdir(os.path.join(base, "bin")) if not f.lower().endswith(".dll"))
    expect(others == ["serbox-cli.exe", "serbox-listing.exe"], f"the folder for PATH holds {others}")
    menu = MENU if root == "HKLM" else USER_MENU
    targets = [shortcut_target(drive_c(args, os.path.join(menu, name))) for name in SHORTCUTS]
    for name in SHORTCUTS:  # each starts in the Documents of whoever starts it
        data = pathlib.Path(drive_c(args, os.path.join(menu, name))).read_bytes()
        expect(r"%USERPROFILE%\Documents".encode("utf-16-le") in data, f"{name} does not start in Documents")
    want = [folder + "\\serbox.exe", folder + "\\serbox-it.exe"]
    expect([t.lower() for t in targets] == [w.lower() for w in want],
           f"the Start-menu entries {SHORTCUTS} start {targets}, not {want}")
    found = entries(args, root)
    expect(len(found) == 1, f"{len(found)} entries named serbox under Apps, not one: {[k for k, _ in found]}")
    mode = "/AllUsers" if root == "HKLM" else "/CurrentUser"
    want = {"DisplayVersion": version, "Publisher": "serbox developers", "InstallLocation": folder,
            "DisplayIcon": folder + "\\serbox.exe,0", "UninstallString": f'"{folder}\\uninstall.exe" {mode}',
            "QuietUninstallString": f'"{folder}\\uninstall.exe" /S {mode} _?={folder}'}
    wrong = {k: found[0][1].get(k) for k, w in want.items() if found[0][1].get(k) != w}
    expect(not wrong, f"the entry under Apps has {wrong}, not {[want[k] for k in wrong]}")
    return targets[0], found[0][1]


def first_pages(args, children, d):
    """The installer's first page, in the system's language."""
    for language, title in (("en_US.UTF-8", "serbox .* Setup"), ("it_IT.UTF-8", "Installazione di serbox")):
        p = children.start([WINE, args.setup], env=wine_env(args.prefix, language))
        window = d.window(title)
        d.shot(window, f"setup-{language[:2]}", args.shots)
        p.kill()
        end_wine(args.prefix)
        d.gone(title)


def path_value(args, key=ENVIRONMENT):
    code, out = reg(args, "query", key, "/v", "Path")
    m = re.search(r"Path\s+REG_\w+\s+(.*)$", out, re.M)
    return m.group(1) if m else ""


def set_path(args, value, key=ENVIRONMENT):
    expect(reg(args, "add", key, "/v", "Path", "/t", "REG_EXPAND_SZ", "/d", value, "/f")[0] == 0,
           "cannot set PATH")
    return value


def same_path(args, want, when, key=ENVIRONMENT):
    got = path_value(args, key)
    expect(got == want, f"PATH {when} is {got!r}, not {want!r}")


def session(args, children, work):
    d = Desktop(children)
    # A prefix as a new PC: nothing of an earlier run installed.
    end_wine(args.prefix)
    shutil.rmtree(args.prefix, ignore_errors=True)
    first_pages(args, children, d)

    # A PATH of more than 1024 characters: /PATH must leave it as it is, and say so.
    base = path_value(args)
    long_path = set_path(args, base + "".join(f";C:\\Vendor\\tool{i:03}\\bin" for i in range(60)))
    default = "C:\\Program Files\\serbox"
    silent(args, args.setup, "/PATH", status=PATH_UNCHANGED)
    exe, _ = check_installed(args, default, args.version)
    same_path(args, long_path, "after /PATH")

    # A set the user keeps in his Documents (this test's folder: wine_gui.start_up).
    kept = [os.path.join(work, f"KEPT.{ext}") for ext in ("hdr", "src", "TXT")]
    wine_gui.store(kept[0][:-4], *wine_gui.program("K", "0", 200, 5))

    # The installed program, started from its own folder, as a shortcut without
    # a start folder would: it opens COM1 (the zip's test receives and sends
    # with the same files), and F8 opens in Documents, where the bare name is found.
    args.language = "en"
    _, main = wine_gui.start_up(args, children, d, work, exe, ["type"], "WARNING",
                                cwd=drive_c(args, unix_path(default)))
    d.activate(main)
    d.dialog("F8", "^Open$", text="KEPT.TXT", closes=True)
    # While it runs, neither an update nor the uninstall touches its files.
    silent(args, args.newer, status=RUNNING)
    _, entry = check_installed(args, default, args.version)
    quiet_uninstall(args, entry, status=RUNNING)
    check_installed(args, default, args.version)
    end_wine(args.prefix)  # the program ends with its prefix's server
    code, out = reg(args, "query", r"HKCU\Software\serbox", "/s")
    expect(code == 0 and "COM1" in out, f"the port chosen is not remembered in HKCU\\Software\\serbox:\n{out}")
    # Nor while a batch of serbox-cli's waits for its devices.
    os.makedirs(os.path.join(work, "batch"))  # the device's words apart from the first one's
    device = wine_gui.Device(children, args.device, ["type"], os.path.join(work, "batch"))
    wine_gui.map_ports(args.prefix, device.port)
    children.start([WINE, default + "\\bin\\serbox-cli.exe", "receive", "--port", "COM1", "--into", "C:\\",
                    "--wait", "120"], env=wine_env(args.prefix))
    device.shows("serbox has opened the port.")
    silent(args, args.newer, status=RUNNING)
    end_wine(args.prefix)

    # The same version again, into another folder: the first one goes.
    other = "C:\\Tools\\serbox"
    tools = set_path(args, base + ";" + other + "-tools")
    silent(args, args.setup, "/PATH", "/D=" + other)
    check_installed(args, other, args.version)
    expect(not os.path.exists(drive_c(args, unix_path(default))),
           f"{default} is still there after the install into {other}")

    # A newer one over it, without /PATH: the folder it knows, one entry; the
    # older one takes its folder off PATH and the newer, as chosen before, puts
    # it back; the -tools one stays.
    silent(args, args.newer)
    check_installed(args, other, args.newer_version)
    same_path(args, tools + ";" + other + "\\bin", "after the update")

    # The older one over it: refused, unless asked for.
    silent(args, args.setup, status=NEWER)
    check_installed(args, other, args.newer_version)
    silent(args, args.setup, "/DOWNGRADE")
    _, entry = check_installed(args, other, args.version)
    same_path(args, tools + ";" + other + "\\bin", "after the downgrade")

    # Uninstalled with PATH grown past what it can read whole: left as it is, and said.
    long_path = set_path(args, long_path + ";" + other + "\\bin")

    # The quiet uninstall returns when it is done: the files, shortcuts and keys
    # are gone; its own file and the folder go at the next restart.
    quiet_uninstall(args, entry, status=PATH_UNCHANGED)
    left = os.listdir(drive_c(args, unix_path(other)))
    expect(not entries(args) and left in ([], ["uninstall.exe"]), f"the uninstall returned leaving {left}")
    expect(not os.path.exists(drive_c(args, MENU)), "the Start-menu entries are left behind")
    expect(reg(args, "query", r"HKLM\Software\serbox")[0] != 0, r"HKLM\Software\serbox is left behind")
    run(WINE, "wineboot", "-r", env=wine_env(args.prefix))  # a restart: the deletions left for it
    expect(not os.path.exists(drive_c(args, unix_path(other))), f"{other} is left after a restart")
    same_path(args, long_path, "after the uninstall")
    missing = [f for f in kept if not os.path.isfile(f)]
    expect(not missing, f"the uninstall took the user's set: {missing}")
    expect(reg(args, "query", r"HKCU\Software\serbox", "/s")[0] == 0, "the uninstall took the user's settings")

    # For this user alone: the user's folder, Start menu, Apps list and PATH;
    # the machine's untouched. The folder was on the user's PATH before: it stays.
    mine = f"C:\\users\\{USER}\\AppData\\Local\\Programs\\serbox"
    own = set_path(args, "C:\\Own;" + mine + "\\bin", USER_ENVIRONMENT)
    silent(args, args.setup, "/CurrentUser", "/PATH")
    _, entry = check_installed(args, mine, args.version, root="HKCU")
    expect(not entries(args) and not os.path.exists(drive_c(args, MENU)) and path_value(args) == long_path
           and path_value(args, USER_ENVIRONMENT) == own, "a per-user install is not the user's alone")
    quiet_uninstall(args, entry)
    run(WINE, "wineboot", "-r", env=wine_env(args.prefix))  # a restart: the deletions left for it
    expect(not entries(args, "HKCU") and not os.path.exists(drive_c(args, unix_path(mine)))
           and not os.path.exists(drive_c(args, USER_MENU)), "the per-user uninstall left something")
    same_path(args, own, "after the per-user uninstall", USER_ENVIRONMENT)


def main():
    args = options(argparse.ArgumentParser(), ("setup", "newer", "prefix", "device"),
                   "make build builds the Linux tools, make installer-windows the installer")
    if not args:
        return 1
    args.version = re.search(r"serbox-(.+)-setup\.exe$", args.setup).group(1)
    args.newer_version = re.search(r"serbox-(.+)-setup\.exe$", args.newer).group(1)
    return run_test(lambda children, work: session(args, children, work), "wine-installer", args.shots,
                    lambda: end_wine(args.prefix))


if __name__ == "__main__":
    sys.exit(main())
