#!/usr/bin/env bash
# Runs a command with a private X display for Wine's windows; exits 77 (the test is
# skipped) when no X server can be started here. The windows get a Wine prefix of their
# own: a prefix's desktop process keeps the display it first started with, and the
# other suites run without one.
command -v Xvfb >/dev/null 2>&1 || { echo "skipped: not installed: Xvfb"; exit 77; }
source "$(dirname "$0")/../../../tools/ci/xvfb_session.sh"
WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/tolvane-wine-$(id -u)}-display"
export WINEPREFIX
XVFB_WM=no xvfb_start
status=0
"$@" || status=$?
exit "$status"
