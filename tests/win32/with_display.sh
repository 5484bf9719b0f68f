#!/bin/sh
# Runs a command with a private X display for Wine's windows; exits 77 (the test is
# skipped) when no X server can be started here.
command -v xvfb-run >/dev/null 2>&1 || exit 77
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$@"
