#!/usr/bin/env bash
# Runs every benchmark of a build and prints their `name: value unit` lines, then the
# goals the program is held to, each with its figure, the bare X clock's beside it and
# the load average.
#   bench/run.sh [build-folder] [--long]
# By default the tick benchmark runs 15 s and the idle one 30 s a state; --long gives
# the tick benchmark its full 600 s and measures the idle shown window for 300 s, the
# duration the tick's CPU goal is set on.
source "$(dirname "$0")/../tools/strict.sh"
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
long=""
[ "${2:-}" = "--long" ] && long=yes
tick_args=(--short)
idle_args=()
if [ -n "$long" ]; then
    tick_args=()
    idle_args=(--long)
fi

# The program allows one instance per user and display, and a second start only raises
# the first: a runtime folder of the benchmarks' own keeps a Tolvane the user runs on
# this display from taking their starts.
XDG_RUNTIME_DIR=$(mktemp -d)
chmod 0700 "$XDG_RUNTIME_DIR"
export XDG_RUNTIME_DIR
lines=$XDG_RUNTIME_DIR/lines
cleanup() {
    if declare -F xvfb_stop >/dev/null; then xvfb_stop; fi
    rm -rf "$XDG_RUNTIME_DIR"
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
    source "$here/tools/ci/xvfb_session.sh"
    xvfb_start
    trap cleanup EXIT  # xvfb_start set its own
fi

section() { printf '\n## %s\n' "$1"; }
section "start-up and memory, from the display server (bench/startup)"
if [ -x "$build/bench/startup/startup_probe" ]; then
    "$here/bench/startup/startup_bench.sh" "$build/bench/startup/startup_probe" "$build/app/tolvane" 8 | tee -a "$lines"
else
    echo "startup_probe was not built (no xcb-damage): no start-up figures from the display server"
fi
section "start-up and memory, from inside the program (bench/startup)"
"$build/bench/startup/startup_hook_bench" 5
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
"$here/bench/idle/idle_bench.sh" "${idle_args[@]}" "$build/app/tolvane" 30 | tee -a "$lines"
# The Windows build under Wine, where `make windows` has made one.
win_build=${WIN_BUILD:-$here/build-win}
if [ -x "$win_build/app/tolvane.exe" ] && [ -e "$win_build/bench/windows/tick_bench_win32.exe" ]; then
    section "tolvane.exe under Wine beside this build (bench/windows)"
    "$here/bench/windows/windows_bench.sh" "$build" "$win_build" 8 "$([ -n "$long" ] && echo 600 || echo 60)"
else
    section "tolvane.exe under Wine: skipped, no Windows build in $win_build ('make windows' makes one)"
fi

section "goals"
awk -v shown="$([ -n "$long" ] && echo 300 || echo 30)" '
    { sub(/:$/, "", $1); v[$1] = $2 }
    function goal(name, figure, limit, unit, bare, load, note) {
        if (!(figure in v)) { printf "%s: - %s FAIL (not measured)\n", name, unit; return }
        printf "%s: %s %s %s (goal <= %s %s; dclock %s %s; load %s%s)\n", name, v[figure], unit,
            v[figure] + 0 <= limit ? "PASS" : "FAIL", limit, unit,
            bare in v ? v[bare] : "-", unit, load in v ? v[load] : "-", note
    }
    END {
        goal("goal_tick_cpu_ms_per_tick", "idle_shown_cpu_ms_per_tick", 0.25, "ms",
             "dclock_idle_shown_cpu_ms_per_tick", "idle_shown_load_average", "; shown " shown " s")
        goal("goal_startup_first_paint_ms_p50_loaded", "startup_first_paint_ms_p50[loaded]", 100, "ms",
             "dclock_startup_first_paint_ms_p50[loaded]", "startup_load_average[loaded]", "")
        goal("goal_idle_rss_mb", "idle_rss_mb", 40, "MB", "dclock_idle_rss_mb", "startup_load_average[idle]",
             "; WAV source")
    }' "$lines"
