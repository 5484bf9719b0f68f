#!/usr/bin/env bash
# Runs every benchmark of a build and prints their `name: value unit` lines.
#   bench/run.sh [build-folder] [--long]
# The tick benchmark runs 15 s by default; --long gives it the full 600 s.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
tick_args=(--short)
[ "${2:-}" = "--long" ] && tick_args=()

# The program allows one instance per user and display, and a second start only raises
# the first: a runtime folder of the benchmarks' own keeps a Tolvane the user runs on
# this display from taking their starts.
XDG_RUNTIME_DIR=$(mktemp -d)
chmod 0700 "$XDG_RUNTIME_DIR"
export XDG_RUNTIME_DIR
cleanup() {
    if declare -F xvfb_stop >/dev/null; then xvfb_stop; fi
    rm -rf "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
    source "$here/tools/xvfb_session.sh"
    xvfb_start
    trap cleanup EXIT  # xvfb_start set its own
fi

section() { printf '\n## %s\n' "$1"; }
section "start-up and memory (bench/startup)"
"$build/bench/startup/startup_bench" 8
section "clock tick against the wall clock (bench/tick)"
QT_QPA_PLATFORM=offscreen "$build/bench/tick/tick_bench" "${tick_args[@]}"
section "MIDI reading and rendering (bench/midi)"
"$build/bench/midi/bench_midi_render"
section "settings file reads and saves (bench/profile)"
"$build/bench/profile/profile_bench"
section "media devices (bench/mcidev)"
"$build/bench/mcidev/bench_media"
section "the alarm minute to the built-in tone at the sink (bench/alarm)"
"$build/bench/alarm/alarm_bench" 10
section "idle program: CPU and wake-ups (bench/idle)"
"$here/bench/idle/idle_bench.sh" "$build/app/tolvane" 60
