#!/usr/bin/env bash
# The README's two commands on a machine that has nothing but what the Makefile
# installs. A bare Debian 12 root is made with debootstrap from the Debian archive this
# machine's own apt sources name (cached between runs: the bare base system only, never
# the project's packages). Each run starts from a throwaway overlay of it, copies in a
# fresh clone of the checked-out commit and, as root with no display, in a private mount
# and process namespace (proc, sys, dev, dev/pts, dev/shm, a tmpfs /tmp):
#   make run    until the window is up under Xvfb, then Ctrl+C: it must close cleanly
#               and save the settings;
#   make test   to its end; a test skipped for want of a tool counts as a failure.
# It prints the time each step took and ends with "N passed, M failed".
#   tools/ci/fresh_check.sh [--keep]      (--keep leaves the run's folder for a look)
# TOLVANE_FRESH_CACHE names the cache folder (/var/cache/tolvane-fresh), TOLVANE_FRESH_WORK
# where each run's throwaway folder goes (/var/tmp).
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../strict.sh"

SUITE=bookworm
PATH_IN_ROOT=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
CLONE_IN_ROOT=/root/tolvane
NAMESPACES=(unshare --mount --pid --ipc --uts --fork --kill-child --propagation private)

say() { echo "fresh check: $*"; }
die() {
    echo "fresh check: $*" >&2
    exit 1
}

# --- Inside the namespaces ---------------------------------------------------------

# Mounts the root and runs one command in it, from the clone's folder.
#   inside ROOT LOWER UPPER OVERLAY-WORK command...
# LOWER is empty when ROOT is a plain copy rather than an overlay.
inside() {
    local root=$1 lower=$2 upper=$3 ovl=$4
    shift 4
    if [ -n "$lower" ]; then
        mount -t overlay tolvane-fresh -o "lowerdir=$lower,upperdir=$upper,workdir=$ovl" "$root" ||
            die "could not mount the overlay of the base root"
    fi
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys"
    mount --bind /dev "$root/dev"
    mount --bind /dev/pts "$root/dev/pts"
    mount -t tmpfs -o mode=1777,nosuid,nodev shm "$root/dev/shm"
    mount -t tmpfs -o mode=1777,nosuid,nodev tmp "$root/tmp"
    chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root SHELL=/bin/bash \
        PATH="$PATH_IN_ROOT" TERM="${TERM:-dumb}" \
        /bin/bash -c 'cd "$0" && exec "$@"' "$CLONE_IN_ROOT" "$@"
}

# --- On the machine ----------------------------------------------------------------

# Removes a folder that a root was made in. The roots' mounts live in namespaces of
# their own, so none should show here; if one does, nothing is removed.
remove_tree() {
    if grep -qF " $1/" /proc/self/mountinfo; then
        echo "fresh check: something is still mounted under $1; not removing it" >&2
        return 1
    fi
    rm -rf "$1"
}

elapsed() {  # the time since $1 (seconds since the epoch), as "4 min 30 s"
    local s=$(($(date +%s) - $1))
    if [ "$s" -ge 60 ]; then echo "$((s / 60)) min $((s % 60)) s"; else echo "$s s"; fi
}

# The Debian archive and suites that this machine's apt uses, one "uri suite
# components..." line each, the suite itself first.
debian_sources() {
    apt-get indextargets --format '$(TARGET_OF) $(REPO_URI) $(RELEASE) $(COMPONENT)' |
        awk -v suite="$SUITE" '
            $1 == "deb" && $3 ~ ("^" suite "(-updates|-security)?$") {
                key = $2 " " $3
                if (!(key in parts)) order[n++] = key
                if (index(parts[key] " ", " " $4 " ") == 0) parts[key] = parts[key] " " $4
            }
            END { for (i = 0; i < n; i++) print order[i] parts[order[i]] }' | sort -k2,2
}

# Makes the bare base root once and keeps it. It is made beside its final place and
# moved there only when complete, so an interrupted run never leaves half a root.
make_base() {
    local base=$1 mirror=$2 start include=""
    start=$(date +%s)
    if [ -x "$base/usr/bin/apt-get" ]; then
        say "base root: $base (cached)"
        return
    fi
    mkdir -p "${base%/*}"
    remove_tree "$base.partial"
    [[ "$mirror" != https:* ]] || include=--include=ca-certificates
    say "base root: debootstrap --variant=minbase $SUITE from $mirror ..."
    # In a mount namespace of its own, so the file systems it mounts in the new root go
    # away with it, even when it is interrupted.
    if ! "${NAMESPACES[@]}" debootstrap --variant=minbase $include "$SUITE" "$base.partial" "$mirror" \
            >"${base%/*}/debootstrap.log" 2>&1; then
        tail -5 "${base%/*}/debootstrap.log" >&2
        die "debootstrap failed (its log: ${base%/*}/debootstrap.log)"
    fi
    rm -rf "$base.partial/var/cache/apt/archives/"*.deb "$base.partial/var/lib/apt/lists/"*_*
    mv "$base.partial" "$base"
    say "base root: made in $(elapsed "$start")"
}

passed=0
failed=0
step_done() {  # name, start time, what went wrong (nothing when it passed)
    if [ -z "${3:-}" ]; then
        passed=$((passed + 1))
        say "$1: passed in $(elapsed "$2")"
    else
        failed=$((failed + 1))
        say "$1: FAILED after $(elapsed "$2"): $3"
    fi
}

main() {
    local keep=""
    [ "${1:-}" = --keep ] && keep=yes
    if [ "$(id -u)" != 0 ]; then
        command -v sudo >/dev/null || die "needs root (debootstrap, mounts, namespaces), and sudo is not installed"
        exec sudo --preserve-env=TOLVANE_FRESH_CACHE,TOLVANE_FRESH_WORK,TERM "$0" "$@"
    fi
    local tool
    for tool in debootstrap unshare chroot git python3; do
        command -v "$tool" >/dev/null || die "$tool is not installed ('make test-fresh' installs what this check needs)"
    done
    local repo commit
    repo=$(git -C "$here/.." rev-parse --show-toplevel)
    commit=$(git -C "$repo" rev-parse HEAD)
    [ -z "$(git -C "$repo" status --porcelain --untracked-files=no)" ] ||
        say "the working tree has changes that are not committed; this checks the commit ${commit:0:10} without them"

    local sources mirror
    sources=$(debian_sources)
    mirror=$(awk -v suite="$SUITE" '$2 == suite { print $1; exit }' <<<"$sources")
    if [ -z "$mirror" ]; then
        mirror=http://deb.debian.org/debian/
        sources="$mirror $SUITE main
$mirror $SUITE-updates main
http://deb.debian.org/debian-security/ $SUITE-security main"
        say "this machine's apt names no Debian $SUITE archive; using $mirror"
    fi
    local base="${TOLVANE_FRESH_CACHE:-/var/cache/tolvane-fresh}/$SUITE-minbase"
    make_base "$base" "$mirror"

    # The run's throwaway folder: the overlay's upper layer, or, where overlays cannot
    # be mounted, a plain copy of the base root; and this script as it is now, for the
    # steps to enter the root with even if the working tree changes meanwhile.
    work=$(mktemp -d "${TOLVANE_FRESH_WORK:-/var/tmp}/tolvane-fresh.XXXXXX")
    if [ -n "$keep" ]; then
        trap 'say "kept for a look: $work"' EXIT
    else
        trap 'remove_tree "$work"' EXIT
    fi
    local root="$work/root" lower="$base" view="$work/upper"  # view: the root's changes, seen from here
    mkdir -p "$root" "$work/upper" "$work/overlay-work"
    # Laid out as in the tree, so the copy finds strict.sh where the original does.
    mkdir -p "$work/tools/ci"
    cp "$here/fresh_check.sh" "$work/tools/ci/"
    cp "$here/../strict.sh" "$work/tools/"
    if ! unshare --mount --propagation private mount -t overlay tolvane-fresh \
            -o "lowerdir=$base,upperdir=$work/upper,workdir=$work/overlay-work" "$root" 2>/dev/null; then
        say "overlays cannot be mounted here; copying the base root instead"
        cp -a "$base/." "$root/"
        lower=""
        view="$root"
    fi

    # This machine's Debian sources and apt's network settings, its name server, the clone.
    mkdir -p "$view/etc/apt/apt.conf.d" "$view${CLONE_IN_ROOT%/*}"
    awk '{ print "deb " $0 }' <<<"$sources" >"$view/etc/apt/sources.list"
    local conf
    for conf in /etc/apt/apt.conf.d/*; do
        [ ! -f "$conf" ] || ! grep -q '^[^/#]*Acquire::' "$conf" || cp "$conf" "$view/etc/apt/apt.conf.d/"
    done
    cp -L /etc/resolv.conf "$view/etc/resolv.conf"
    git clone --quiet --no-hardlinks "$repo" "$view$CLONE_IN_ROOT"
    git -C "$view$CLONE_IN_ROOT" checkout --quiet --detach "$commit"

    # A command in the fresh root, in namespaces of its own: when it ends, all that it
    # started ends with it, and its mounts go away.
    local enter=("${NAMESPACES[@]}" "$work/tools/ci/fresh_check.sh" --inside "$root" "$lower" "$work/upper"
                 "$work/overlay-work")
    local start
    start=$(date +%s)
    # What a user types first on a bare Debian 12: the one tool the README's commands need.
    if ! { "${enter[@]}" apt-get -qq update &&
           "${enter[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -qq install -y --no-install-recommends make
         } >"$work/make-install.log" 2>&1; then
        cat "$work/make-install.log" >&2
        say "apt-get could not install make in the fresh root (above)"
        echo "0 passed, 2 failed"
        exit 1
    fi
    say "make installed in $(elapsed "$start")"

    # make run on a terminal of its own, as a user starts it: Ctrl+C once the window is
    # up must close the program, Xvfb and make cleanly, with the settings saved.
    say "make run ..."
    start=$(date +%s)
    local outcome=""
    python3 "$here/run_interrupt_check.py" --settings "$view/root/.config/tolvane/tolvan.ini" -- \
        "${enter[@]}" make --no-print-directory run || outcome="see the line above"
    step_done "make run" "$start" "$outcome"

    # make test to its end. Where it has installed all it needs, no test may be
    # skipped: a skip means a tool the Makefile's lists leave out.
    say "make test ..."
    start=$(date +%s)
    outcome=""
    local log="$work/make-test.log" skipped
    "${enter[@]}" make --no-print-directory test </dev/null 2>&1 | tee "$log" || outcome="it ended with an error"
    skipped=$(grep -E '\*\*\*Skipped|^SKIPPED:' "$log" || true)
    if [ -n "$skipped" ]; then
        # What the skipped tests said of the reason, from the test logs.
        echo "$skipped" >&2
        cat "$view$CLONE_IN_ROOT"/build*/Testing/Temporary/LastTest.log 2>/dev/null |
            awk 'tolower($0) ~ /^([a-z]+: )?skipped/ { print } after { print; after = 0 } /: Skipped$/ { after = 1 }' |
            sort -u >&2 || true
        outcome="${outcome:+$outcome; }$(grep -c . <<<"$skipped") skipped for want of a tool (above)"
    fi
    step_done "make test" "$start" "$outcome"

    echo "$passed passed, $failed failed"
    [ "$failed" = 0 ] || exit 1
}

# One group, read whole before it runs: a run takes half an hour, and the file may be
# edited or checked out anew meanwhile.
{
    if [ "${1:-}" = --inside ]; then
        shift
        inside "$@"
    else
        main "$@"
    fi
    exit
}
