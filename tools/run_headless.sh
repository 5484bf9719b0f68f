#!/usr/bin/env bash
# Starts the program under Xvfb (for a machine without a display), saves a
# screenshot of the screen and keeps the program running until Ctrl+C.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=${1:?usage: run_headless.sh path/to/tolvane}
source "$here/xvfb_session.sh"
xvfb_start
"$program" &
APP_PID=$!
id=$(wait_window "Tolvane 1.2")
sleep 1.2  # let the clock show its first second
shot="${TMPDIR:-/tmp}/tolvane-screenshot.png"
import -window root "$shot"
echo "Tolvane is running on the virtual display $DISPLAY (window ${id:-not found})."
echo "Screenshot: $shot"
echo "Press Ctrl+C to quit."
wait "$APP_PID"
