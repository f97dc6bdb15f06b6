#!/usr/bin/python3
"""serbox.exe under Wine, driven as a technician drives it on a Windows PC.

  wine_gui.py en|it --zip ZIP --prefix DIR --device SERBOX_DEVICE --listing SERBOX_LISTING [--shots DIR]

The program comes out of the zip a technician gets, unpacked into a folder of its
own. It runs in a Wine prefix of the test's own, on an X server of its own with a
window manager (Xvfb, openbox); keys go through the X server (xdotool), COM1 is
serbox-device's line. Texts inside the windows cannot be read back under Wine:
screenshots of the windows go to --shots, to be looked at.
"""
import argparse
import getpass
import os
import pathlib
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xdesktop import (WINE, Desktop, Device, end_wine, expect, log, map_port, options, program, run,  # noqa: E402
                      run_test, ser2net, store, until, wine_env)


def same(got, want, what):
    got, want = pathlib.Path(got).read_bytes(), pathlib.Path(want).read_bytes()
    expect(got == want, f"{what}: {len(got)} bytes, not the {len(want)} sent")


def map_ports(prefix, device_port):
    """COM1 to the device's line, COM2 to COM4 to lines of this test that nobody
    answers: no name the program offers leads to a port of the machine."""
    ports = [device_port]
    for _ in range(3):
        master, slave = os.openpty()
        ports.append(os.ttyname(slave))
        os.close(slave)  # the master keeps the terminal; Wine opens the path
    for n, pty in enumerate(ports, start=1):
        map_port(prefix, f"COM{n}", pty)
    return ports


def unpacked(args, work):
    """The program out of the zip, in a folder of its own."""
    folder = os.path.join(work, "serbox")
    with zipfile.ZipFile(args.zip) as z:
        z.extractall(folder)
    exe = next((os.path.join(root, f) for root, _, files in os.walk(folder) for f in files if f == args.exe), None)
    expect(exe, f"{args.exe} is not in {args.zip}")
    return exe


def start_up(args, children, d, work, exe, steps, request, cwd=None, language="en_US.UTF-8", server=False):
    """serbox-device on COM1, the program started (in work unless cwd), the
    start-up request acknowledged and the setup dialog that follows answered
    with COM1, or with the device behind a device server (ser2net on this
    machine) typed as COM1's device: the device and the main window."""
    device = Device(children, args.device, steps, work)
    url = ser2net(children, work, device.port)[0] if server else None
    ports = map_ports(args.prefix, device.port)
    log(f"COM1 to COM4 mapped to {', '.join(ports)}")
    # Wine links the prefix user's Desktop, Documents and the like to the home
    # folder of the run that made the prefix, gone since (Wine's file dialog
    # then crashes): to this run's folder instead. The file dialogs first open
    # in Documents: this run's folder.
    home = os.path.join(args.prefix, "drive_c", "users", getpass.getuser())
    for link in (os.path.join(home, n) for n in os.listdir(home) if os.path.islink(os.path.join(home, n))):
        os.remove(link)
        os.symlink(work, link)
    children.start([WINE, exe], cwd=cwd or work, env=wine_env(args.prefix, language))
    # The request counts as acknowledged when it loses the activation; under Wine
    # the main window's first activation may come after it and take it away.
    setup = "^Serial port setup$"
    until(lambda: d.search(f"^{request}$") or d.search(setup), f"the port request {request}")
    window = d.search(f"^{request}$")
    if window and run("timeout", "5", "xdotool", "windowactivate", "--sync", window).returncode == 0 and \
            d.active() == request:
        d.shot(window, f"{args.language}-request", args.shots)
        d.keys("Return")
        log(f"the port request \"{request}\" answered")
    else:
        log(f"the port request \"{request}\" closed itself as the main window took the activation")
    d.activate(d.window(setup))
    d.shot(d.window(setup), f"{args.language}-setup", args.shots)  # the ports by their names
    # Just before the program opens a port: each name leads to a line of this test.
    links = [os.readlink(os.path.join(args.prefix, "dosdevices", f"com{n}")) for n in range(1, 5)]
    expect(links == ports, f"COM1 to COM4 lead to {links}, not to the test's lines {ports}: no byte is written")
    if url:
        d.keys("Tab", "ctrl+a")
        d.keys(typed=url)
    d.keys("Return")  # COM1, the dialog's first port
    d.gone("^Serial port setup$")
    device.shows("serbox has opened the port.")
    main = d.window("^KORVEL SU COM")
    d.activate(main)
    # The start-up sets "KORVEL SU COM1" after the setup dialog has closed; the
    # main window's activation writes "KORVEL SU COM 1". Under Wine the activation
    # comes as the dialog closes, before the port is chosen, so "COM1" stays.
    until(lambda: d.title(main) in ("KORVEL SU COM1", "KORVEL SU COM 1"), "the title KORVEL SU COM1")
    return device, main


def english(args, children, d, work, exe):
    store(os.path.join(work, "DEVICE"), *program("L", "1", 3000, 7))  # a 5001 block follows
    store(os.path.join(work, "STORED"), *program("M", "0", 700, 40))  # a 5001 block follows too
    steps = ["send", "DEVICE.hdr", "DEVICE.src", "receive", "BACK", "type"]
    device, main = start_up(args, children, d, work, exe, steps, "WARNING")

    # Reception: F7 names the listing, the device sends its program. The dialog
    # opens in Documents: the test's folder.
    d.dialog("F7", "^Save As$", text="SAVED.TXT", closes=True)
    # Back from a dialog of its own, the main window is activated anew.
    until(lambda: d.title(main) == "KORVEL SU COM 1", "the title KORVEL SU COM 1")
    device.write("\n")
    device.shows("send complete")
    for ext in ("hdr", "src"):
        same(os.path.join(work, "SAVED." + ext), os.path.join(work, "DEVICE." + ext), "reception")
    os.remove(os.path.join(work, "DEVICE.TXT"))
    expect(run(args.listing, os.path.join(work, "DEVICE.src")).returncode == 0, "serbox-listing wrote no listing")
    same(os.path.join(work, "SAVED.TXT"), os.path.join(work, "DEVICE.TXT"), "listing")
    d.shot(main, "en-received", args.shots)

    # Transmission: F8 chooses another stored set, the device asks for it; the
    # device checks that the header came paced and the zero byte from the watchdog.
    d.activate(main)
    d.dialog("F8", "^Open$", text="STORED.TXT", closes=True)
    device.write("\n")
    device.shows("receive complete", limit=60)
    for ext in ("hdr", "src"):
        same(os.path.join(work, "BACK." + ext), os.path.join(work, "STORED." + ext), "transmission")

    # Terminal: a line from the device, and keys; F1, F2, F3 and F9 send nothing,
    # the period key (BE) marks the end.
    device.write("LINE FROM THE DEVICE 1234\n")
    d.activate(main)
    d.keys("a", "shift+1", "Return", "F5", "F6", "F1", "F2", "F3", "F9", "7", "0", "z", "k", "period")
    until(lambda: device.keys_received().endswith("BE"), "the marker key at the device")
    want = "41 10 31 0D 07 07 07 11 07 07 07 12 37 30 5A 4B BE"
    expect(device.keys_received() == want, f"the keys gave {device.keys_received()}, not {want}")
    d.shot(main, "en-terminal", args.shots)


def italian(args, children, d, work, exe):
    """The Italian program on an Italian system, its device behind a device
    server, its main window to look at."""
    device, main = start_up(args, children, d, work, exe, ["type"], "AVVISO", cwd=os.path.dirname(exe),
                            language="it_IT.UTF-8", server=True)
    d.shot(main, "it-main", args.shots)
    d.activate(main)
    d.keys("a", "period")  # through the device server
    until(lambda: device.keys_received().endswith("BE"), "the marker key at the device")
    expect(device.keys_received() == "41 BE", f"the keys gave {device.keys_received()}, not 41 BE")

    # F7 on a stored set's name: the overwrite prompt, shown as the file dialog
    # closes, stays up until its OK (it used to lose the activation at once).
    # The dialog is the system's, titled in Italian by Qt's Italian texts, and
    # opens in Documents (this test's folder), not in the program's folder it
    # was started in: the bare name is found.
    store(os.path.join(work, "OLD"), *program("O", "0", 300, 3))
    d.activate(main)
    d.keys("F7")
    d.shot(d.window("^Salva come$"), "it-save-as", args.shots)
    d.answer("^Salva come$", text="OLD.TXT", closes=True)
    prompt = d.window("^AVVISO$")
    d.shot(prompt, "it-overwrite", args.shots)
    expect(d.search("^AVVISO$"), "the overwrite prompt closed by itself")
    def answered():
        if not d.search("^AVVISO$"):
            return True
        run("xdotool", "mousemove", "--window", prompt, "188", "104", "click", "1")  # OK
        return False
    until(answered, "OK to close the overwrite prompt")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("language", choices=("en", "it"))
    args = options(p, ("zip", "prefix", "device", "listing"),
                   "make build builds the Linux tools, make package-windows the zip")
    if not args:
        return 1
    args.exe = "serbox.exe" if args.language == "en" else "serbox-it.exe"

    def session(children, work):
        (english if args.language == "en" else italian)(args, children, Desktop(children), work, unpacked(args, work))
    return run_test(session, f"wine-gui-{args.language}", args.shots, lambda: end_wine(args.prefix))


if __name__ == "__main__":
    sys.exit(main())
