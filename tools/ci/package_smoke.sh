#!/usr/bin/env bash
# Checks the Debian package as a user would meet it: lintian finds no errors, it
# installs with apt-get, `tolvane` starts from the PATH and shows its window under
# Xvfb, closes cleanly on SIGTERM (saving its settings), and removing the package takes
# the program away again. Needs root (or sudo) for apt-get.
#   tools/ci/package_smoke.sh [build-release/tolvane_<version>_amd64.deb]
source "$(dirname "$0")/../strict.sh"
here=$(cd "$(dirname "$0")" && pwd)
deb=${1:-$(ls "$here"/../../build-release/tolvane_*_amd64.deb 2>/dev/null | head -1 || true)}
[ -f "$deb" ] || { echo "package smoke check: no package found; run make package first." >&2; exit 1; }
deb=$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")
SUDO=()
[ "$(id -u)" = 0 ] || SUDO=(sudo)
apt=("${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 -y -qq --no-install-recommends)

fail() {
    echo "package smoke check: $*" >&2
    exit 1
}

echo "lintian $(basename "$deb")"
lintian --fail-on error "$deb" 2>/dev/null || fail "lintian reports errors"

scratch=$(mktemp -d)
installed=""
cleanup() {
    xvfb_stop
    [ -z "$installed" ] || "${apt[@]}" remove tolvane >/dev/null 2>&1 || echo "package smoke check: could not remove tolvane" >&2
    rm -rf "$scratch"
}
source "$here/xvfb_session.sh"
trap cleanup EXIT

installed=yes  # a failed install may still leave something to remove
log=$("${apt[@]}" install "$deb" 2>&1) || fail "apt-get install failed: $log"
[ -x /usr/bin/tolvane ] || fail "/usr/bin/tolvane is missing after the install"
appstreamcli validate --no-net /usr/share/metainfo/*.Tolvane.metainfo.xml >/dev/null || fail "metainfo invalid"
desktop-file-validate /usr/share/applications/tolvane.desktop || fail "desktop entry invalid"

xvfb_start
trap cleanup EXIT  # xvfb_start sets its own
mkdir -m 700 "$scratch/config" "$scratch/runtime"
XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/runtime" tolvane &
APP_PID=$!
[ -n "$(wait_window "Tolvane 1.2")" ] || fail "no window titled \"Tolvane 1.2\" appeared"
kill -TERM "$APP_PID" 2>/dev/null || fail "tolvane ended by itself before it was sent SIGTERM"
status=0
wait "$APP_PID" || status=$?
APP_PID=""
[ "$status" = 0 ] || fail "tolvane ended with $status on SIGTERM"
[ -s "$scratch/config/tolvane/tolvan.ini" ] || fail "no settings saved on SIGTERM"

"${apt[@]}" remove tolvane >/dev/null
installed=""
[ ! -e /usr/bin/tolvane ] || fail "/usr/bin/tolvane is still there after the removal"
echo "package smoke check: installed, started, closed and removed $(basename "$deb")"
