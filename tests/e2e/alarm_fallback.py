#!/usr/bin/env python3
"""An alarm that cannot sound as chosen still rings, or says why. Two desktops under
Xvfb wait for the same alarm minute side by side:

  sound:    a PulseAudio null sink; the program starts armed with a wave file that is
            not there (a drive not mounted yet). The start-up report must name it and
            the alarm stay armed; at the alarm minute the built-in tone must be heard
            on the sink within 2 s, the REMINDER! box appear, and the error report name
            the file.
            A SIGTERM while its boxes are open ends it, the alarm saved armed.
  no sound: no sound server at all. Before arming, a change of source while the alarm
            is off must leave the icon name "Tolvane Off". At the alarm minute the error
            report must name the missing output, the REMINDER! box must still appear,
            and the clock must keep ticking.

    alarm_fallback.py path/to/tolvane [out-folder]
Exits 0 on success, 77 when a tool it needs is missing (reported as skipped), else 1.
"""

import array
import datetime
import os
import signal
import subprocess
import sys
import time
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from round_trip import SINK, Session, alarm_keys, armed_title, coming_minute, need  # noqa: E402

# A short MIDI file: one note.
MIDI = (b"MThd" + (6).to_bytes(4, "big") + (0).to_bytes(2, "big") + (1).to_bytes(2, "big") + (96).to_bytes(2, "big") +
        b"MTrk" + (12).to_bytes(4, "big") + bytes([0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00]))


def write_settings(session, lines):
    folder = os.path.join(session.env["XDG_CONFIG_HOME"], "tolvane")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "tolvan.ini"), "w", encoding="utf-8") as f:
        f.write("[Saved Settings]\n" + "".join(f"{k}={v}\n" for k, v in lines.items()))


def first_sound(path, threshold=0.01):
    """Seconds into the recording of the first 10 ms whose RMS is above the threshold,
    and the recording's length."""
    with wave.open(path, "rb") as w:
        rate, channels = w.getframerate(), w.getnchannels()
        samples = array.array("h", w.readframes(w.getnframes()))
    length = len(samples) / channels / rate
    block = rate // 100 * channels
    for start in range(0, len(samples) - block, block):
        chunk = samples[start:start + block]
        rms = (sum(v * v for v in chunk) / len(chunk)) ** 0.5 / 32768
        if rms > threshold:
            return start / channels / rate, length
    return None, length


def log_text(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


def expect(condition, what):
    if not condition:
        raise RuntimeError(what)


def main():
    program = os.path.abspath(sys.argv[1])
    out = os.path.abspath(sys.argv[2] if len(sys.argv) > 2 else "e2e-fallback")
    os.makedirs(out, exist_ok=True)
    need("Xvfb", "xdotool", "xprop", "xdpyinfo", "import", "pulseaudio", "pactl", "parec", "sox")
    loud = Session(program, os.path.join(out, "sound"))
    mute = Session(program, os.path.join(out, "no-sound"))
    try:
        for s in (loud, mute):
            os.makedirs(s.out, exist_ok=True)
            s.start_desktop()
        loud.start_sound()
        # No sound server: the program's output must fail to open.
        mute.env["PULSE_SERVER"] = "unix:" + os.path.join(mute.scratch, "no-such-server")

        alarm = coming_minute(35)
        title = armed_title(alarm)
        keys = alarm_keys(alarm)

        wav = os.path.join(loud.scratch, "not mounted", "wake.wav")
        write_settings(loud, {"LastType": "Wave", "LastWave": wav, "LastFileName": wav, "AudioChecked": 1,
                              "MsgChecked": 1, "AlarmOn": 1, **keys})
        mute_wav = os.path.join(mute.scratch, "wake.wav")
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", mute_wav, "synth", "20", "sine", "440",
                        "vol", "0.5"], check=True)
        mid = os.path.join(mute.scratch, "tune.mid")
        with open(mid, "wb") as f:
            f.write(MIDI)
        write_settings(mute, {"LastType": "Wave", "LastWave": mute_wav, "LastFileName": mute_wav, "LastMidi": mid,
                              "AudioChecked": 1, "MsgChecked": 1, "AlarmOn": 0, **keys})

        loud_log = os.path.join(loud.scratch, "stderr.txt")
        mute_log = os.path.join(mute.scratch, "stderr.txt")
        with open(loud_log, "w") as lf, open(mute_log, "w") as mf:
            loud_window = loud.start_program(stderr=lf)
            mute_window = mute.start_program(stderr=mf)
        expect(loud.icon_name(loud_window) == title, f"armed at start: '{loud.icon_name(loud_window)}'")
        loud.shot("start-up-report")
        expect(f"Could not open {wav}:" in log_text(loud_log), f"no start-up report: {log_text(loud_log)!r}")

        # The source changes while the alarm is off: the title must not claim an alarm.
        expect(mute.icon_name(mute_window) == "Tolvane Off", "disarmed at start")
        mute.key("alt+e", "alt+m")
        time.sleep(0.8)
        mute.shot("midi-chosen-while-off")
        expect(mute.icon_name(mute_window) == "Tolvane Off",
               f"a source change while off shows '{mute.icon_name(mute_window)}'")
        mute.key("alt+w")
        mute.key("alt+a")
        expect(mute.icon_name(mute_window) == title, f"armed by hand: '{mute.icon_name(mute_window)}'")

        recording = os.path.join(loud.scratch, "heard.wav")
        while (alarm - datetime.datetime.now()).total_seconds() > 3:
            time.sleep(0.2)
        recorder = loud.spawn(["parec", f"--device={SINK}.monitor", "--latency-msec=20", "--file-format=wav",
                               "--format=s16le", "--rate=44100", "--channels=2", recording])
        time.sleep(max(0.0, alarm.timestamp() - time.time()) + 4)
        # The recorder takes a while to begin but writes until it is told to stop, so
        # the recording is timed back from its end.
        recording_ended = time.time()
        recorder.send_signal(signal.SIGINT)
        recorder.wait(timeout=5)
        loud.shot("tone-and-report")
        mute.shot("report-and-reminder")

        offset, length = first_sound(recording)
        expect(offset is not None, "nothing was heard on the sink")
        late = recording_ended - length + offset - alarm.timestamp()
        print(f"built-in tone heard {late:+.3f} s after the alarm minute began")
        expect(late <= 2.0, f"the tone came {late:.2f} s after the minute began")
        report = log_text(loud_log)
        expect(f"The alarm sound could not be played ({wav})" in report and "built-in alarm tone is sounding" in report,
               f"the report does not name the file: {report!r}")
        expect(loud.window("REMINDER!", timeout=3), "no reminder with the tone")

        report = log_text(mute_log)
        expect("no audio output" in report, f"the report does not name the missing output: {report!r}")
        expect(mute.window("REMINDER!", timeout=3), "no reminder")
        def picture():
            return subprocess.run(["import", "-window", mute_window, "png:-"], env=mute.env,
                                  capture_output=True).stdout
        before = picture()
        time.sleep(1.2)
        expect(before != picture(), "the clock stopped")
        for s in (loud, mute):
            expect(s.app.poll() is None, "the program ended")
        # A log-out while the boxes are open still ends the program and keeps the alarm.
        loud.app.send_signal(signal.SIGTERM)
        expect(loud.app.wait(timeout=10) == 0, "SIGTERM did not end the program cleanly")
        with open(os.path.join(loud.env["XDG_CONFIG_HOME"], "tolvane", "tolvan.ini"), encoding="utf-8") as f:
            saved = f.read()
        expect("\nAlarmOn=1\n" in saved and f"\nLastWave={wav}\n" in saved, f"saved at SIGTERM: {saved!r}")
        print("fallback passed")
        return 0
    except Exception as e:  # noqa: BLE001 - report any failure plainly
        for s in (loud, mute):
            s.shot("failure")
        print("FAILED:", e)
        return 1
    finally:
        for s in (loud, mute):
            s.close()


if __name__ == "__main__":
    sys.exit(main())
