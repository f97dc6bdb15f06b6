"""A program's own X desktop for the tiers that type at real windows: Xvfb and
openbox, keys through the X server (xdotool), windows found by their titles,
child processes that end with the test. Every wait is on a condition; the limits
only end a run that has already failed."""
import ctypes
import os
import shutil
import signal
import subprocess
import tempfile
import time

LIMIT = 30.0
START = time.monotonic()


class Failure(Exception):
    pass


def log(text):
    print(f"[{time.monotonic() - START:6.1f} s] {text}", flush=True)


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
            try:
                os.killpg(p.pid, signal.SIGTERM)
                p.wait(5)
            except (ProcessLookupError, subprocess.TimeoutExpired):
                pass
            try:
                os.killpg(p.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            p.wait()


class Desktop:
    def __init__(self, children):
        r, w = os.pipe()
        children.start(["Xvfb", "-displayfd", str(w), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                        "-noreset"], pass_fds=(w,))
        os.close(w)
        with os.fdopen(r) as f:
            display = f.readline().strip()
        if not display:
            raise Failure("Xvfb did not start")
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
        if run("xdotool", *(("type", typed) if typed else ("key", *keys))).returncode != 0:
            raise Failure(f"xdotool could not press {typed or keys}")

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

    def shot(self, window, name, shots):
        # A picture to look at, not a verdict: a window redrawn or re-shown under
        # the grab only costs another try.
        if shots:
            path = os.path.join(shots, name + ".png")
            shot = within(lambda: run("import", "-frame", "-window", window, path).returncode == 0, 5)
            log(f"screenshot {path}" if shot else f"no screenshot {path}")


def run_test(body, work_prefix, failure_shot=None, finish=None):
    """body(children, work) in a folder of its own, work: the exit status. A
    picture of the whole screen goes to failure_shot when it failed."""
    if failure_shot:
        os.makedirs(os.path.dirname(failure_shot), exist_ok=True)
    work = tempfile.mkdtemp(prefix=work_prefix)
    children = Children()
    try:
        body(children, work)
        log("passed")
        return 0
    except Failure as e:
        log(f"FAILED: {e}")
        if "DISPLAY" in os.environ and failure_shot:
            run("import", "-window", "root", failure_shot)
        return 1
    finally:
        if finish:
            finish()
        children.end()
        shutil.rmtree(work, ignore_errors=True)
