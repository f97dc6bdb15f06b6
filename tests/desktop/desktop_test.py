#!/usr/bin/python3
"""The real English program on a desktop of its own: Xvfb, openbox, a session bus
with the accessibility bus behind it, and its line's device end on a
pseudo-terminal. Keys are typed with xdotool; what a screen reader would say
comes from the accessibility bus.

  desktop_test.py dialogs|layouts|start-up|remembered|network --program SERBOX_EN [--shots DIR]
  desktop_test.py a11y active|names|text [NAME]     (the harness asking the bus)
"""
import argparse
import contextlib
import ctypes
import fcntl
import functools
import os
import select
import subprocess
import sys
import tty

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xdesktop import Desktop, Failure, expect, options, run, run_test, ser2net, until, within  # noqa: E402

MAIN, SETUP = "^KORVEL SU COM", "^Serial port setup$"


def check(got, want, what):
    if got != want:
        raise Failure(f"{what}: {got!r}, not {want!r}")


class Session(Desktop):
    """The desktop, the program's environment and the device's end of its line."""

    def __init__(self, children, work, args):
        # The session lives in this test's own environment (run_test's), which every command inherits.
        super().__init__(children)
        bus = children.start(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE,
                             text=True)
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
        expect(os.environ["DBUS_SESSION_BUS_ADDRESS"], "no session bus")
        # The accessibility bus, started before the program looks for it.
        run("dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
            "org.a11y.Bus.GetAddress")
        children.start(["xmessage", "-title", "OTHER", "another application"])
        self.children, self.work, self.args = children, work, args
        # The device's end; the program must not inherit it, nor keep the other end open.
        self.line, slave = os.openpty()
        os.set_inheritable(self.line, False)
        os.set_blocking(self.line, False)
        tty.setraw(self.line)
        self.path = os.ttyname(slave)
        os.close(slave)

    def layout(self, layout, variant=""):
        expect(run("setxkbmap", "-layout", layout, "-variant", variant).returncode == 0,
               f"no keyboard layout {layout} {variant}")

    def start_program(self):
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        return self.children.start([self.args.program], cwd=self.work, env=env)

    def start_on_the_line(self, port=""):
        """Start-up as a user does it, until the program has the line open."""
        self.start_program()
        self.answer("^WARNING$", "Return")
        self.answer_setup(port)
        main = self.window(MAIN)
        self.opened()
        self.activate(main)
        check(self.received(), "", "bytes before the first key")  # and everything before this key handled
        return main

    def opened(self):
        """Until the program has the line open: a terminal behind it, no hang-up."""
        p = select.poll()
        p.register(self.line, select.POLLOUT)
        until(lambda: p.poll(0) == [(self.line, select.POLLOUT)], "the program to open the line")

    def answer_setup(self, port="", device=None):
        """The port by its name's keys (COM and the digit), then the device's line."""
        if port:
            self.answer(SETUP, "ctrl+a", *f"COM{port}")
        self.answer(SETUP, "Tab", "ctrl+a", text=device or self.path, closes=True)

    def away_and_back(self, back):
        self.activate(self.window("^OTHER$"))
        # Until the program has seen it go: the toolkit lets a quick return pass unseen.
        until(lambda: self.accessible("active") == "0\n", "the program to lose the focus")
        self.activate(back)

    def received(self):
        """The bytes that reach the device up to the marker key's byte (BE, the
        period key), in hex: anything sent twice has arrived by then."""
        self.keys("period")
        got = bytearray()

        def marked():
            with contextlib.suppress(BlockingIOError):
                while chunk := os.read(self.line, 4096):
                    got.extend(chunk)
            return got.endswith(b"\xbe")
        until(marked, "the marker key at the device")
        return got[:-1].hex(" ").upper()

    def accessible(self, what, name=""):
        """What a screen reader reads (a11y below), once the program is on the bus."""
        return until(lambda: run(sys.executable, __file__, "a11y", what, name).stdout,
                     f"{what} {name} on the accessibility bus")


def dialogs(s):
    """Each key once, activations and prompts after dialogs and another application."""
    main = s.start_on_the_line()
    check(s.accessible("names"), "Device messages\nFILE TO RECEIVE\nFILE TO TRASMIT\nMessage line\n", "the names")
    open(os.path.join(s.work, "STORED.TXT"), "w").close()  # its .hdr is missing: F8 on it is an error
    title = s.active()

    def cautions():
        return s.accessible("text", "Message line").count("CAUTION!")
    shown = cautions()
    check(shown >= 1, True, "CAUTION! at start-up")
    for round in range(20):
        if round % 3 == 0:
            s.away_and_back(main)
        elif round % 3 == 1:  # the exit dialog, closed by going back to the main window
            s.keys("F4")
            s.window("^USCITA PROGRAMMA$")
            s.activate(main)
            s.gone("^USCITA PROGRAMMA$")
        else:  # the error dialog, closed with Enter
            s.dialog("F8", "^Open$", text="STORED.TXT")
            s.answer("^ERRORE !$", "Return", closes=True)
        # The keys: a, Shift+1, Return, K.on-F5, K.off-F6; F1, F2, F3 and F9 send nothing.
        s.keys("a", "shift+1", "Return", "F5", "F6", "F1", "F2", "F3", "F9")
        check(s.received(), "41 10 31 0D 07 07 07 11 07 07 07 12", f"round {round}")  # the round handled by now
        # Coming back from another application is no activation, nor changes the
        # title; taking over from a dialog of the program is one.
        if round <= 1:
            check(cautions(), shown + round, f"CAUTION! shown after round {round}")
        if round == 0:
            check(s.active(), title, "the title after another application")
        s.dialog("F7", "^Save As$", "Escape", closes=True)
        check(s.received(), "", f"after Save As in round {round}")
        shown = cautions() if round == 0 else shown

    # An error shown while the exit dialog is open takes the activation and keeps it:
    # the exit dialog closes, and Enter then answers the error, not the device.
    s.keys("F4")
    s.activate(s.window("^USCITA PROGRAMMA$"))
    os.write(s.line, b"\x1bA\x1bC")  # the device starts a reception: no file chosen
    s.gone("^USCITA PROGRAMMA$")
    until(lambda: s.active() == "ERRORE !", "the error to take the activation")
    s.keys("Return")
    s.gone("^ERRORE !$")
    check(s.received(), "", "after the error")

    # The overwrite prompt survives another application and Escape.
    open(os.path.join(s.work, "OLD.TXT"), "w").close()
    s.dialog("F7", "^Save As$", text="OLD.TXT")
    prompt = s.window("^AVVISO$")
    s.away_and_back(prompt)
    s.keys("Escape")
    s.away_and_back(prompt)  # which is still there
    # Clicking the main window refuses the overwrite, as ANNULLA does.
    s.activate(main)
    s.gone("^AVVISO$")
    check(s.accessible("text", "FILE TO RECEIVE"), "\n", "the file to receive")
    s.shot(main, "desktop-main", s.args.shots)

    # The window manager's close in the middle of a reception asks first, with the
    # exit dialog; its first choice then ends the program.
    s.dialog("F7", "^Save As$", text="NEW.TXT", closes=True)
    os.write(s.line, b"\x1bA\x1bC")  # the device starts the reception
    until(lambda: "RICEZIONE" in s.accessible("text", "Message line"), "the reception to start")
    s.activate(main)
    s.keys("alt+F4")
    s.answer("^USCITA PROGRAMMA$", "Return")
    s.gone(MAIN)
    check([f for f in os.listdir(s.work) if "NEW." in f], [], "files left by the reception the close cut")


def layouts(s):
    """Keys as the layout types them, switched while the program runs: letters,
    digits, comma, period, minus and plus follow the labels and no two keys share
    a byte; a dead key is a key like any other. The keypad without Num Lock, the
    Menu key and keys without a code of their own (the media and browser keys, or
    none)."""
    s.layout("de")
    s.start_on_the_line()
    # The <> key left of Y; Caps Lock changes no letter's code; the dead key ´, e.
    s.keys("y", "z", "shift+y", "less", "shift+less", "Caps_Lock", "y", "z", "Caps_Lock", "dead_acute", "e", "plus",
           "ssharp")
    check(s.received(), "59 5A 10 59 E2 10 E2 14 59 5A 14 DD 45 BB BF", "de")
    s.layout("fr")
    s.keys("comma", "m", "semicolon", "colon", "ampersand", "minus", "a", "q")
    s.layout("us")  # the marker key's own layout
    check(s.received(), "BC 4D BE BA 31 36 41 51", "fr")
    # The second layout of two, its group locked: xdotool would pick its own group.
    s.layout("us,de")
    x, t = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXtst.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    d = ctypes.c_void_p(x.XOpenDisplay(None))
    check(bool(d.value), True, "a connection to the X server")
    x.XkbLockGroup(d, 0x100, 1)  # the core keyboard's
    for k in (29, 52, 20, 21):  # the keys of Y, Z, minus and equal on a US keyboard
        t.XTestFakeKeyEvent(d, k, 1, 0)
        t.XTestFakeKeyEvent(d, k, 0, 0)
    x.XkbLockGroup(d, 0x100, 0)
    x.XCloseDisplay(d)
    check(s.received(), "5A 59 BF DD", "the second group")  # German Z, Y, ß, ´
    s.keys("KP_Home", "KP_Up", "KP_End", "KP_Delete", "KP_Begin", "XF86AudioPlay", "XF86Back", "XF86AudioMute",
           "XF86AudioLowerVolume", "XF86AudioRaiseVolume", "XF86Tools", "XF86MenuKB", "Menu", "a")
    check(s.received(), "24 26 23 2E 0C B3 A6 AD AE AF 5D 41", "keypad and media keys")


@contextlib.contextmanager
def held(path):
    """The line held as another program's serial port holds it: by its lock file,
    kept locked so that it is never taken for stale (the terminal's exclusive use
    would not keep root out). A lock left by a program killed earlier on a pty of
    the same number is stale, its lock free: taken over, as the port's library does."""
    lock = "/var/lock/LCK.." + path.removeprefix("/dev/").replace("/", "_")
    with os.fdopen(os.open(lock, os.O_RDWR | os.O_CREAT, 0o644), "r+") as f:
        fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)  # fails if a live program holds it
        try:
            f.truncate()
            print(os.getpid(), file=f, flush=True)
            yield
        finally:
            os.remove(lock)


def start_up(port, s):
    """The start-up request survives Escape and another application. The window
    manager gives the main window the focus back after the tick that showed the
    setup dialog has ended: no activation, so the start-up title keeps its form,
    under the not-ready message too, until the main window next takes over from a
    dialog. COM2 is held by another program."""
    with held(s.path) if port == "2" else contextlib.nullcontext():
        s.start_program()
        request = s.window("^WARNING$")
        s.answer("^WARNING$", "Escape")
        # Acknowledged, the next tick (a second) would bring the setup dialog.
        check(within(lambda: s.search(SETUP), 2.5), None, "Escape acknowledged the request: the setup dialog")
        s.away_and_back(request)  # which is still there
        check(s.search(SETUP), None, "another application acknowledged the request: the setup dialog")
        s.keys("Return")
        s.answer_setup(port)
        main = s.window(MAIN)
        shown = "KORVEL SU COM3" if port == "3" else "ERRORE !"
        until(lambda: s.active() == shown, f"{shown} active")
        s.accessible("active")  # a round trip through the program's events
        check(s.title(main), "KORVEL SU COM" + port, "the start-up title")
        if port == "2":  # the next activation rebuilds it
            s.keys("Return")
            until(lambda: s.title(main) == "KORVEL SU COM 2", "the title KORVEL SU COM 2")


def remembered(s):
    """The port chosen at one start (start-up's, on COM3) is offered at the next: Enter takes it."""
    start_up("3", s)
    s.opened()
    s.keys("alt+F4")
    s.gone(MAIN)
    with contextlib.suppress(OSError):  # the Alt of Alt+F4 reached the device too
        while os.read(s.line, 4096):
            pass
    program = s.start_program()
    s.answer("^WARNING$", "Return")
    s.shot(s.window(SETUP), "desktop-remembered", s.args.shots)
    s.answer(SETUP, "Return", closes=True)
    main = s.window(MAIN)
    s.opened()
    until(lambda: s.title(main) in ("KORVEL SU COM3", "KORVEL SU COM 3"), "the title KORVEL SU COM3")

    # Setup > Port setup... (the menu's last item) opens the dialog at any time.
    s.activate(main)
    shown = lambda: len(run("xdotool", "search", "--onlyvisible", "--pid", str(program.pid)).stdout.split())
    windows = shown()
    run("xdotool", "mousemove", "--window", main, "528", "9", "click", "1")  # Setup, on the menu bar
    until(lambda: shown() > windows, "the Setup menu to open")
    s.keys("Up", "Return")
    s.answer(SETUP, "Escape", closes=True)
    check(s.received(), "", "bytes after the setup dialog's Cancel")


def network(s):
    """The device behind a device server (Debian's ser2net on this machine): its
    port's URL typed into the setup dialog; keys reach the device through it."""
    url, _ = ser2net(s.children, s.work, s.path)
    s.start_program()
    s.answer("^WARNING$", "Return")
    s.answer_setup(device=url)
    main = s.window(MAIN)
    s.opened()
    s.activate(main)
    until(lambda: s.title(main) == "KORVEL SU COM1", "the title KORVEL SU COM1")
    check(s.received(), "", "bytes before the first key")
    s.keys("a", "1")
    check(s.received(), "41 31", "keys through the device server")
    # A pseudo-terminal has no modem lines: the server ignores DTR, said once.
    check(s.accessible("text", "Message line").count(f"{url}: the device server did not set DTR"), 1, "the note")
    s.shot(main, "desktop-network", s.args.shots)


CASES = {"dialogs": dialogs, "layouts": layouts, "start-up": functools.partial(start_up, "2"), "remembered": remembered,
         "network": network}


def a11y(what, name=""):
    """What a screen reader finds of serbox: how many of its windows are active,
    the names of the main window's text components, one a line, or the text of
    the one named so; nothing while serbox or the component is not on the bus yet.
    Asked in a process of its own, which remembers nothing of an earlier look."""
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
    roles = {Atspi.Role.TEXT, Atspi.Role.PARAGRAPH, Atspi.Role.ENTRY, Atspi.Role.PASSWORD_TEXT}

    def children(node):
        return [c for c in map(node.get_child_at_index, range(node.get_child_count())) if c is not None]

    def texts(node):
        return ([node] if node.get_role() in roles else []) + [t for c in children(node) for t in texts(c)]
    try:
        app = next(a for a in children(Atspi.get_desktop(0)) if a.get_name() == "serbox")
        if what == "active":
            return f"{sum(w.get_state_set().contains(Atspi.StateType.ACTIVE) for w in children(app))}\n"
        window = next(w for w in children(app) if w.get_role() == Atspi.Role.FRAME)
        if what == "names":
            return "".join(c.get_name() + "\n" for c in texts(window))
        return next(Atspi.Text.get_text(c, 0, -1) + "\n" for c in texts(window) if c.get_name() == name)
    except (StopIteration, gi.repository.GLib.Error):
        return ""


def main():
    if sys.argv[1:2] == ["a11y"]:
        print(a11y(*sys.argv[2:]), end="")
        return 0
    p = argparse.ArgumentParser()
    p.add_argument("case", choices=CASES)
    args = options(p, ("program",), "make build builds it")
    return run_test(lambda children, work: CASES[args.case](Session(children, work, args)), f"desktop-{args.case}",
                    args.shots) if args else 1


if __name__ == "__main__":
    sys.exit(main())
