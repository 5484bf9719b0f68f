#!/usr/bin/env bash
# Start-up and idle memory of Tolvane beside the bare X clock (dclock -seconds, where
# installed), both measured from the display server's side by startup_probe: the time
# from exec to the first mapped window and to its first paint, then VmRSS and PSS after
# 3 s idle. Runs on a private Xvfb with no window manager, the two programs in turn run
# by run, first on the idle machine, then beside one busy loop per core. The first run
# of each mode is reported apart as cold; p50 and max are over the warm runs.
#   bench/startup/startup_bench.sh path/to/startup_probe path/to/tolvane [runs]
# Tolvane starts with a WAV file as its alarm source, each run from fresh settings and
# runtime folders.
source "$(dirname "$0")/../../tools/strict.sh"
probe=${1:?usage: startup_bench.sh path/to/startup_probe path/to/tolvane [runs]}
program=${2:?usage: startup_bench.sh path/to/startup_probe path/to/tolvane [runs]}
runs=${3:-8}

scratch=$(mktemp -d)
loaders=()
cleanup() {
    local pid
    for pid in "${loaders[@]}" ${BUS_PID:-} ${XVFB_PID:-}; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT

# A bare server, so a top-level window maps on the root where the probe sees it.
source "$(dirname "$0")/../../tools/ci/xvfb_session.sh"
XVFB_WM=no xvfb_start
trap cleanup EXIT  # xvfb_start sets its own
# A desktop session has a message bus, and the toolkit talks to it at start-up.
if command -v dbus-daemon >/dev/null 2>&1; then
    bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 --nopidfile)
    DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$bus")
    BUS_PID=$(sed -n 2p <<<"$bus")
    export DBUS_SESSION_BUS_ADDRESS
fi

wav=$scratch/alarm.wav
sox -n -r 22050 -c 1 -b 16 "$wav" synth 2 sine 440
clocks=(tolvane)
if command -v dclock >/dev/null 2>&1; then
    clocks+=(dclock)
else
    echo "dclock is not installed: no bare X clock figures beside Tolvane's"
fi

# One start of $1 (tolvane or dclock); appends "mapped painted rss pss" to its results.
run_once() {
    local clock=$1 mode=$2 dir
    dir=$(mktemp -d "$scratch/run.XXXXXX")
    mkdir -p -m 0700 "$dir/config/tolvane" "$dir/runtime"
    printf '[Saved Settings]\nLastType=Wave\nLastFileName=%s\nLastWave=%s\n' "$wav" "$wav" \
        >"$dir/config/tolvane/tolvan.ini"
    local command=("$program")
    [ "$clock" = dclock ] && command=(dclock -seconds)
    local status=0
    XDG_CONFIG_HOME=$dir/config XDG_RUNTIME_DIR=$dir/runtime "$probe" -- "${command[@]}" \
        >>"$scratch/$clock.$mode" 2>"$dir/errors" || status=$?
    grep -v '^Warning: Cannot convert' "$dir/errors" >&2 || true  # the bare clock's missing fonts
    rm -rf "$dir"
    return "$status"
}

# Prints the lines of one program in one mode; $1 prefixes every name.
report() {
    local prefix=$1 file=$2 mode=$3
    awk -v p="$prefix" -v m="$mode" '
        { mapped[NR] = $1; painted[NR] = $2; rss[NR] = $3; pss[NR] = $4 }
        function median(a, n,    s, i, j, t) {  # of a[2..n], the warm runs
            for (i = 2; i <= n; i++) s[i] = a[i]
            for (i = 3; i <= n; i++) for (j = i; j > 2 && s[j - 1] > s[j]; j--) { t = s[j]; s[j] = s[j - 1]; s[j - 1] = t }
            return n < 2 ? a[1] : s[int((n + 2) / 2)]
        }
        function maximum(a, n,    i, x) { x = a[1]; for (i = 2; i <= n; i++) if (a[i] > x) x = a[i]; return x }
        function figures(name, a) {
            printf "%s%s_ms_cold[%s]: %.1f ms\n", p, name, m, a[1]
            printf "%s%s_ms_p50[%s]: %.1f ms\n", p, name, m, median(a, NR)
            printf "%s%s_ms_max[%s]: %.1f ms\n", p, name, m, maximum(a, NR)
        }
        END {
            if (NR == 0) { printf "%sstartup: no run succeeded [%s]\n", p, m; exit }
            figures("startup_mapped", mapped)
            figures("startup_first_paint", painted)
            if (m == "idle") {
                printf "%sidle_rss_mb: %.1f MB\n", p, median(rss, NR) / 1024
                printf "%sidle_pss_mb: %.1f MB\n", p, median(pss, NR) / 1024
            }
        }' "$file"
}

for mode in idle loaded; do
    if [ "$mode" = loaded ]; then
        for _ in $(seq "$(nproc)"); do
            (while :; do :; done) &
            loaders+=($!)
        done
        sleep 2
    fi
    for clock in "${clocks[@]}"; do : >"$scratch/$clock.$mode"; done
    for _ in $(seq "$runs"); do
        for clock in "${clocks[@]}"; do run_once "$clock" "$mode" || true; done
    done
    load=$(cut -d' ' -f1 /proc/loadavg)
    if [ "$mode" = loaded ]; then
        kill "${loaders[@]}" 2>/dev/null || true
        wait "${loaders[@]}" 2>/dev/null || true
        loaders=()
    fi
    for clock in "${clocks[@]}"; do
        prefix=""
        [ "$clock" = dclock ] && prefix=dclock_
        report "$prefix" "$scratch/$clock.$mode" "$mode"
    done
    printf 'startup_load_average[%s]: %s\n' "$mode" "$load"
done
