#!/usr/bin/env bash
# Runs every benchmark of a build and prints their `name: value unit` lines.
#   bench/run.sh [build-folder] [--long]
# The tick benchmark runs 15 s by default; --long gives it the full 600 s.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
tick_args=(--short)
[ "${2:-}" = "--long" ] && tick_args=()

if [ -z "${DISPLAY:-}" ]; then
    source "$here/tools/xvfb_session.sh"
    xvfb_start
fi

section() { printf '\n## %s\n' "$1"; }
section "start-up and memory (bench/startup)"
"$build/bench/startup/startup_bench" 8
section "clock tick against the wall clock (bench/tick)"
QT_QPA_PLATFORM=offscreen "$build/bench/tick/tick_bench" "${tick_args[@]}"
section "MIDI reading and rendering (bench/midi)"
"$build/bench/midi/bench_midi_render"
section "media devices (bench/mcidev)"
"$build/bench/mcidev/bench_media"
section "idle program: CPU and wake-ups (bench/idle)"
"$here/bench/idle/idle_bench.sh" "$build/app/tolvane" 60
