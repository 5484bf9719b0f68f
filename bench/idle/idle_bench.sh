#!/usr/bin/env bash
# Wake-ups and CPU use of the idle, ticking program under X: starts it under Xvfb with
# a window manager, lets it settle, then measures three states in turn (the window
# shown, minimised, and covered by another window) and names the threads that wake.
#   bench/idle/idle_bench.sh [--long] path/to/tolvane [seconds-per-state] [path/to/other/tolvane]
# --long measures the shown window for 300 s, the figure the tick's CPU goal is set on;
# the other two states keep seconds-per-state. The bare X clock (dclock -seconds) is
# measured the same way right after Tolvane where it is installed, its lines prefixed
# with "dclock_", and a second program (an older build, say) after it with "other_", so
# all figures come from one run.
#
# CPU time is the run time the scheduler accounts to each thread, in nanoseconds,
# summed over the threads; the clock ticks once a second, so CPU per second of wall time
# is CPU per tick. A thread that ends during a state takes its time with it.
#
# A wake-up is a thread going back to work after it slept: a voluntary context switch.
# Switches forced by other busy programs on the machine are counted apart as
# preemptions; they say how loaded the machine was, not what woke the program.
source "$(dirname "$0")/../../tools/strict.sh"
here=$(cd "$(dirname "$0")/../.." && pwd)
shown_seconds=""
[ "${1:-}" = "--long" ] && shown_seconds=300 && shift
program=${1:?usage: idle_bench.sh [--long] path/to/tolvane [seconds-per-state] [path/to/other/tolvane]}
seconds=${2:-60}
shown_seconds=${shown_seconds:-$seconds}
other=${3:-}
settle=5

scratch=$(mktemp -d)
cleanup() {
    [ -n "${APP_PID:-}" ] && kill "$APP_PID" 2>/dev/null || true
    [ -n "${COVER_PID:-}" ] && kill "$COVER_PID" 2>/dev/null || true
    [ -n "${BUS_PID:-}" ] && kill "$BUS_PID" 2>/dev/null || true
    if declare -F xvfb_stop >/dev/null; then xvfb_stop; fi
    rm -rf "$scratch"
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
    source "$here/tools/ci/xvfb_session.sh"
    xvfb_start
    trap cleanup EXIT  # xvfb_start set its own
fi
# A desktop session has a message bus, and the program's toolkit talks to it: measure
# with one.
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] && command -v dbus-daemon >/dev/null 2>&1; then
    bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 --nopidfile)
    DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$bus")
    BUS_PID=$(sed -n 2p <<<"$bus")
    export DBUS_SESSION_BUS_ADDRESS
fi

# One line per thread: id, voluntary and forced switches, name (spaces kept).
snapshot() {
    local t
    for t in /proc/"$APP_PID"/task/*; do
        awk -v tid="${t##*/}" -v comm="$(cat "$t/comm" 2>/dev/null)" '
            /^voluntary_ctxt_switches/ {v = $2}
            /^nonvoluntary_ctxt_switches/ {n = $2}
            END {if (v != "") printf "%s %d %d %s\n", tid, v, n, comm}' "$t/status" 2>/dev/null || true
    done
}
# (A thread may end between the listing and the reading: what is left is summed.)
cpu_ns() { { cat /proc/"$APP_PID"/task/*/schedstat 2>/dev/null || true; } | awk '{ns += $1} END {printf "%d\n", ns}'; }

# The program's main window: found by its process, or by its class where the program
# does not name its process on its windows.
main_window() {
    local id="" search=(--pid "$APP_PID" --name '^Tolvane')
    [ "$1" = dclock ] && search=(--class '^dclock$')
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible "${search[@]}" 2>/dev/null | head -1 || true)
        [ -n "$id" ] && break
        sleep 0.1
    done
    echo "$id"
}

# Measures one state for $2 seconds and prints its lines, each name starting with $1.
measure() {
    local prefix=$1 before=$scratch/before after=$scratch/after c0 c1 t0 t1
    snapshot >"$before"; c0=$(cpu_ns); t0=$(date +%s.%N)
    sleep "$2"
    snapshot >"$after"; c1=$(cpu_ns); t1=$(date +%s.%N)
    awk -v p="$prefix" -v c="$((c1 - c0))" -v t0="$t0" -v t1="$t1" '
        function name(    s, i) {  # the thread name, its spaces made underscores
            s = $4
            for (i = 5; i <= NF; i++) s = s "_" $i
            return s
        }
        FNR == NR {v0[$1] = $2; n0[$1] = $3; next}
        {
            dv = $2 - v0[$1]; dn = $3 - n0[$1]  # a thread born meanwhile counts from 0
            threads++; woke += dv; forced += dn
            per[name()] += dv
        }
        END {
            dt = t1 - t0
            printf "%s_threads: %d threads\n", p, threads
            printf "%s_wakeups_per_second: %.2f /s\n", p, woke / dt
            printf "%s_preemptions_per_second: %.2f /s\n", p, forced / dt
            printf "%s_cpu_ms_per_tick: %.3f ms\n", p, c / 1e6 / dt
            printf "%s_cpu_percent: %.4f %%\n", p, 100 * c / 1e9 / dt
            for (t in per) printf "%s_thread_wakeups_per_second[%s]: %.2f /s\n", p, t, per[t] / dt
        }' "$before" "$after"
}

# Runs one program (its command line after $1) through the three states; $1 prefixes
# every line.
bench() {
    local prefix=$1 window
    shift
    mkdir -p "$scratch/config" "$scratch/runtime"
    chmod 0700 "$scratch/runtime"
    # Its own settings and runtime folder: a Tolvane the user runs here keeps its own.
    XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime" "$@" \
        2> >(grep -v '^Warning: Cannot convert' >&2) &  # the bare clock's missing fonts
    APP_PID=$!
    window=$(main_window "$1")
    [ -n "$window" ] || { echo "idle_bench: no window from $1" >&2; exit 1; }
    sleep "$settle"
    measure "${prefix}idle_shown" "$shown_seconds" | tee -a "$scratch/lines"
    printf '%sidle_shown_load_average: %s\n' "$prefix" "$(cut -d' ' -f1 /proc/loadavg)"

    xdotool windowminimize --sync "$window"
    sleep "$settle"
    measure "${prefix}idle_minimised" "$seconds" | tee -a "$scratch/lines"

    xdotool windowmap --sync "$window" windowactivate --sync "$window" 2>/dev/null || true
    local size
    size=$(xdpyinfo | awk '/dimensions:/ && !size {size = $2} END {print size}')
    xmessage -geometry "${size}+0+0" -title cover "covering the window" 2>/dev/null &
    COVER_PID=$!
    local cover=""
    for _ in $(seq 100); do
        cover=$(xdotool search --onlyvisible --pid "$COVER_PID" 2>/dev/null | head -1 || true)
        [ -n "$cover" ] && break
        sleep 0.1
    done
    [ -n "$cover" ] && xdotool windowactivate --sync "$cover" 2>/dev/null || true
    sleep "$settle"
    measure "${prefix}idle_covered" "$seconds" | tee -a "$scratch/lines"

    kill "$COVER_PID" "$APP_PID" 2>/dev/null || true
    wait "$COVER_PID" "$APP_PID" 2>/dev/null || true
    COVER_PID="" APP_PID=""
    rm -rf "$scratch/config" "$scratch/runtime"
    # The figures the goals are set on: the worst state's wake-ups, the shown window's
    # CPU use.
    awk -v p="${prefix}idle" '
        $1 ~ /^[a-z_]*idle_[a-z]+_wakeups_per_second:$/ && $2 > w {w = $2}
        $1 ~ /^[a-z_]*idle_shown_cpu_percent:$/ {c = $2}
        END {printf "%s_wakeups_per_second: %.2f /s\n%s_cpu_percent: %.4f %%\n", p, w, p, c}' "$scratch/lines"
    rm -f "$scratch/lines"
}

bench "" "$program"
if command -v dclock >/dev/null 2>&1; then
    bench "dclock_" dclock -seconds
else
    echo "dclock is not installed: no bare X clock figures beside Tolvane's"
fi
[ -n "$other" ] && bench "other_" "$other"
exit 0
