#!/usr/bin/env python3
"""Sends the same wave script to our wave device and to Wine's, and compares them.

  tools/ci/mci_parity.py --ours build/tests/platform/mcidev/mci_script_linux \
      --theirs build-win/tests/platform/mcidev/mci_script_win.exe --wine tools/ci/wine_run.sh

Each program writes the same wave file and prints one line a request: the request,
its error code, what it answered, and the notices since the line before. Wine's wave
device plays into a private PulseAudio server with a null sink. Prints a table and
exits 1 when a line differs in a way not listed below, 77 when either side cannot run.

  --run-with-sink command...      only runs the command with the null sink up (for the
                                  Windows media tests); 77 when the sound server is not
                                  installed, 1 when it does not start.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

SINK = "tolvane_parity"

# Where the two may differ, and why that is not a fault of ours. Keyed by request.
ACCEPTED = {
    "status position during play ~":
        "Wine's device answers where its writing to the output has got to, some 200 ms ahead of what has been "
        "heard; ours answers what has been played, which is the position the command asks for",
    "status position after pause ~": "the same lead of Wine's, kept by the pause",
    "play notify at end":
        "a play from the end has nothing to play and ends at once, so its notice is due at once; Wine's device "
        "never sends it (the next play's notice does not supersede or abort it either), so the caller would "
        "wait for ever",
}


class NullSink:
    """A private sound server with a null sink; its environment in `env`."""

    def __init__(self, scratch):
        runtime = os.path.join(scratch, "pulse")
        os.makedirs(runtime, exist_ok=True)
        self.env = dict(os.environ, PULSE_RUNTIME_PATH=runtime, PULSE_SERVER="unix:" + os.path.join(runtime, "native"),
                        PULSE_SINK=SINK)
        self.server = None
        self.missing = [tool for tool in ("pulseaudio", "pactl") if not shutil.which(tool)]
        self.failure = ""  # why the server did not come up, where it is installed
        if self.missing:
            return
        log = os.path.join(scratch, "pulseaudio.log")
        with open(log, "w") as errors:
            self.server = subprocess.Popen(
                ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false",
                 "--disallow-exit=true", "--load=module-native-protocol-unix auth-anonymous=1",
                 f"--load=module-null-sink sink_name={SINK} rate=44100 channels=2"],
                env=self.env, stdout=subprocess.DEVNULL, stderr=errors)
        for _ in range(100):
            r = subprocess.run(["pactl", "list", "short", "sinks"], env=self.env, capture_output=True, text=True)
            if SINK in r.stdout:
                return
            time.sleep(0.1)
        self.close()
        with open(log) as errors:
            self.failure = "the sound server did not start: " + errors.read()[-2000:]

    def close(self):
        if self.server is not None:
            self.server.terminate()
            self.server.wait(timeout=10)
            self.server = None


def run(command, env, timeout=120):
    r = subprocess.run(command, env=env, capture_output=True, text=True, timeout=timeout)
    if r.returncode == 77:
        return None
    if r.returncode != 0:
        raise RuntimeError(f"{command[0]} failed ({r.returncode}): {r.stderr[-2000:]}")
    return [line.split(" | ") for line in r.stdout.splitlines() if " | " in line]


def answer(fields):
    error, value, notices = (fields + ["", "", ""])[1:4]
    text = f"err {error}" if error != "0" else "ok"
    if value:
        text += " " + value
    if notices:
        text += " [" + notices + "]"
    return text


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--ours")
    parser.add_argument("--theirs")
    parser.add_argument("--wine", default=os.path.join(os.path.dirname(__file__), "wine_run.sh"))
    parser.add_argument("--run-with-sink", nargs=argparse.REMAINDER)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="tolvane-parity-") as scratch:
        sink = NullSink(scratch)
        try:
            if sink.failure:
                print("parity:", sink.failure)
                return 1
            if sink.missing:
                print("parity: skipped: not installed: " + ", ".join(sink.missing))
                return 77
            if args.run_with_sink is not None:
                return subprocess.run(args.run_with_sink, env=sink.env).returncode
            if not (args.ours and os.path.exists(args.ours) and args.theirs and os.path.exists(args.theirs)):
                print("parity: one of the two programs is not built; skipped")
                return 77
            ours = run([args.ours, os.path.join(scratch, "ours.wav")], sink.env)
            # Wine's Z: drive is the root of the host's file system.
            theirs = run([args.wine, args.theirs, "Z:" + os.path.join(scratch, "theirs.wav").replace("/", "\\")],
                         sink.env)
        finally:
            sink.close()
    if ours is None or theirs is None:
        print("parity: a device has no audio output; skipped")
        return 77

    failed = False
    rows = [("request", "ours", "Wine's", "verdict")]
    for i in range(max(len(ours), len(theirs))):
        o = ours[i] if i < len(ours) else ["(missing)"]
        t = theirs[i] if i < len(theirs) else ["(missing)"]
        request = o[0] if o[0] != "(missing)" else t[0]
        if answer(o) == answer(t) and o[0] == t[0]:
            verdict = "same"
        elif request in ACCEPTED:
            verdict = "differs: " + ACCEPTED[request]
        else:
            verdict = "DIFFERS"
            failed = True
        rows.append((request, answer(o), answer(t), verdict))
    widths = [max(len(r[c]) for r in rows) for c in range(3)]
    for r in rows:
        print(" | ".join(r[c].ljust(widths[c]) for c in range(3)) + " | " + r[3])
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
