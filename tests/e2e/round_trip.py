#!/usr/bin/env python3
"""The whole program driven as a person would, under Xvfb, with its sound going to a
PulseAudio null sink:

  1. start with no settings, pick a wave file through the open-file dialog with the
     keyboard, set the alarm to the next minute, arm it;
  2. hear it: the sink's monitor is recorded while the alarm minute begins;
  3. exit with Alt+F, X;
  4. start again and find the same source, alarm time and armed state restored.

A screenshot of each step goes to the output folder.
    round_trip.py path/to/tolvane [out-folder]
Exits 0 on success, 77 when a tool it needs is missing (reported as skipped), else 1.
"""

import datetime
import glob
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
SINK = "tolvane_e2e"


def need(*tools):
    missing = [t for t in tools if shutil.which(t) is None]
    if missing:
        print("skipped: not installed: " + ", ".join(missing))
        sys.exit(SKIP)


def coming_minute(latest_second=30):
    """The next whole minute, waiting for the one after it when this minute is already
    past `latest_second`, so that the program has time to start before the alarm."""
    now = datetime.datetime.now()
    if now.second > latest_second:
        time.sleep(61 - now.second)
    return (datetime.datetime.now() + datetime.timedelta(minutes=1)).replace(second=0, microsecond=0)


def alarm_keys(alarm):
    """The settings file's keys for an alarm at that time."""
    return {"AlarmHour": alarm.hour % 12 or 12, "AlarmMin": alarm.minute, "AlarmAMPM": 0 if alarm.hour < 12 else 1}


def armed_title(alarm):
    return f"Tolvane @{alarm.hour % 12 or 12}:{alarm.minute:02d}{'AM' if alarm.hour < 12 else 'PM'}"


def run(args, env=None, check=True):
    return subprocess.run(args, env=env, check=check, capture_output=True, text=True).stdout.strip()


class Session:
    def __init__(self, program, out):
        self.program = program
        self.out = out
        self.scratch = tempfile.mkdtemp(prefix="tolvane-e2e-")
        self.procs = []
        self.env = dict(os.environ)
        self.env.update({
            "XDG_CONFIG_HOME": os.path.join(self.scratch, "config"),
            "XDG_RUNTIME_DIR": self.scratch,
            "PULSE_RUNTIME_PATH": os.path.join(self.scratch, "pulse"),
            "PULSE_SERVER": "unix:" + os.path.join(self.scratch, "pulse", "native"),
            "PULSE_SINK": SINK,
            "HOME": self.scratch,
            "LANG": "en_US.UTF-8",
            "SDL_AUDIODRIVER": "pulseaudio",
            "QT_QPA_PLATFORM": "xcb",
        })
        self.env.pop("LC_ALL", None)
        self.step = 0
        self.app = None

    def spawn(self, args, stderr=subprocess.DEVNULL, **kw):
        p = subprocess.Popen(args, env=self.env, stdout=subprocess.DEVNULL, stderr=stderr, **kw)
        self.procs.append(p)
        return p

    def start_desktop(self):
        # Xvfb takes a free display number itself and writes it once it accepts clients,
        # so tests started side by side never share a display.
        ready, write_end = os.pipe()
        server = self.spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=(write_end,))
        os.close(write_end)
        number = b""
        with os.fdopen(ready, "rb") as f:
            if select.select([f], [], [], 10)[0]:
                number = f.readline().strip()
        if not number:
            raise RuntimeError(f"Xvfb did not start (exit code {server.poll()})")
        self.env["DISPLAY"] = ":" + number.decode()
        if shutil.which("icewm"):
            self.spawn(["icewm"])
            time.sleep(0.8)

    def start_sound(self):
        os.makedirs(self.env["PULSE_RUNTIME_PATH"], exist_ok=True)
        self.spawn(["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--system=false",
                    "--disallow-exit=true", "--load=module-native-protocol-unix auth-anonymous=1",
                    f"--load=module-null-sink sink_name={SINK} rate=44100 channels=2"])
        for _ in range(100):
            r = subprocess.run(["pactl", "list", "short", "sinks"], env=self.env, capture_output=True, text=True)
            if SINK in r.stdout:
                return
            time.sleep(0.1)
        raise RuntimeError("the sound server did not start")

    def record(self, path):
        return self.spawn(["parec", f"--device={SINK}.monitor", "--file-format=wav", "--format=s16le",
                           "--rate=44100", "--channels=2", path])

    def xdo(self, *args):
        return run(["xdotool", *args], env=self.env, check=False)

    def key(self, *keys):
        for k in keys:
            self.xdo("key", "--clearmodifiers", k)
            time.sleep(0.25)

    def type(self, text):
        self.xdo("type", "--delay", "30", text)
        time.sleep(0.3)

    def window(self, title, timeout=10.0):
        end = time.time() + timeout
        while time.time() < end:
            ids = self.xdo("search", "--onlyvisible", "--name", f"^{title}$").split()
            if ids:
                return ids[0]
            time.sleep(0.1)
        raise RuntimeError(f"no window '{title}'")

    def icon_name(self, wid):
        out = run(["xprop", "-id", wid, "_NET_WM_ICON_NAME"], env=self.env, check=False)
        return out.split("=", 1)[1].strip().strip('"') if "=" in out else ""

    def shot(self, name):
        self.step += 1
        path = os.path.join(self.out, f"{self.step:02d}-{name}.png")
        run(["import", "-window", "root", path], env=self.env, check=False)
        print("screenshot:", path)

    def click_in(self, wid, x, y, repeat=1):
        """Clicks at client coordinates of the main window (its client area origin)."""
        geo = run(["xdotool", "getwindowgeometry", "--shell", wid], env=self.env)
        vals = dict(line.split("=") for line in geo.splitlines())
        # The layout's 417 x 270 client area lies below the menu bar.
        menu_bar = int(vals["HEIGHT"]) - 270
        self.xdo("mousemove", str(int(vals["X"]) + x), str(int(vals["Y"]) + menu_bar + y))
        time.sleep(0.15)
        self.xdo("click", "--repeat", str(repeat), "--delay", "80", "1")
        time.sleep(0.3)

    def start_wine(self, wine_run):
        """Makes a Wine prefix of the run's own (with the display, so that Wine's own
        windows work later) and returns its user's roaming profile folder, where the
        Windows edition keeps its settings."""
        self.env["WINEPREFIX"] = os.path.join(self.scratch, "wine")
        self.env.pop("SDL_AUDIODRIVER", None)
        made = subprocess.run([wine_run, "cmd", "/c", "exit"], env=self.env, capture_output=True, text=True,
                              timeout=180)
        if made.returncode != 0:
            raise RuntimeError(f"the Wine prefix could not be made ({made.returncode}): {made.stderr[-2000:]}")
        roaming = [p for p in glob.glob(os.path.join(self.env["WINEPREFIX"], "drive_c", "users", "*", "AppData",
                                                     "Roaming")) if "/Public/" not in p]
        if not roaming:
            raise RuntimeError("the Wine prefix has no user profile")
        return roaming[0]

    def start_program(self, stderr=subprocess.DEVNULL):
        self.app = self.spawn([self.program], stderr=stderr)
        wid = self.window("Tolvane 1.2")
        time.sleep(1.5)
        return wid

    def exit_program(self):
        self.key("alt+f")
        self.key("x")
        try:
            code = self.app.wait(timeout=10)
        except subprocess.TimeoutExpired:
            raise RuntimeError("the program did not end after File, Exit")
        if code != 0:
            raise RuntimeError(f"the program ended with exit code {code}")

    def close(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    p.kill()
        shutil.rmtree(self.scratch, ignore_errors=True)


def sound_seconds(wav, env):
    """Seconds of the recording that are not silent."""
    trimmed = wav + ".trimmed.wav"
    subprocess.run(["sox", wav, trimmed, "silence", "1", "0.01", "-50d", "reverse", "silence", "1", "0.01", "-50d",
                    "reverse"], env=env, check=True, capture_output=True)
    out = run(["soxi", "-D", trimmed], env=env, check=False)
    return float(out or 0)


def drive(check, *tools, args=None):
    """Runs check(session) on the program named by `args` (the command line's: the
    program, then the screenshots' folder), after making sure the tools exist; a
    screenshot is taken on failure. Returns the exit code."""
    args = sys.argv[1:] if args is None else args
    program = os.path.abspath(args[0])
    out = os.path.abspath(args[1] if len(args) > 1 else "e2e-screenshots")
    os.makedirs(out, exist_ok=True)
    need("Xvfb", "xdotool", "xprop", "xdpyinfo", "import", *tools)
    s = Session(program, out)
    try:
        check(s)
        return 0
    except Exception as e:  # noqa: BLE001 - report any failure plainly
        s.shot("failure")
        print("FAILED:", e)
        return 1
    finally:
        s.close()


def round_trip(s):
    s.start_desktop()
    s.start_sound()
    wav = os.path.join(s.scratch, "wake up sound.wav")
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "2.0", "sine", "880",
                    "vol", "0.5"], check=True)

    # Leave at least 25 s before the alarm minute begins.
    alarm = coming_minute(30)
    hour12 = alarm.hour % 12 or 12
    ampm = "a" if alarm.hour < 12 else "p"
    expected_title = armed_title(alarm)

    main_window = s.start_program()
    s.shot("started")
    if s.icon_name(main_window) != "Tolvane Off":
        raise RuntimeError(f"icon name at start is '{s.icon_name(main_window)}'")

    # Media Type page, Wave File: no file chosen yet, so the dialog comes up.
    s.key("alt+e", "alt+w")
    time.sleep(1.0)
    s.shot("open-dialog")
    s.type(wav)
    s.key("Return")
    time.sleep(1.0)
    s.shot("wave-chosen")

    # Set Alarm page: double-click a box to select its text, then type over it.
    s.key("alt+s")
    # Notebook at 48,80, its page below a tab row of about 28 px, the alarm panel at 8,8
    # on the page, and the three boxes at 24, 80 and 136 across, 16 down.
    row = 80 + 28 + 8 + 16 + 10
    s.click_in(main_window, 48 + 2 + 8 + 24 + 12, row, repeat=2)  # hour
    s.type(str(hour12))
    s.click_in(main_window, 48 + 2 + 8 + 80 + 12, row, repeat=2)  # minute
    s.type(f"{alarm.minute:02d}")
    s.click_in(main_window, 48 + 2 + 8 + 136 + 12, row)  # AM/PM
    s.type(ampm)
    s.key("alt+a")
    s.shot("armed")
    title = s.icon_name(main_window)
    if title != expected_title:
        raise RuntimeError(f"icon name after arming is '{title}', expected '{expected_title}'")

    # Hear it: record the sink from just before the alarm minute until 7 s into it.
    recording = os.path.join(s.scratch, "heard.wav")
    recorder = s.record(recording)
    wait = (alarm - datetime.datetime.now()).total_seconds() + 7
    time.sleep(max(0.0, wait))
    s.shot("ringing")
    recorder.send_signal(signal.SIGINT)
    recorder.wait(timeout=5)
    heard = sound_seconds(recording, s.env)
    print(f"sound heard: {heard:.2f} s")
    if heard < 5.0:
        raise RuntimeError(f"only {heard:.2f} s of sound in the alarm minute")

    s.exit_program()
    ini = os.path.join(s.env["XDG_CONFIG_HOME"], "tolvane", "tolvan.ini")
    with open(ini, encoding="utf-8") as f:
        saved = f.read()
    print(saved)
    for line in ("LastType=Wave", f"LastWave={wav}", *(f"{k}={v}" for k, v in alarm_keys(alarm).items()),
                 "AlarmOn=1"):
        if line not in saved.splitlines():
            raise RuntimeError(f"the settings file lacks '{line}'")

    # Start again: the same source, time and armed state.
    main_window = s.start_program()
    s.shot("restarted")
    title = s.icon_name(main_window)
    if title != expected_title:
        raise RuntimeError(f"icon name after restart is '{title}', expected '{expected_title}'")
    s.exit_program()
    print("round trip passed")


if __name__ == "__main__":
    sys.exit(drive(round_trip, "pulseaudio", "pactl", "parec", "sox", "soxi"))
