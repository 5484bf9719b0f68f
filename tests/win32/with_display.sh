#!/bin/sh
# Runs a command with a private X display for Wine's windows; exits 77 (the test is
# skipped) when no X server can be started here. The windows get a Wine prefix of their
# own: a prefix's desktop process keeps the display it first started with, and the
# other suites run without one.
command -v xvfb-run >/dev/null 2>&1 || exit 77
WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/tolvane-wine-$(id -u)}-display"
export WINEPREFIX
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$@"
