#!/usr/bin/env python3
"""serbox-cli.exe under Wine with COM1 mapped to serbox-device's pseudo-terminal:
a reception, a load, a verify, the port that cannot be opened, a folder's name
as a console shows it, and Ctrl-C in the
middle of a reception pressed as the console does; the exit statuses, the sets
left in the folder and the journal's lines."""
import argparse
import os
import pty
import re
import select
import subprocess
import sys
import tempfile

p = argparse.ArgumentParser()
for a in ("device", "cli", "ctrlc", "prefix", "wine-com", "wine-run"):
    p.add_argument("--" + a, required=True)
args = p.parse_args()
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED: " + what, file=sys.stderr)


def win(path):
    return "Z:" + path.replace("/", "\\")


def header(b10, b14):
    h = bytearray((i * 5 + 0x81) & 0xFF for i in range(128))
    h[3], h[10], h[11], h[14], h[16] = 0, ord(b10), 32, ord(b14), 32
    return bytes(h)


def text(n):
    return bytes(1 + (i // 37) % 4 if i % 37 == 36 else 0x20 + i % 0x5F for i in range(n))


class Device:
    """serbox-device on a pseudo-terminal of its own, mapped to COM1."""

    def __init__(self, *steps):
        self.p = subprocess.Popen([args.device, "--no-wait", "--exit", *steps], stdout=subprocess.PIPE,
                                  stderr=subprocess.STDOUT, text=True)
        line = self.p.stdout.readline()
        m = re.match(r"port: (\S+)", line)
        if not m:
            sys.exit("serbox-device gave no port: " + line)
        subprocess.run([args.wine_com, args.prefix, "COM1", m.group(1)], check=True)

    def finish(self):
        out, _ = self.p.communicate(timeout=120)
        check(self.p.returncode == 0, "the device ended well: " + out)


def cli(*words, via=None):
    cmd = [args.wine_run, args.prefix] + ([args.ctrlc, via] if via else []) + [args.cli, *words]
    r = subprocess.run(cmd, capture_output=True, text=True, timeout=180)
    return r.returncode, r.stdout.replace("\r", ""), r.stderr.replace("\r", "")


def on_console(*words):
    """serbox-cli on a console of Wine's own (its handles a terminal): what the terminal shows."""
    master, slave = pty.openpty()
    p = subprocess.Popen([args.wine_run, args.prefix, args.cli, *words], stdin=slave, stdout=slave, stderr=slave,
                         env=dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8"))
    os.close(slave)
    shown = b""
    while select.select([master], [], [], 60)[0]:
        try:
            chunk = os.read(master, 4096)
        except OSError:  # the console has closed
            break
        if not chunk:
            break
        shown += chunk
    os.close(master)
    return p.wait(60), re.sub(r"\x1b\[[0-9;?]*[A-Za-z]", "", shown.decode("utf-8", "replace"))


def read(path):
    with open(path, "rb") as f:
        return f.read()


with tempfile.TemporaryDirectory(prefix="serbox-wine-cli-") as work:
    out, journal = os.path.join(work, "out"), os.path.join(work, "journal.csv")
    os.mkdir(out)
    hdr, src = header("t", "1"), text(700) + b"\0" + text(66) + b"\xff"
    for name, data in (("a.hdr", hdr), ("a.src", src), ("big.hdr", header("T", "0")), ("big.src", text(20000) + b"\0")):
        with open(os.path.join(work, name), "wb") as f:
            f.write(data)
    common = ["--journal", win(journal), "--quiet"]

    d = Device("send", os.path.join(work, "a.hdr"), os.path.join(work, "a.src"))
    rc, so, se = cli("receive", "--port", "COM1", "--into", win(out), *common)
    d.finish()
    check(rc == 0, "receive ends 0: %d %s" % (rc, se))
    check(read(os.path.join(out, "S0001.hdr")) == hdr and read(os.path.join(out, "S0001.src")) == src,
          "S0001 holds the program sent")
    check(re.match(r"1 receive .*S0001\.txt %d bytes [0-9.]+ s ok\n$" % (128 + len(src)), so) is not None, "receive line: " + so)

    d = Device("receive", os.path.join(work, "back"))
    rc, so, se = cli("send", win(os.path.join(out, "S0001.txt")), "--port", "COM1", *common)
    d.finish()
    check(rc == 0, "send ends 0: %d %s" % (rc, se))
    check(read(os.path.join(work, "back.src")) == src and read(os.path.join(work, "back.hdr")) == hdr,
          "the device got the set back")

    d = Device("send", os.path.join(work, "a.hdr"), os.path.join(work, "a.src"))
    rc, so, se = cli("verify", win(os.path.join(out, "S0001.txt")), "--port", "COM1", *common)
    d.finish()
    check(rc == 0 and so.endswith(" identical\n"), "verify says identical: %d %s %s" % (rc, so, se))

    rc, so, se = cli("receive", "--port", "COM9", "--into", win(out), *common)
    check(rc == 3 and "cannot open COM9" in se, "an unmapped port ends 3: %d %s" % (rc, se))
    # A console shows a folder's accent as typed (it reads bytes in its own code page).
    rc, shown = on_console("receive", "--port", "COM1", "--into", "C:\\Società")
    check(rc == 2 and "serbox-cli: C:\\Società: no such folder" in shown, "the console's line: %d %r" % (rc, shown))

    d = Device("--baud", "--chunk", "256", "send", os.path.join(work, "big.hdr"), os.path.join(work, "big.src"))
    rc, so, se = cli("receive", "--port", "COM1", "--into", win(out), *common, via=win(os.path.join(out, "~S0002.src")))
    d.p.kill()
    d.p.wait()
    check(rc == 1, "Ctrl-C ends 1: %d %s %s" % (rc, so, se))
    check(sorted(os.listdir(out)) == ["S0001.hdr", "S0001.src", "S0001.txt"], "nothing else in the folder: %s" % os.listdir(out))

    lines = read(journal).decode("utf-8").splitlines()
    check(len(lines) == 5 and lines[0].startswith("time,program,version,port"), "a header and four lines: %s" % lines)
    got = [(l.split(",")[5], l.split(",")[11]) for l in lines[1:]]
    check(got == [("receive", "ok"), ("send", "ok"), ("verify", "ok"), ("receive", "abandoned")], "journaled: %s" % got)

subprocess.run([args.wine_run, args.prefix, "--stop"])
sys.exit(1 if failures else 0)
