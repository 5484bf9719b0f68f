#!/usr/bin/env bash
# Sourced by the headless tools: starts Xvfb on a free display with a small window
# manager (for title bars and a task bar), and stops both on exit.
set -euo pipefail

xvfb_start() {
    local n=${XVFB_DISPLAY_NUMBER:-90}
    while [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ]; do n=$((n + 1)); done
    export DISPLAY=":${n}"
    Xvfb "$DISPLAY" -screen 0 "${XVFB_SCREEN:-1024x768x24}" -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    if command -v icewm >/dev/null 2>&1; then
        icewm >/dev/null 2>&1 &
        WM_PID=$!
        sleep 0.5
    fi
    trap xvfb_stop EXIT
}

xvfb_stop() {
    [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null || true
    [ -n "${WM_PID:-}" ] && kill "$WM_PID" 2>/dev/null || true
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
}

# Waits until a window with the given title exists and prints its id.
wait_window() {
    local title=$1 id=""
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -1 || true)
        [ -n "$id" ] && break
        sleep 0.1
    done
    echo "$id"
}
