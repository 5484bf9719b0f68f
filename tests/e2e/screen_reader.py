#!/usr/bin/env python3
"""The program as a screen reader meets it, under Xvfb on a private session bus with its
own accessibility bus:

  1. the program starts with a wave file chosen; the walk of its tree finds the
     transport bar's nine buttons, Play live and Stop dead;
  2. Play is pressed through its action: the player plays, so Play goes dead and
     Pause and Stop come alive, and the reader hears of the change;
  3. the clock's text is the time whenever it is read, and its ticking announces
     nothing;
  4. the keyboard on the bar: Tab reaches it, and as Right moves its focus to Pause
     the reader hears that Pause has the focus and finds it so.

    screen_reader.py path/to/tolvane [out-folder]
Exits 0 on success, 77 when a tool it needs is missing (reported as skipped), else 1.
"""

import os
import shutil
import subprocess
import sys
import time
import wave

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from round_trip import SKIP, drive, need  # noqa: E402

BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
SYSTEM_PYTHON = "/usr/bin/python3"
ON_PRIVATE_BUS = "TOLVANE_E2E_PRIVATE_BUS"
BUTTONS = ["Play", "Pause", "Stop", "Next", "Previous", "Step", "Back", "Record", "Eject"]


def reader_modules():
    """pyatspi and GLib, from the system's Python if this one lacks them."""
    try:
        import pyatspi
        from gi.repository import GLib
        return pyatspi, GLib
    except ImportError:
        if os.path.exists(SYSTEM_PYTHON) and os.path.realpath(sys.executable) != os.path.realpath(SYSTEM_PYTHON):
            os.execv(SYSTEM_PYTHON, [SYSTEM_PYTHON, *sys.argv])
        print("skipped: pyatspi is not installed")
        sys.exit(SKIP)


def on_private_bus():
    """Runs this script again inside its own session bus, so the accessibility bus and
    everything on it belong to the test alone."""
    if os.environ.get(ON_PRIVATE_BUS):
        return
    need("dbus-run-session")
    if not os.path.exists(BUS_LAUNCHER) and not shutil.which("at-spi-bus-launcher"):
        print("skipped: at-spi2-core is not installed")
        sys.exit(SKIP)
    env = dict(os.environ, **{ON_PRIVATE_BUS: "1"})
    sys.exit(subprocess.run(["dbus-run-session", "--", sys.executable, *sys.argv], env=env).returncode)


def write_settings(s, wav):
    folder = os.path.join(s.env["XDG_CONFIG_HOME"], "tolvane")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "tolvan.ini"), "w", encoding="utf-8") as f:
        f.write(f"[Saved Settings]\nLastType=Wave\nLastWave={wav}\nLastFileName={wav}\nAlarmOn=0\n")


def quiet_wave(path, seconds=30):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(8000)
        w.writeframes(b"\0\0" * 8000 * seconds)


def expect(condition, what):
    if not condition:
        raise RuntimeError(what)


def check(s):
    pyatspi, GLib = reader_modules()
    s.start_desktop()
    s.spawn([BUS_LAUNCHER if os.path.exists(BUS_LAUNCHER) else "at-spi-bus-launcher", "--launch-immediately"])
    s.env.update({"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1", "QT_ACCESSIBILITY": "1", "SDL_AUDIODRIVER": "dummy"})
    wav = os.path.join(s.scratch, "quiet.wav")
    quiet_wave(wav)
    write_settings(s, wav)
    s.start_program()

    heard = []

    def hear(event):
        heard.append((event.type, event.source, time.time()))

    for kind in ("object:state-changed", "object:property-change:accessible-name", "object:text-changed",
                 "object:property-change:accessible-value", "focus:"):
        pyatspi.Registry.registerEventListener(hear, kind)

    def pump(seconds):
        end = time.time() + seconds
        while time.time() < end:
            GLib.MainContext.default().iteration(False)
            time.sleep(0.01)

    def fresh(node):
        node.clearCache()
        return node

    def walk(node):
        yield node
        for child in node:
            if child is not None:
                yield from walk(child)

    def find(test, timeout=10.0):
        end = time.time() + timeout
        while time.time() < end:
            desktop = pyatspi.Registry.getDesktop(0)
            for app in desktop:
                if app is not None and app.name.lower() == "tolvane":
                    for node in walk(app):
                        if test(node):
                            return node
            pump(0.2)
        raise RuntimeError("not found in the tree")

    play = find(lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name == "Play")
    bar = play.parent
    expect([b.name for b in bar] == BUTTONS, f"the bar's buttons: {[b.name for b in bar]}")

    def live(button):
        return fresh(button).getState().contains(pyatspi.STATE_ENABLED)

    expect(live(bar[0]) and not live(bar[1]) and not live(bar[2]), "before Play: Play live, Pause and Stop dead")
    s.shot("found")

    action = play.queryAction()
    names = [action.getName(i).lower() for i in range(action.nActions)]
    expect("press" in names, f"Play's actions: {names}")
    heard.clear()
    action.doAction(names.index("press"))
    end = time.time() + 5
    while time.time() < end and live(bar[0]):
        pump(0.1)
    pump(0.3)
    s.shot("playing")
    expect(not live(bar[0]) and live(bar[1]) and live(bar[2]), "after Play: Play dead, Pause and Stop live")
    expect(any(kind.startswith("object:state-changed") and source == play for kind, source, _ in heard),
           "no state change was heard for Play")

    clock = find(lambda n: n.description == "Clock")
    first = fresh(clock).name
    heard.clear()
    pump(2.5)
    second = fresh(clock).name
    print(f"clock read as '{first}', then '{second}'")
    expect(first and second and first != second, "the clock's text does not follow the time")
    chatter = [kind for kind, source, _ in heard if source == clock]
    expect(not chatter, f"the clock announced its ticks: {chatter}")

    # Two steps back from the Wave File button (selected already) is the bar, on Play.
    s.key("alt+w", "shift+Tab", "shift+Tab")
    heard.clear()
    s.key("Right")
    end = time.time() + 5
    while time.time() < end and not fresh(bar[1]).getState().contains(pyatspi.STATE_FOCUSED):
        pump(0.1)
    pump(0.3)
    s.shot("keyboard-on-pause")
    expect(fresh(bar[1]).getState().contains(pyatspi.STATE_FOCUSED), "Pause does not read as focused")
    expect(not fresh(bar[0]).getState().contains(pyatspi.STATE_FOCUSED), "Play still reads as focused")
    told = [kind for kind, source, _ in heard if source == bar[1] and "focus" in kind]
    print(f"heard for Pause: {told}")
    expect(told, "the reader was not told that Pause has the focus")
    expect(s.app.poll() is None, "the program ended")
    print("screen reader walk passed")


def main():
    on_private_bus()
    reader_modules()
    return drive(check)


if __name__ == "__main__":
    sys.exit(main())
