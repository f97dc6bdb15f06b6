#!/usr/bin/python3
"""serbox-<version>-setup.exe under Wine, as an IT department and a technician use it.

  wine_installer.py --setup EXE --newer EXE --prefix DIR --device SERBOX_DEVICE [--shots DIR]

In a prefix of its own: the first page in English and in Italian (screenshots, by
the system's language); a silent install, its Start-menu entries and its entry
under Apps in the prefix's registry; the English program started from the path
its shortcut names, on COM1 to serbox-device; the same version
again into another folder, then a newer one with /PATH over it: one entry under
Apps each time; a silent uninstall: nothing of it left, the user's set and
settings kept. PATH loses nothing: one longer than the installer can read whole
is left as it is, and only the entry that is the folder comes off.
"""
import argparse
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
MENU = "ProgramData/Microsoft/Windows/Start Menu/Programs/serbox"
SHORTCUTS = ("serbox (English).lnk", "serbox (italiano).lnk")


def reg(args, *argv):
    return wine(args.prefix, "reg", *argv)


def drive_c(args, path=""):
    return os.path.join(args.prefix, "drive_c", path)


def unix_path(windows):
    return windows[3:].replace("\\", "/")


def entries(args):
    """The entries under Apps named serbox: (key, values)."""
    code, out = reg(args, "query", UNINSTALL, "/s")
    expect(code == 0, f"cannot read {UNINSTALL}")
    keys = [(b.partition("\n")[0], dict(re.findall(r"^\s+(\S+)\s+REG_\w+\s+(.*)$", b, re.M)))
            for b in re.split(r"\n(?=HKEY_)", out)]
    return [(key, values) for key, values in keys if values.get("DisplayName") == "serbox"]


def silent(args, exe, *options):
    r = run(WINE, exe, "/S", *options, env=wine_env(args.prefix))
    expect(r.returncode == 0, f"{exe} /S {' '.join(options)} exited with {r.returncode}")


def shortcut_target(path):
    """The program a shortcut starts: the local path it holds."""
    expect(os.path.isfile(path), f"no Start-menu entry {path}")
    data = pathlib.Path(path).read_bytes()
    for text in (data.decode("latin-1"), data.decode("utf-16-le", "replace")):
        m = re.search(r"[A-Za-z]:\\[^\x00<>\"|?*]*?\.exe", text)
        if m:
            return m.group(0)
    raise Failure(f"the shortcut {path} names no program")


def check_installed(args, folder, version):
    """The files, the Start-menu entries and one entry under Apps; what the English entry starts."""
    base = drive_c(args, unix_path(folder))
    for f in ("serbox.exe", "serbox-it.exe", "serbox-listing.exe", "serbox-cli.exe", "Qt6Core.dll", "platforms/qwindows.dll",
              "uninstall.exe"):
        expect(os.path.isfile(os.path.join(base, f)), f"{f} is not in {folder}")
        # Each program's properties give its version (the files are the first installer's).
        data = pathlib.Path(base, f).read_bytes()
        expect(not f.startswith("serbox") or all(t.encode("utf-16-le") in data for t in ("ProductVersion", args.version)),
               f"{f} has no version information {args.version}")
    targets = [shortcut_target(drive_c(args, os.path.join(MENU, name))) for name in SHORTCUTS]
    want = [folder + "\\serbox.exe", folder + "\\serbox-it.exe"]
    expect([t.lower() for t in targets] == [w.lower() for w in want],
           f"the Start-menu entries {SHORTCUTS} start {targets}, not {want}")
    found = entries(args)
    expect(len(found) == 1, f"{len(found)} entries named serbox under Apps, not one: {[k for k, _ in found]}")
    want = {"DisplayVersion": version, "Publisher": "serbox developers", "InstallLocation": folder,
            "DisplayIcon": folder + "\\serbox.exe,0", "UninstallString": f'"{folder}\\uninstall.exe"',
            "QuietUninstallString": f'"{folder}\\uninstall.exe" /S'}
    wrong = {k: found[0][1].get(k) for k, w in want.items() if found[0][1].get(k) != w}
    expect(not wrong, f"the entry under Apps has {wrong}, not {[want[k] for k in wrong]}")
    return targets[0]


def first_pages(args, children, d):
    """The installer's first page, in the system's language."""
    for language, title in (("en_US.UTF-8", "serbox .* Setup"), ("it_IT.UTF-8", "Installazione di serbox")):
        p = children.start([WINE, args.setup], env=wine_env(args.prefix, language))
        window = d.window(title)
        d.shot(window, f"setup-{language[:2]}", args.shots)
        p.kill()
        end_wine(args.prefix)
        d.gone(title)


def path_value(args):
    code, out = reg(args, "query", ENVIRONMENT, "/v", "Path")
    m = re.search(r"Path\s+REG_\w+\s+(.*)$", out, re.M)
    return m.group(1) if m else ""


def set_path(args, value):
    expect(reg(args, "add", ENVIRONMENT, "/v", "Path", "/t", "REG_EXPAND_SZ", "/d", value, "/f")[0] == 0,
           "cannot set PATH")
    return value


def same_path(args, want, when):
    got = path_value(args)
    expect(got == want, f"PATH {when} is {got!r}, not {want!r}")


def session(args, children, work):
    d = Desktop(children)
    # A prefix as a new PC: nothing of an earlier run installed.
    end_wine(args.prefix)
    shutil.rmtree(args.prefix, ignore_errors=True)
    first_pages(args, children, d)

    # A PATH of more than 1024 characters: /PATH must leave it as it is.
    base = path_value(args)
    long_path = set_path(args, base + "".join(f";C:\\Vendor\\tool{i:03}\\bin" for i in range(60)))
    default = "C:\\Program Files\\serbox"
    silent(args, args.setup, "/PATH")
    exe = check_installed(args, default, args.version)
    same_path(args, long_path, "after /PATH")

    # The installed program, started as its shortcut starts it, opens COM1 (the
    # zip's test receives and sends with the same files).
    args.language = "en"
    wine_gui.start_up(args, children, d, work, exe, ["type"], "WARNING")
    end_wine(args.prefix)  # the program ends with its prefix's server
    code, out = reg(args, "query", r"HKCU\Software\serbox", "/s")
    expect(code == 0 and "COM1" in out, f"the port chosen is not remembered in HKCU\\Software\\serbox:\n{out}")

    # A set the user keeps in his own folder.
    users = [u for u in os.listdir(drive_c(args, "users")) if u != "Public"]
    expect(users, "the prefix has no user folder")
    kept = [drive_c(args, f"users/{users[0]}/Documents/KEPT.{ext}") for ext in ("hdr", "src", "TXT")]
    for f in kept:
        os.makedirs(os.path.dirname(f), exist_ok=True)
        pathlib.Path(f).write_bytes(b"kept")

    # The same version again, into another folder: the first one goes.
    other = "C:\\Tools\\serbox"
    tools = set_path(args, base + ";" + other + "-tools")
    silent(args, args.setup, "/PATH", "/D=" + other)
    check_installed(args, other, args.version)
    expect(not os.path.exists(drive_c(args, unix_path(default))),
           f"{default} is still there after the install into {other}")

    # A newer one over it: the folder it knows, one entry; the older one takes
    # its folder off PATH and the newer puts it back, the -tools one stays.
    silent(args, args.newer, "/PATH")
    check_installed(args, other, args.newer_version)
    same_path(args, tools + ";" + other, "after the update")

    # Uninstalled with PATH grown past what it can read whole: left as it is.
    long_path = set_path(args, long_path + ";" + other)

    # Silent uninstall: the uninstaller copies itself away and returns at once.
    silent(args, other + "\\uninstall.exe")
    until(lambda: not entries(args) and not os.path.exists(drive_c(args, unix_path(other))),
          "the uninstaller to remove the folder and the entry under Apps", 60)
    expect(not os.path.exists(drive_c(args, MENU)), "the Start-menu entries are left behind")
    expect(reg(args, "query", r"HKLM\Software\serbox")[0] != 0, r"HKLM\Software\serbox is left behind")
    same_path(args, long_path, "after the uninstall")
    missing = [f for f in kept if not os.path.isfile(f)]
    expect(not missing, f"the uninstall took the user's set: {missing}")
    expect(reg(args, "query", r"HKCU\Software\serbox", "/s")[0] == 0, "the uninstall took the user's settings")


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
