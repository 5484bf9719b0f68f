#!/usr/bin/env python3
"""Runs `make run` on a terminal of its own with no display, presses Ctrl+C once the
program is up, and checks that everything stops with exit code 0 and nothing alarming
printed.

    tools/run_interrupt_check.py [repository root]
"""
import os
import pty
import select
import shutil
import sys
import tempfile
import time

ALARMING = [b"X11 connection broke", b"make: ***", b"Interrupt", b"Error", b"Terminated"]


def read_until(fd, output, done, seconds):
    end = time.monotonic() + seconds
    while not done(output) and time.monotonic() < end:
        if select.select([fd], [], [], 0.2)[0]:
            try:
                data = os.read(fd, 4096)
            except OSError:  # the terminal closed: everyone has gone
                return output
            if not data:
                return output
            output += data
    return output


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    scratch = tempfile.mkdtemp(prefix="tolvane-run-")
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "MAKEFLAGS", "MFLAGS")}
    env.update(XDG_CONFIG_HOME=scratch, XDG_RUNTIME_DIR=scratch, TERM="dumb")
    pid, fd = pty.fork()
    if pid == 0:
        os.chdir(root)
        os.execvpe("make", ["make", "--no-print-directory", "run"], env)
    output = read_until(fd, b"", lambda out: b"Press Ctrl+C" in out, 900)
    if b"Press Ctrl+C" not in output:
        os.kill(pid, 9)
        sys.exit("make run did not start the program:\n" + output.decode(errors="replace"))
    time.sleep(1)
    os.write(fd, b"\x03")
    output = read_until(fd, output, lambda out: False, 20)
    _, status = os.waitpid(pid, 0)
    code = os.waitstatus_to_exitcode(status)
    after = output[output.index(b"Press Ctrl+C"):]
    saved = os.path.exists(os.path.join(scratch, "tolvane", "tolvan.ini"))
    shutil.rmtree(scratch, ignore_errors=True)
    problems = [word.decode() for word in ALARMING if word in after]
    if code != 0 or problems or not saved:
        sys.exit(f"Ctrl+C on make run: exit code {code}, printed {problems}, settings saved: {saved}\n"
                 + output.decode(errors="replace"))
    print("Ctrl+C on make run: the program closed, Xvfb stopped, make exited 0.")


if __name__ == "__main__":
    main()
