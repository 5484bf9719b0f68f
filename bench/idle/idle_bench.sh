#!/usr/bin/env bash
# CPU use and wake-ups of the idle, ticking program: starts it under Xvfb, lets it
# settle, then counts context switches of all its threads and its CPU time.
#   bench/idle/idle_bench.sh path/to/tolvane [seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
program=${1:?usage: idle_bench.sh path/to/tolvane [seconds]}
seconds=${2:-60}
if [ -z "${DISPLAY:-}" ]; then
    source "$here/tools/xvfb_session.sh"
    xvfb_start
fi
scratch=$(mktemp -d)
XDG_CONFIG_HOME="$scratch" "$program" &
APP_PID=$!
trap 'kill $APP_PID 2>/dev/null; rm -rf "$scratch"' EXIT
sleep 5

switches() {  # voluntary + involuntary context switches over every thread
    cat /proc/"$APP_PID"/task/*/status 2>/dev/null |
        awk '/^(voluntary|nonvoluntary)_ctxt_switches/ {n += $2} END {print n}'
}
cputicks() { awk '{print $14 + $15}' /proc/"$APP_PID"/stat; }
threads() { ls /proc/"$APP_PID"/task | wc -l; }

s0=$(switches); c0=$(cputicks); t0=$(date +%s.%N)
sleep "$seconds"
s1=$(switches); c1=$(cputicks); t1=$(date +%s.%N)
hz=$(getconf CLK_TCK)
awk -v s="$((s1 - s0))" -v c="$((c1 - c0))" -v t0="$t0" -v t1="$t1" -v hz="$hz" -v th="$(threads)" 'BEGIN {
    dt = t1 - t0
    printf "idle_threads: %d threads\n", th
    printf "idle_wakeups_per_second: %.2f /s\n", s / dt
    printf "idle_cpu_percent: %.3f %%\n", 100 * c / hz / dt
}'
