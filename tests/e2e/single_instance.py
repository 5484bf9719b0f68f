#!/usr/bin/env python3
"""One program per user and settings file, under Xvfb with a window manager:

  1. with the program running and its window minimised, a second start ends with exit
     code 0 within a few seconds, and the first window is back, unminimised and active
     (five times; the median time a second start takes is printed);
  2. after the first is killed with SIGKILL (its socket left behind), a new start runs;
  3. two starts at the same moment leave one program running;
  4. a start on a second display, with the same settings, says on that display where
     the clock runs, and ends when told OK; the first one runs on undisturbed.

    single_instance.py path/to/tolvane [out-folder]
Exits 0 on success, 77 when a tool it needs is missing (reported as skipped), else 1.
"""

import os
import signal
import statistics
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from round_trip import Session, drive  # noqa: E402

TITLE = "^Tolvane 1.2$"


def until(check, timeout=5.0):
    end = time.time() + timeout
    while time.time() < end:
        if check():
            return True
        time.sleep(0.05)
    return check()


def windows(s):
    return s.xdo("search", "--onlyvisible", "--name", TITLE).split()


def minimised(s, wid):
    state = subprocess.run(["xprop", "-id", wid, "WM_STATE"], env=s.env, capture_output=True, text=True).stdout
    return "Iconic" in state


def second_start(s):
    start = time.monotonic()
    done = subprocess.run([s.program], env=s.env, capture_output=True, text=True, timeout=15)
    return done.returncode, time.monotonic() - start


def single_instance(s):
    s.env["SDL_AUDIODRIVER"] = "dummy"
    s.start_desktop()
    wid = s.start_program()
    first = s.app
    took = []
    for _ in range(5):
        s.xdo("windowminimize", wid)
        if not until(lambda: minimised(s, wid)):
            raise RuntimeError("the window manager did not minimise the window")
        code, seconds = second_start(s)
        took.append(seconds)
        if code != 0:
            raise RuntimeError(f"a second start ended with exit code {code}")
        if seconds > 5.0:
            raise RuntimeError(f"a second start took {seconds:.2f} s")
        if first.poll() is not None or len(windows(s)) != 1:
            raise RuntimeError("not exactly the first program runs after a second start")
        if not until(lambda: not minimised(s, wid) and s.xdo("getactivewindow") == wid):
            raise RuntimeError("the first window is not back and active after a second start")
    s.shot("shown-by-second-start")
    print(f"second start: median {statistics.median(took) * 1000:.0f} ms of "
          + ", ".join(f"{t * 1000:.0f}" for t in took))

    first.send_signal(signal.SIGKILL)
    first.wait(timeout=5)
    s.start_program()
    s.shot("started-after-kill")
    s.exit_program()

    pair = [s.spawn([s.program]), s.spawn([s.program])]
    if not until(lambda: any(p.poll() is not None for p in pair), timeout=10):
        raise RuntimeError("two starts at the same moment both kept running")
    ended = next(p for p in pair if p.poll() is not None)
    s.app = next(p for p in pair if p is not ended)
    if ended.returncode != 0 or s.app.poll() is not None:
        raise RuntimeError("two starts at the same moment did not leave one program running")
    s.window("Tolvane 1.2")
    time.sleep(0.5)
    if len(windows(s)) != 1:
        raise RuntimeError(f"{len(windows(s))} main windows after two starts at the same moment")

    other = Session(s.program, os.path.join(s.out, "other-display"))
    try:
        os.makedirs(other.out, exist_ok=True)
        for shared in ("XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "HOME", "SDL_AUDIODRIVER"):
            other.env[shared] = s.env[shared]
        other.start_desktop()
        there = other.spawn([s.program], stderr=subprocess.PIPE, text=True)
        other.window("Tolvane")
        other.shot("already-running-elsewhere")
        if there.poll() is not None:
            raise RuntimeError("the start on a second display did not wait for OK")
        other.key("Return")
        said = there.communicate(timeout=10)[1]
        if there.returncode != 0 or f"already running on display {s.env['DISPLAY']}," not in said:
            raise RuntimeError(f"the start on a second display ended with {there.returncode}, saying {said!r}")
        if other.xdo("search", "--onlyvisible", "--name", TITLE).split():
            raise RuntimeError("a clock window came up on the second display")
    finally:
        other.close()
    if s.app.poll() is not None or len(windows(s)) != 1:
        raise RuntimeError("the first program is disturbed by a start on another display")
    s.exit_program()
    print("single instance passed")


if __name__ == "__main__":
    sys.exit(drive(single_instance))
