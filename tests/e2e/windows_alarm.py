#!/usr/bin/env python3
"""tolvane.exe under Wine, on Xvfb with its sound going to a PulseAudio null sink: it
starts with an armed alarm for the coming minute, the reminder on, and as the sound a
wave file that is not there (a drive not mounted yet). The start-up report must say
so and leave the alarm armed; when the minute begins the REMINDER! box must appear and
the built-in tone must be heard on the sink in the file's place. The program's
settings file lies where Windows keeps it (%APPDATA%\\Tolvane\\tolvan.ini) in a Wine
prefix of the run's own. (Wine's wave device playing a file is the media tests' part.)

    windows_alarm.py path/to/tolvane.exe path/to/wine_run.sh [out-folder]
Exits 0 on success, 77 when a tool it needs is missing (reported as skipped), else 1.
"""

import datetime
import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from round_trip import Session, alarm_keys, armed_title, coming_minute, need, sound_seconds  # noqa: E402


def windows_path(path):
    """The path as Wine's Z: drive (the whole Unix tree) shows it to the program."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    program = os.path.abspath(sys.argv[1])
    wine_run = os.path.abspath(sys.argv[2])
    out = os.path.abspath(sys.argv[3] if len(sys.argv) > 3 else "e2e-windows")
    os.makedirs(out, exist_ok=True)
    need("Xvfb", "xdotool", "xdpyinfo", "import", "pulseaudio", "pactl", "parec", "sox", "soxi")
    s = Session(program, out)
    try:
        s.start_desktop()
        s.start_sound()
        roaming = s.start_wine(wine_run)
        settings = os.path.join(roaming, "Tolvane")
        os.makedirs(settings, exist_ok=True)

        wav = os.path.join(s.scratch, "not mounted", "wake.wav")
        alarm = coming_minute(30)
        keys = {"LastType": "Wave", "LastWave": windows_path(wav), "LastFileName": windows_path(wav),
                "AudioChecked": 1, "MsgChecked": 1, "AutoOff": 1, "AlarmOn": 1, **alarm_keys(alarm)}
        with open(os.path.join(settings, "tolvan.ini"), "w", encoding="utf-8", newline="\r\n") as f:
            f.write("[Saved Settings]\n" + "".join(f"{k}={v}\n" for k, v in keys.items()))

        log = open(os.path.join(s.scratch, "stderr.txt"), "w")
        s.app = s.spawn([wine_run, program], stderr=log)
        s.window("Tolvane 1.2", timeout=60)
        # The start-up report, captioned with the armed title.
        s.window(armed_title(alarm), timeout=10)
        time.sleep(1.0)
        s.shot("armed-with-start-up-report")

        recording = os.path.join(s.scratch, "heard.wav")
        while (alarm - datetime.datetime.now()).total_seconds() > 3:
            time.sleep(0.2)
        recorder = s.record(recording)
        reminder = s.window("REMINDER!", timeout=max(5.0, alarm.timestamp() - time.time() + 8))
        late = time.time() - alarm.timestamp()
        print(f"REMINDER! box seen {late:+.2f} s after the alarm minute began")
        time.sleep(3)
        s.shot("reminder")
        recorder.send_signal(signal.SIGINT)
        recorder.wait(timeout=5)
        heard = sound_seconds(recording, s.env)
        print(f"sound heard on the sink: {heard:.2f} s")
        if heard < 1.0:
            raise RuntimeError("the built-in tone was not heard on the sink")
        if not reminder:
            raise RuntimeError("no reminder")
        if s.app.poll() is not None:
            raise RuntimeError(f"the program ended with exit code {s.app.returncode}")
        print("windows alarm passed")
        return 0
    except Exception as e:  # noqa: BLE001 - report any failure plainly
        s.shot("failure")
        print("FAILED:", e)
        return 1
    finally:
        # The prefix's server goes with the run, and every program it started.
        subprocess.run([wine_run, "--server", "-k"], env=s.env, capture_output=True, timeout=30, check=False)
        s.close()


if __name__ == "__main__":
    sys.exit(main())
