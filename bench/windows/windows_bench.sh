#!/usr/bin/env bash
# Tolvane for Windows under Wine, measured beside the Linux build in the same run:
#   - the size of tolvane.exe as built, and stripped as the zip and installer carry it;
#   - start-up to the first mapped and first painted window, seen from the display
#     server by startup_probe, on a private Xvfb with no window manager, the two builds
#     in turn run by run (Wine's server kept running, as a desktop session's would be);
#   - the Windows loop's tick offset from the whole second (p50, p99) and its wake-ups,
#     by tick_bench_win32 under wine64;
#   - idle wake-ups a second of the whole program with its window shown: the context
#     switches of all its threads over 20 s (and of Wine's server, for the Windows build).
#   bench/windows/windows_bench.sh [linux-build] [windows-build] [runs] [tick-seconds]
source "$(dirname "$0")/../../tools/strict.sh"
here=$(cd "$(dirname "$0")/../.." && pwd)
linux=$(cd "${1:-build}" && pwd)
windows=$(cd "${2:-build-win}" && pwd)
runs=${3:-8}
tick_seconds=${4:-60}
exe=$windows/app/tolvane.exe
probe=$linux/bench/startup/startup_probe
for f in "$exe" "$probe" "$linux/app/tolvane" "$windows/bench/windows/tick_bench_win32.exe"; do
    [ -e "$f" ] || { echo "windows_bench: $f is not built" >&2; exit 1; }
done

scratch=$(mktemp -d)
export WINEPREFIX=$scratch/wine
export XDG_RUNTIME_DIR=$scratch/runtime
mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    "$here/tools/ci/wine_run.sh" --server -k 2>/dev/null || true
    xvfb_stop
    rm -rf "$scratch"
}
source "$here/tools/ci/xvfb_session.sh"
trap cleanup EXIT

echo "windows_exe_bytes: $(stat -c %s "$exe") bytes"
x86_64-w64-mingw32-strip -o "$scratch/stripped.exe" "$exe"
echo "windows_exe_stripped_bytes: $(stat -c %s "$scratch/stripped.exe") bytes"
echo "linux_program_bytes: $(stat -c %s "$linux/app/tolvane") bytes (not stripped)"

XVFB_WM=no xvfb_start
trap cleanup EXIT  # xvfb_start sets its own

# The prefix is made once, and its server stays up between the runs.
"$here/tools/ci/wine_run.sh" cmd /c exit >/dev/null 2>&1 || true
"$here/tools/ci/wine_run.sh" --server -p 2>/dev/null || true
appdata=""
for folder in "$WINEPREFIX"/drive_c/users/*/AppData/Roaming; do
    [ ! -d "$folder" ] || [[ "$folder" == */Public/* ]] || { appdata=$folder; break; }
done
[ -d "$appdata" ] || { echo "windows_bench: the Wine prefix $WINEPREFIX has no user profile" >&2; exit 1; }
wav=$scratch/alarm.wav
sox -n -r 22050 -c 1 -b 16 "$wav" synth 2 sine 440

# Fresh settings with the same wave file as the source, for either build.
fresh_settings() {
    rm -rf "$scratch/config" "$appdata/Tolvane"
    mkdir -p -m 0700 "$scratch/config/tolvane" "$appdata/Tolvane"
    printf '[Saved Settings]\nLastType=Wave\nLastFileName=%s\nLastWave=%s\n' "$wav" "$wav" \
        >"$scratch/config/tolvane/tolvan.ini"
    local win="Z:${wav//\//\\}"
    printf '[Saved Settings]\r\nLastType=Wave\r\nLastFileName=%s\r\nLastWave=%s\r\n' "$win" "$win" \
        >"$appdata/Tolvane/tolvan.ini"
}

: >"$scratch/linux.runs"
: >"$scratch/windows.runs"
for _ in $(seq "$runs"); do
    fresh_settings
    XDG_CONFIG_HOME=$scratch/config "$probe" -- "$linux/app/tolvane" >>"$scratch/linux.runs" 2>/dev/null || true
    fresh_settings
    "$probe" --timeout 60 -- "$here/tools/ci/wine_run.sh" "$exe" >>"$scratch/windows.runs" 2>/dev/null || true
done
for build in linux windows; do
    awk -v b="$build" '
        { mapped[NR] = $1; painted[NR] = $2 }
        function median(a, n,    s, i, j, t) {  # of the warm runs, a[2..n]
            for (i = 2; i <= n; i++) s[i] = a[i]
            for (i = 3; i <= n; i++) for (j = i; j > 2 && s[j - 1] > s[j]; j--) { t = s[j]; s[j] = s[j - 1]; s[j - 1] = t }
            return n < 2 ? a[1] : s[int((n + 2) / 2)]
        }
        END {
            if (NR == 0) { printf "%s_startup: no run succeeded\n", b; exit }
            printf "%s_startup_mapped_ms_p50: %.1f ms (cold %.1f, %d runs)\n", b, median(mapped, NR), mapped[1], NR
            printf "%s_startup_first_paint_ms_p50: %.1f ms (cold %.1f)\n", b, median(painted, NR), painted[1]
        }' "$scratch/$build.runs"
done

"$here/tools/ci/wine_run.sh" "$windows/bench/windows/tick_bench_win32.exe" --seconds "$tick_seconds" | tr -d '\r'

# Context switches of every thread of the given processes, summed.
switches() {
    local total=0 pid f v
    for pid in "$@"; do
        for f in /proc/"$pid"/task/*/status; do
            v=$(awk '/^(non)?voluntary_ctxt_switches/ { s += $2 } END { print s + 0 }' "$f" 2>/dev/null || echo 0)
            total=$((total + v))
        done
    done
    echo "$total"
}
wakeups() {  # name, seconds, pids...
    local name=$1 span=$2 before after
    shift 2
    before=$(switches "$@")
    sleep "$span"
    after=$(switches "$@")
    awk -v n="$name" -v d=$((after - before)) -v s="$span" 'BEGIN { printf "%s: %.2f /s\n", n, d / s }'
}
fresh_settings
XDG_CONFIG_HOME=$scratch/config "$linux/app/tolvane" >/dev/null 2>&1 &
pids+=($!)
linux_pid=$!
"$here/tools/ci/wine_run.sh" "$exe" >/dev/null 2>&1 &
pids+=($!)
windows_pid=$!
sleep 8
server_pids=$(pgrep -f wineserver | while read -r p; do
    grep -qz "WINEPREFIX=$WINEPREFIX" /proc/"$p"/environ 2>/dev/null && echo "$p"; done || true)
wakeups linux_idle_wakeups_per_s 20 "$linux_pid"
wakeups windows_idle_wakeups_per_s 20 "$windows_pid"
# shellcheck disable=SC2086
[ -n "$server_pids" ] && wakeups wine_server_idle_wakeups_per_s 20 $server_pids
echo "windows_bench_load_average: $(cut -d' ' -f1 /proc/loadavg)"
