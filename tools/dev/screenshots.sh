#!/usr/bin/env bash
# Pictures of the program's windows under Xvfb: the main window on each notebook page
# and the About window, as PNG files in the given folder. With a scale other than 1 the
# program runs at that screen scale and the files are named "<picture>@<scale>x.png".
#   tools/dev/screenshots.sh path/to/tolvane docs
#   tools/dev/screenshots.sh path/to/tolvane docs/hidpi 1.5
#   tools/dev/screenshots.sh build-win/app/tolvane.exe docs/windows   (under Wine)
source "$(dirname "$0")/../strict.sh"
here=$(cd "$(dirname "$0")" && pwd)
program=${1:?usage: screenshots.sh path/to/tolvane out-folder [scale]}
out=${2:-docs}
scale=${3:-1}
suffix=""
if [ "$scale" != 1 ]; then
    export QT_SCALE_FACTOR="$scale"
    suffix="@${scale}x"
    # A screen as large, counted in the program's pixels, as the usual one.
    export XVFB_SCREEN=$(awk -v s="$scale" 'BEGIN { printf "%dx%dx24", 1024 * s, 768 * s }')
fi
mkdir -p "$out"
source "$here/../ci/xvfb_session.sh"
xvfb_start

scratch=$(mktemp -d)
export XDG_CONFIG_HOME="$scratch"
# The clock in the pictures reads the way the design shows it ("9:24:19 AM").
export LANG=en_US.UTF-8
command=("$program")
if [[ "$program" == *.exe ]]; then
    # A Wine prefix of the run's own, made before the clock starts.
    export WINEPREFIX="$scratch/wine"
    "$here/../ci/wine_run.sh" cmd /c exit >/dev/null 2>&1 || true
    command=("$here/../ci/wine_run.sh" "$program")
fi
"${command[@]}" &
APP_PID=$!
main=$(wait_window "Tolvane 1.2")
[ -n "$main" ] || { echo "The main window did not appear." >&2; exit 1; }
sleep 1.5

shoot() {  # window id, picture name
    local file="$out/$2$suffix.png"
    import -window "$1" -frame "$file"
    echo "$file"
}
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
# The window manager does not give a Wine window the keyboard by itself.
[ -z "${WINEPREFIX:-}" ] || xdotool windowfocus --sync "$main" >/dev/null 2>&1 || true
shoot "$main" main-window
xdotool key --window "$main" alt+s; sleep 0.4
shoot "$main" main-window-set-alarm
xdotool key --window "$main" alt+t; sleep 0.4
shoot "$main" main-window-how-to
xdotool key --window "$main" alt+e; sleep 0.2
xdotool key --window "$main" alt+h; sleep 0.3
xdotool key a; sleep 0.5
about=$(wait_window "Quennet 1.2")
[ -n "$about" ] || { echo "The About window did not appear." >&2; exit 1; }
shoot "$about" about-window
import -window root "$out/screen$suffix.png" && echo "$out/screen$suffix.png"
# Close the About window with its OK button, then leave through File, Exit.
xdotool windowactivate --sync "$about" key Return >/dev/null 2>&1 || true
sleep 0.3
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
xdotool key alt+f; sleep 0.3
xdotool key x
for _ in $(seq 50); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.1; done
kill "$APP_PID" 2>/dev/null || true
wait "$APP_PID" || true
APP_PID=""
[ -z "${WINEPREFIX:-}" ] || "$here/../ci/wine_run.sh" --server -k 2>/dev/null || true
rm -rf "$scratch"
