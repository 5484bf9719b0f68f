#!/usr/bin/env bash
# Sourced by the headless tools: starts Xvfb on a display of its own with a small window
# manager (for title bars and a task bar; XVFB_WM=no leaves it out), and stops both on
# exit.
source "$(dirname "${BASH_SOURCE[0]}")/../strict.sh"

# Xvfb picks the display number itself (-displayfd) and prints it once it accepts
# clients, so two servers started at once, here or in another mount namespace of the
# same machine, never take the same number.
xvfb_start() {
    local ready
    ready=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1024x768x24}" -nolisten tcp 3>"$ready" >/dev/null 2>&1 &
    XVFB_PID=$!
    trap xvfb_stop EXIT
    for _ in $(seq 100); do
        [ -s "$ready" ] && break
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    local number
    number=$(head -1 "$ready")
    rm -f "$ready"
    [ -n "$number" ] || { echo "Xvfb did not start (is the xvfb package installed?)" >&2; return 1; }
    export DISPLAY=":$number"
    if [ "${XVFB_WM:-yes}" != no ] && command -v icewm >/dev/null 2>&1; then
        icewm >/dev/null 2>&1 &
        WM_PID=$!
        sleep 0.5
    fi
}

xvfb_stop() {
    [ -z "${APP_PID:-}" ] || kill "$APP_PID" 2>/dev/null || true
    [ -z "${WM_PID:-}" ] || kill "$WM_PID" 2>/dev/null || true
    [ -z "${XVFB_PID:-}" ] || kill "$XVFB_PID" 2>/dev/null || true
}

# Waits until a window with the given title exists and prints its id (nothing when
# none appears within ten seconds).
wait_window() {
    local title=$1 id=""
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -1 || true)
        [ -n "$id" ] && break
        sleep 0.1
    done
    echo "$id"
}
