#!/usr/bin/env bash
# Runs a Windows program built here under wine64, in a private Wine prefix that is made
# on first use (no dialogs, no downloads), so tests never touch ~/.wine.
#   tools/wine_run.sh program.exe [args...]
# WINEPREFIX may name the prefix; the default is one per user under /tmp.
set -euo pipefail
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/tolvane-wine-$(id -u)}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installers: nothing here needs .NET or HTML.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
WINE="$(command -v wine64 || true)"
[ -n "$WINE" ] || WINE=/usr/lib/wine/wine64
[ -x "$WINE" ] || WINE="$(command -v wine)"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  # Tests start in parallel: one of them makes the prefix, the others wait for it.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    DISPLAY= "$WINE" wineboot --init >/dev/null 2>&1 || true
    "${WINE%64}server" -w 2>/dev/null || wineserver -w 2>/dev/null || true
  fi
  flock -u 9
fi
exec "$WINE" "$@"
