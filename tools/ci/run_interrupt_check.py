#!/usr/bin/env python3
"""Runs `make run` on a terminal of its own with no display, presses Ctrl+C once the
program is up, and checks that everything stops with exit code 0, nothing alarming
printed and the settings saved.

    tools/ci/run_interrupt_check.py [repository root]
    tools/ci/run_interrupt_check.py --settings FILE -- command...
The second form runs the given command (one that ends in `make run` somewhere else, such
as a fresh root) and checks that FILE exists afterwards.
"""
import argparse
import os
import pty
import select
import shutil
import subprocess
import sys
import tempfile
import time

ALARMING = [b"X11 connection broke", b"make: ***", b"Interrupt", b"Error", b"Terminated"]


def still_running(session):
    """The processes of the terminal's session, each with what it waits in."""
    try:
        return subprocess.run(["ps", "-s", str(session), "-o", "pid,stat,ignored,wchan:32,etime,args"],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True).stdout
    except OSError as e:
        return f"(no process list: {e})"


def read_until(fd, output, done, seconds):
    """Reads the terminal, passing what it shows on to ours, until done(output) or the
    time is up."""
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
            sys.stdout.buffer.write(data)
            sys.stdout.flush()
    return output


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("root", nargs="?", default=os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
    parser.add_argument("--settings", help="the settings file the command's program must have saved")
    argv = sys.argv[1:]
    split = argv.index("--") if "--" in argv else len(argv)
    args, command = parser.parse_args(argv[:split]), argv[split + 1:]
    if command and not args.settings:
        parser.error("a command needs --settings")
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "MAKEFLAGS", "MFLAGS")}
    env.update(TERM="dumb")
    scratch = None
    if command:
        settings = args.settings
    else:
        command = ["make", "--no-print-directory", "run"]
        scratch = tempfile.mkdtemp(prefix="tolvane-run-")
        env.update(XDG_CONFIG_HOME=scratch, XDG_RUNTIME_DIR=scratch)
        settings = os.path.join(scratch, "tolvane", "tolvan.ini")
    pid, fd = pty.fork()
    if pid == 0:
        os.chdir(args.root)
        os.execvpe(command[0], command, env)
    # Long enough for a bare machine to install the packages and build the program.
    output = read_until(fd, b"", lambda out: b"Press Ctrl+C" in out, 1800)
    if b"Press Ctrl+C" not in output:
        os.kill(pid, 9)
        sys.exit("\nCtrl+C on make run: make run did not start the program")
    time.sleep(1)
    os.write(fd, b"\x03")
    # Time enough for the exit's save and the display's shutdown on a busy machine; what
    # is still running after it is listed.
    output = read_until(fd, output, lambda out: False, 120)
    for _ in range(100):
        done, status = os.waitpid(pid, os.WNOHANG)
        if done:
            break
        time.sleep(0.1)
    else:
        print("\n" + still_running(pid))
        os.kill(pid, 9)
        sys.exit("\nCtrl+C on make run: make run did not end within 130 s of Ctrl+C")
    code = os.waitstatus_to_exitcode(status)
    after = output[output.index(b"Press Ctrl+C"):]
    saved = os.path.exists(settings)
    if scratch:
        shutil.rmtree(scratch, ignore_errors=True)
    problems = [word.decode() for word in ALARMING if word in after]
    if code != 0 or problems or not saved:
        sys.exit(f"\nCtrl+C on make run: exit code {code}, printed {problems}, settings saved: {saved}")
    print("Ctrl+C on make run: the program closed, Xvfb stopped, make exited 0.")


if __name__ == "__main__":
    main()
