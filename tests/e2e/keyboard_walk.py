#!/usr/bin/env python3
"""The whole round trip with the keyboard alone, under Xvfb and a window manager, as a
person who uses no mouse would do it (every key through `xdotool key`):

  1. Media Type page: Alt+W shows the open-file dialog (no wave file yet), a path is
     typed and confirmed; Space on the chosen Wave File button shows the dialog again
     and a second file is chosen;
  2. Set Alarm page: 7 typed into the hour, Up five times in the minute (05), Down in
     the AM/PM box (PM), a message typed, Message ticked with Space, Alt+A arms;
  3. Media Type page: Tab to the transport bar, Space plays (heard on the sink), Right
     twice to Stop, Space stops (silence after);
  4. the About box closed with Return, with Escape and with Alt+F4;
  5. File, Exit; the settings file then holds all of it.

    keyboard_walk.py path/to/tolvane [out-folder]
    keyboard_walk.py --wine path/to/wine_run.sh path/to/tolvane.exe [out-folder]
Exits 0 on success, 77 when a tool it needs is missing (reported as skipped), else 1.
"""

import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from round_trip import drive, sound_seconds  # noqa: E402

MESSAGE = "Keys only"


class Walk:
    def __init__(self, session, wine_run=None):
        self.s = session
        self.wine_run = wine_run
        self.settings = None
        self.main = None

    def path(self, unix_path):
        """A path as the program sees it (Wine shows the Unix tree as drive Z:)."""
        return "Z:" + unix_path.replace("/", "\\") if self.wine_run else unix_path

    def start(self):
        s = self.s
        if self.wine_run:
            self.settings = os.path.join(s.start_wine(self.wine_run), "Tolvane", "tolvan.ini")
            s.app = s.spawn([self.wine_run, s.program])
            self.main = s.window("Tolvane 1.2", timeout=60)
            time.sleep(2.0)
            self.refocus()
        else:
            self.settings = os.path.join(s.env["XDG_CONFIG_HOME"], "tolvane", "tolvan.ini")
            s.start_program()

    def refocus(self):
        """Under Wine, gives the X focus to the main window. Windows gives it to a
        program's first window, and back to the owner of a dialog that closes; Wine
        under this window manager does neither reliably. (Which control then has the
        focus is the program's own doing.)"""
        if self.wine_run:
            self.s.xdo("windowfocus", "--sync", self.main)
            time.sleep(0.5)

    def dialog(self, wav):
        s = self.s
        time.sleep(1.5)
        s.shot("open-dialog")
        s.type(self.path(wav))
        s.key("Return")
        time.sleep(1.5)
        self.refocus()

    def record(self, seconds):
        """Seconds of sound on the sink over the next `seconds`."""
        wav = os.path.join(self.s.scratch, f"heard-{time.time():.0f}.wav")
        recorder = self.s.record(wav)
        time.sleep(seconds)
        recorder.send_signal(signal.SIGINT)
        recorder.wait(timeout=5)
        return sound_seconds(wav, self.s.env)


def walk(w, first, second):
    s = w.s
    w.start()
    s.shot("started")

    # 1. A wave file through the dialog, then another one from the keyboard.
    s.key("alt+e", "alt+w")
    w.dialog(first)
    s.key("space")
    w.dialog(second)
    s.shot("second-file-chosen")

    # 2. The alarm time, the message and arming. The focus leaves the page put away for
    # the tabs, and Tab from there lands in the hour box, with its text selected.
    s.key("alt+s", "Tab", "7", "Tab")
    s.key(*["Up"] * 5)
    s.key("Tab", "Down", "Tab")
    s.type(MESSAGE)
    s.key("Tab", "Tab", "space", "alt+a")
    s.shot("armed")

    # 3. The transport bar, two steps back from the Wave File button: Play, then Stop.
    s.key("alt+e", "alt+w", "shift+Tab", "shift+Tab", "space")
    # (Wine's sound output takes a second or more to start.)
    played = w.record(4.0)
    s.shot("playing")
    print(f"sound after Space on Play: {played:.2f} s")
    if played < 1.0:
        raise RuntimeError(f"Space on Play gave {played:.2f} s of sound")
    s.key("Right", "Right", "space")
    time.sleep(0.5)
    after = w.record(1.5)
    s.shot("stopped")
    print(f"sound after Space on Stop: {after:.2f} s")
    if after > 0.2:
        raise RuntimeError(f"the sound went on after Stop ({after:.2f} s)")

    # 4. The About box, three ways to close it.
    for closing in ("Return", "Escape", "alt+F4"):
        s.key("alt+h", "a")
        s.window("Quennet 1.2", timeout=10)
        s.shot("about")
        s.key(closing)
        time.sleep(1.0)
        if s.xdo("search", "--onlyvisible", "--name", "^Quennet 1.2$"):
            raise RuntimeError(f"{closing} left the About box open")
        w.refocus()

    # 5. Exit, and what the settings file kept.
    s.exit_program()
    with open(w.settings, encoding="utf-8") as f:
        saved = f.read()
    print(saved)
    for line in ("LastType=Wave", f"LastWave={w.path(second)}", "AlarmHour=7", "AlarmMin=5", "AlarmAMPM=1",
                 "MsgChecked=1", f"MessageText={MESSAGE}", "AlarmOn=1"):
        if line not in saved.splitlines():
            raise RuntimeError(f"the settings file lacks '{line}'")
    print("keyboard walk passed")


def main():
    args = sys.argv[1:]
    wine_run = os.path.abspath(args[1]) if args[:1] == ["--wine"] else None
    if wine_run:
        args = args[2:]

    def check(s):
        s.start_desktop()
        s.start_sound()
        sounds = []
        for name, pitch in (("first.wav", 440), ("second sound.wav", 660)):
            sounds.append(os.path.join(s.scratch, name))
            subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", sounds[-1], "synth", "6.0", "sine",
                            str(pitch), "vol", "0.5"], check=True)
        walk(Walk(s, wine_run), *sounds)

    return drive(check, "pulseaudio", "pactl", "parec", "sox", "soxi", args=args)


if __name__ == "__main__":
    sys.exit(main())
