#!/usr/bin/env bash
# Starts the program under Xvfb (for a machine without a display), saves a
# screenshot of the screen and keeps the program running until Ctrl+C, which closes it
# as its close box would; then stops Xvfb and ends with the program's exit code.
source "$(dirname "$0")/../strict.sh"
here=$(cd "$(dirname "$0")" && pwd)
program=${1:?usage: run_headless.sh path/to/tolvane}
source "$here/xvfb_session.sh"
xvfb_start
# On a terminal the program runs as a job of its own that holds the terminal, so Ctrl+C
# reaches only the program and not Xvfb, which must outlive it.
interactive=""
[ -t 0 ] && interactive=yes && set -m
# With Ctrl+C's signal as the system defines it, even where a shell or tool above has
# set it to be ignored (the program keeps a signal ignored that it was started with).
env --default-signal=INT "$program" &
APP_PID=$!
set +m
id=$(wait_window "Tolvane 1.2")
sleep 1.2  # let the clock show its first second
shot="${TMPDIR:-/tmp}/tolvane-screenshot.png"
import -window root "$shot"
echo "Tolvane is running on the virtual display $DISPLAY (window ${id:-not found})."
echo "Screenshot: $shot"
echo "Press Ctrl+C to quit."
status=0
if [ -n "$interactive" ]; then
    set -m
    fg %% >/dev/null || status=$?
else
    wait "$APP_PID" || status=$?
fi
APP_PID=""
echo "Tolvane has closed."
exit "$status"
