#!/usr/bin/env python3
"""serbox-cli.exe under Wine with COM1 mapped to serbox-device's pseudo-terminal:
a reception, a load, a verify, the port that cannot be opened, a folder's name
as a console shows it, and Ctrl-C in the
middle of a reception pressed as the console does; the exit statuses, the sets
left in the folder and the journal's lines. Then receptions through a device
server, ser2net on this machine."""
import argparse
import contextlib
import csv
import io
import os
import pathlib
import pty
import re
import select
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xdesktop import CMAKE, Device, expect, map_port, program, run, run_test, ser2net, store  # noqa: E402

p = argparse.ArgumentParser()
for a in ("device", "cli", "ctrlc", "prefix"):
    p.add_argument("--" + a, required=True)
args = p.parse_args()
RUN = os.path.join(CMAKE, "wine-run.sh")


def win(path):
    return "Z:" + path.replace("/", "\\")


def on_console(*words):
    """serbox-cli on a console of Wine's own (its handles a terminal): what the terminal shows."""
    master, slave = pty.openpty()
    p = subprocess.Popen([RUN, args.prefix, args.cli, *words], stdin=slave, stdout=slave, stderr=slave,
                         env=dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8"))
    os.close(slave)
    shown = b""
    with contextlib.suppress(OSError):  # until the console has closed
        while select.select([master], [], [], 60)[0] and (chunk := os.read(master, 4096)):
            shown += chunk
    os.close(master)
    return p.wait(60), re.sub(r"\x1b\[[0-9;?]*[A-Za-z]", "", shown.decode("utf-8", "replace"))


def test(children, work):
    out, journal = os.path.join(work, "out"), os.path.join(work, "journal.csv")
    os.mkdir(out)
    stored = win(os.path.join(out, "S0001.txt"))

    def cli(*words, via=None):
        cmd = [RUN, args.prefix] + ([args.ctrlc, via] if via else []) + [args.cli, *words]
        r = subprocess.run([*cmd, "--journal", win(journal), "--quiet"], capture_output=True, text=True, timeout=180)
        return r.returncode, r.stdout.replace("\r", ""), r.stderr.replace("\r", "")

    def against(steps, *words, via=None):
        """serbox-cli on COM1 against serbox-device's steps, which must all go
        well; with Ctrl-C (via) the device is stopped as serbox-cli has ended."""
        device = Device(children, args.device, ["--no-wait", "--exit", *steps], work)
        map_port(args.prefix, "COM1", device.port)
        result = cli(*words, "--port", "COM1", via=via)
        if via:
            device.proc.kill()
        else:
            device.ended()
        return result

    hdr, src = program("t", "1", 700, 3)
    store(os.path.join(work, "a"), hdr, src)
    store(os.path.join(work, "big"), *program("T", "0", 20000))
    got = lambda *path: pathlib.Path(*path).read_bytes()  # noqa: E731

    rc, so, se = against(["send", "a.hdr", "a.src"], "receive", "--into", win(out))
    expect(rc == 0, f"receive ends 0: {rc} {se}")
    expect(got(out, "S0001.hdr") == hdr and got(out, "S0001.src") == src, "S0001 holds the program sent")
    expect(re.match(r"1 receive .*S0001\.txt %d bytes [0-9.]+ s ok\n$" % (128 + len(src)), so), "receive line: " + so)

    rc, so, se = against(["receive", "back"], "send", stored)
    expect(rc == 0, f"send ends 0: {rc} {se}")
    expect(got(work, "back.src") == src and got(work, "back.hdr") == hdr, "the device got the set back")

    rc, so, se = against(["send", "a.hdr", "a.src"], "verify", stored)
    expect(rc == 0 and so.endswith(" identical\n"), f"verify says identical: {rc} {so} {se}")

    rc, so, se = cli("receive", "--port", "COM9", "--into", win(out))
    expect(rc == 3 and "cannot open COM9" in se, f"an unmapped port ends 3: {rc} {se}")
    # A console shows a folder's accent as typed (it reads bytes in its own code page).
    rc, shown = on_console("receive", "--port", "COM1", "--into", "C:\\Società")
    expect(rc == 2 and "serbox-cli: C:\\Società: no such folder" in shown, f"the console's line: {rc} {shown!r}")

    rc, so, se = against(["--baud", "--chunk", "256", "send", "big.hdr", "big.src"], "receive", "--into", win(out),
                         via=win(os.path.join(out, "~~S0002.src")))
    # Ended as the console ends a program on Ctrl-C, so that cmd.exe stops a batch file.
    expect("serbox-ctrlc: status 0xC000013A" in se, f"Ctrl-C ends with STATUS_CONTROL_C_EXIT: {rc} {so} {se}")
    expect(sorted(os.listdir(out)) == ["S0001.hdr", "S0001.src", "S0001.txt"], f"nothing else in the folder: {os.listdir(out)}")

    lines = list(csv.reader(io.StringIO(got(journal).decode("utf-8"))))
    expect(len(lines) == 5 and lines[0][:4] == ["time", "program", "version", "port"], f"a header and four lines: {lines}")
    expect(all(len(l) == 15 for l in lines), f"fifteen columns, label and run last: {lines}")
    rows = [(l[5], l[11]) for l in lines[1:]]
    expect(rows == [("receive", "ok"), ("send", "ok"), ("verify", "ok"), ("receive", "abandoned")], f"journaled: {rows}")
    expect(lines[4][6] == "", f"the abandoned reception names no set: {lines[4]}")

    # Through a device server (Debian's ser2net on this machine) over each kind of port it offers.
    net = os.path.join(work, "net")
    os.mkdir(net)
    for kind in (0, 1):
        device = Device(children, args.device, ["--no-wait", "--exit", "send", "a.hdr", "a.src"], work)
        url = ser2net(children, work, device.port)[kind]
        rc, so, se = cli("receive", "--port", url, "--into", win(net))
        device.ended()
        expect(rc == 0, f"receive through {url} ends 0: {rc} {se}")
        expect(got(net, f"S000{kind + 1}.src") == src, f"the set through {url} holds the program sent")


sys.exit(run_test(test, "wine-cli", finish=lambda: run(RUN, args.prefix, "--stop")))
