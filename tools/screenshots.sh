#!/usr/bin/env bash
# Pictures of the program's windows under Xvfb: the main window on each notebook page
# and the About window, as PNG files in the given folder.
#   tools/screenshots.sh path/to/tolvane docs
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=${1:?usage: screenshots.sh path/to/tolvane out-folder}
out=${2:-docs}
mkdir -p "$out"
source "$here/xvfb_session.sh"
xvfb_start

scratch=$(mktemp -d)
export XDG_CONFIG_HOME="$scratch"
"$program" &
APP_PID=$!
main=$(wait_window "Tolvane 1.2")
[ -n "$main" ] || { echo "The main window did not appear." >&2; exit 1; }
sleep 1.5

shoot() {  # window id, file
    import -window "$1" -frame "$out/$2"
    echo "$out/$2"
}
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
shoot "$main" main-window.png
xdotool key --window "$main" alt+s; sleep 0.4
shoot "$main" main-window-set-alarm.png
xdotool key --window "$main" alt+t; sleep 0.4
shoot "$main" main-window-how-to.png
xdotool key --window "$main" alt+e; sleep 0.2
xdotool key --window "$main" alt+h; sleep 0.3
xdotool key a; sleep 0.5
about=$(wait_window "Quennet 1.2")
[ -n "$about" ] && shoot "$about" about-window.png
import -window root "$out/screen.png" && echo "$out/screen.png"
xdotool key --window "$main" alt+f; sleep 0.3
xdotool key x
wait "$APP_PID" || true
APP_PID=""
rm -rf "$scratch"
