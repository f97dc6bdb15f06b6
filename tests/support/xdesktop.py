"""A program's own X desktop for the tiers that type at real windows: Xvfb and
openbox, keys through the X server (xdotool), windows found by their titles,
child processes that end with the test; serbox-device and Wine prefixes for the
Windows tiers. Every wait is on a condition; the limits only end a run that has
already failed."""
import contextlib
import ctypes
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time

LIMIT = 30.0
START = time.monotonic()
CMAKE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "cmake")
WINE, WINESERVER = "/usr/lib/wine/wine64", "/usr/lib/wine/wineserver64"


class Failure(Exception):
    pass


def log(text):
    print(f"[{time.monotonic() - START:6.1f} s] {text}", flush=True)


def expect(ok, what):
    if not ok:
        raise Failure(what)


def within(condition, limit):
    """The condition's first true value within the limit, or a false one."""
    end = time.monotonic() + limit
    while not (result := condition()) and time.monotonic() <= end:
        time.sleep(0.05)
    return result


def until(condition, what, limit=LIMIT):
    if not (result := within(condition, limit)):
        raise Failure(f"gave up waiting for {what}")
    return result


def run(*argv, env=None):
    return subprocess.run(argv, stdin=subprocess.DEVNULL, capture_output=True, text=True, env=env)


def _die_with_parent():
    os.setsid()
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG: a killed test leaves nothing behind


class Children:
    """Child processes, each in a process group of its own, ended with their groups."""

    def __init__(self):
        self.groups = []

    def start(self, argv, **kw):
        kw.setdefault("stdin", subprocess.DEVNULL)
        kw.setdefault("stdout", subprocess.DEVNULL)
        kw.setdefault("stderr", subprocess.DEVNULL)
        p = subprocess.Popen(argv, preexec_fn=_die_with_parent, **kw)
        self.groups.append(p)
        return p

    def end(self):
        for p in reversed(self.groups):
            for sig in (signal.SIGTERM, signal.SIGKILL):  # the whole group, whether its leader has gone or not
                with contextlib.suppress(ProcessLookupError, subprocess.TimeoutExpired):
                    os.killpg(p.pid, sig)
                    p.wait(5)


class Desktop:
    def __init__(self, children):
        r, w = os.pipe()
        children.start(["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                        "-noreset"], pass_fds=(w,))
        os.close(w)
        with os.fdopen(r) as f:
            display = f.readline().strip()
        expect(display, "Xvfb did not start")
        os.environ["DISPLAY"] = ":" + display
        children.start(["openbox", "--sm-disable"])
        until(lambda: "window id" in run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK").stdout,
              "the window manager")

    # A visible window whose title matches. (xdotool's own --sync gives up when a
    # window vanishes while it looks.)
    @staticmethod
    def search(title):
        ids = run("xdotool", "search", "--onlyvisible", "--name", title).stdout.split()
        return ids[0] if ids else None

    def window(self, title):
        return until(lambda: self.search(title), f"a window titled {title}")

    def gone(self, title):
        until(lambda: not self.search(title), f"the window {title} to close")

    @staticmethod
    def active():
        return run("xdotool", "getactivewindow", "getwindowname").stdout.strip()

    @staticmethod
    def title(window):
        return run("xdotool", "getwindowname", window).stdout.strip()

    def activate(self, window):
        until(lambda: run("timeout", "5", "xdotool", "windowactivate", "--sync", window).returncode == 0,
              f"window {window} to take the focus")

    @staticmethod
    def keys(*keys, typed=None):
        """The keys pressed, or the text typed."""
        expect(run("xdotool", *(("type", typed) if typed else ("key", *keys))).returncode == 0,
               f"xdotool could not press {typed or keys}")

    def answer(self, title, *keys, text=None, closes=False):
        """In the window titled so: the keys, then the text typed and Return; closes:
        until the window has gone."""
        self.activate(self.window(title))
        if keys:
            self.keys(*keys)
        if text:
            self.keys(typed=text)
            self.keys("Return")
        if closes:
            self.gone(title)

    def dialog(self, key, title, *keys, text=None, closes=False):
        """The key that opens the window titled so, then its answer."""
        self.keys(key)
        self.answer(title, *keys, text=text, closes=closes)

    def shot(self, window, name, shots):
        # A picture to look at, not a verdict: a window redrawn or re-shown under
        # the grab only costs another try.
        if shots:
            path = os.path.join(shots, name + ".png")
            shot = within(lambda: run("import", "-frame", "-window", window, path).returncode == 0, 5)
            log(f"screenshot {path}" if shot else f"no screenshot {path}")


def options(parser, paths, hint):
    """The arguments with --shots, the paths made absolute (the children run
    elsewhere); None when a file but the prefix is missing (hint: what makes it)."""
    for name in paths:
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--shots")
    args = parser.parse_args()
    for name in paths:
        setattr(args, name, os.path.abspath(getattr(args, name)))
    missing = [getattr(args, n) for n in paths if n != "prefix" and not os.path.exists(getattr(args, n))]
    if missing:
        print(f"missing {', '.join(missing)} ({hint})")
    return None if missing else args


def run_test(body, name, shots=None, finish=None):
    """body(children, work) in a folder of its own, which is also the home of every
    child; the exit status. A picture of the whole screen goes to shots when it failed."""
    if shots:
        os.makedirs(shots, exist_ok=True)
    work = tempfile.mkdtemp(prefix=f"serbox-{name}-")
    os.environ.update(HOME=work, XDG_RUNTIME_DIR=work, LANG="C.UTF-8")
    for kept in ("XDG_CONFIG_HOME", "XDG_DATA_HOME"):  # the user's own settings and journal
        os.environ.pop(kept, None)
    children = Children()
    try:
        body(children, work)
        log("passed")
        return 0
    except Failure as e:
        log(f"FAILED: {e}")
        if "DISPLAY" in os.environ and shots:
            run("import", "-window", "root", os.path.join(shots, f"{name}-failure.png"))
        return 1
    finally:
        if finish:
            finish()
        children.end()
        shutil.rmtree(work, ignore_errors=True)


class Device:
    """serbox-device on a pseudo-terminal of its own, its words in a file; its
    steps wait for Enter unless told --no-wait."""

    def __init__(self, children, exe, steps, dir):
        self.out = os.path.join(dir, "device.log")
        self.proc = children.start([exe, *steps], stdin=subprocess.PIPE, stdout=open(self.out, "w"),
                                   stderr=subprocess.STDOUT, cwd=dir)
        self.shows("port: ")
        self.port = next(l for l in self.text().splitlines() if l.startswith("port: "))[len("port: "):]

    def text(self):
        with open(self.out, errors="replace") as f:
            return f.read()

    def shows(self, text, times=1, limit=LIMIT):
        def said():
            expect(self.proc.poll() in (None, 0), f"the device failed:\n{self.text()}")
            return self.text().count(text) >= times
        expect(within(said, limit), f"gave up waiting for the device to say {text!r}; it said:\n{self.text()}")

    def ended(self):
        """Until the device has done its steps (--exit)."""
        expect(self.proc.wait(120) == 0, f"the device failed:\n{self.text()}")

    def write(self, text):
        self.proc.stdin.write(text.encode())
        self.proc.stdin.flush()

    def keys_received(self):
        """What has reached the device in its terminal step, in hex."""
        return " ".join(l[len("received "):] for l in self.text().splitlines() if l.startswith("received "))


def ser2net(children, dir, device):
    """Debian's ser2net on 127.0.0.1 serving device, as a device server in a plant
    does: the URLs of its RFC 2217 port and of its raw TCP port."""
    ports = []
    for _ in range(2):
        with socket.socket() as free:
            free.bind(("127.0.0.1", 0))
            ports.append(free.getsockname()[1])
    config = os.path.join(dir, "ser2net.yaml")
    with open(config, "w") as f:
        for name, accepter in (("rfc", f"telnet(rfc2217),tcp,127.0.0.1,{ports[0]}"), ("raw", f"tcp,127.0.0.1,{ports[1]}")):
            f.write(f"connection: &{name}\n  accepter: {accepter}\n  connector: serialdev,{device},4800n81,local\n"
                    "  options:\n    chardelay: false\n")
    children.start(["/usr/sbin/ser2net", "-n", "-c", config, "-P", os.path.join(dir, "ser2net.pid")])
    for port in ports:
        listening = f"0100007F:{port:04X} 00000000:0000 0A"
        until(lambda: any(listening in line for line in open("/proc/net/tcp")), "ser2net to listen")
    return f"rfc2217://127.0.0.1:{ports[0]}", f"socket://127.0.0.1:{ports[1]}"


def program(kind, digit, text_size, seed=0):
    """A stored program: a header of any bytes, zero and escape among them, with
    its kind and digit; a text section with kind markers and high bytes (never
    0x1B, which the line cannot carry), 0x00, and the 5001 block with 0xFF."""
    hdr = bytearray(((i * 5 + seed) % 0x7F) | 0x80 if i % 3 else 0x20 + (i + seed) % 0x5F for i in range(128))
    hdr[3], hdr[5], hdr[10], hdr[11], hdr[14], hdr[16] = 0, 0x1B, ord(kind), ord(" "), ord(digit), ord(" ")
    text = bytes(1 + (i // 37) % 4 if i % 37 == 36 else 0x80 + (i + seed) % 0x7F if i % 11 == 5
                 else 0x20 + (i + seed) % 0x5F for i in range(text_size))
    block = b"".join(bytes([0x41 + g if g < 11 else 0x20, 0x30 + (g * 97 % 1024 >> 4), 0x30 + (g * 97 & 15)])
                     for g in range(22))
    return bytes(hdr), text + b"\0" + block + b"\xff"


def store(base, hdr, src, listing=b""):
    for ext, data in (("hdr", hdr), ("src", src), ("TXT", listing)):
        with open(f"{base}.{ext}", "wb") as f:
            f.write(data)


def wine_env(prefix, language="en_US.UTF-8"):
    """A Windows program's environment: its prefix, the system's language, and
    nothing but its own folder to supply its parts."""
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEARCH="win64",
               WINEDLLOVERRIDES="mscoree,mshtml=", LANG=language, LC_ALL=language)
    for v in ("QT_QPA_PLATFORM", "QT_PLUGIN_PATH", "WINEPATH"):
        env.pop(v, None)
    return env


def wine(prefix, *argv):
    """A console program of the prefix, without a display (wine-run.sh); its output without CRs."""
    r = run(os.path.join(CMAKE, "wine-run.sh"), prefix, *argv)
    return r.returncode, r.stdout.replace("\r", "")


def map_port(prefix, com, pty):
    """COMn of the prefix to the pseudo-terminal, proven; the prefix's server left stopped."""
    r = run(os.path.join(CMAKE, "wine-com.sh"), prefix, com, pty)
    expect(r.returncode == 0, f"{com} is not mapped to {pty}: no byte is written: {r.stderr}")


def end_wine(prefix):
    for flag in ("-k", "-w"):
        run(WINESERVER, flag, env=dict(os.environ, WINEPREFIX=prefix))
