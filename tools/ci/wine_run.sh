#!/usr/bin/env bash
# Runs a Windows program built here under wine64, in a private Wine prefix that is made
# on first use (no dialogs, no downloads), so tests never touch ~/.wine.
#   tools/ci/wine_run.sh program.exe [args...]
#   tools/ci/wine_run.sh --server [-k | -w | -p]   the prefix's Wine server (kill, wait, persist)
# WINEPREFIX may name the prefix; the default is one per user under /tmp.
source "$(dirname "$0")/../strict.sh"
export WINEPREFIX="${WINEPREFIX:-${TMPDIR:-/tmp}/tolvane-wine-$(id -u)}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installers: nothing here needs .NET or HTML.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

first_executable() {  # prints the first of its arguments that can be run
    local candidate
    for candidate; do [ -x "$candidate" ] && { echo "$candidate"; return; }; done
    return 1
}
# The loader and its server. Debian's wine64 package puts both in /usr/lib/wine, and
# only the wine package adds the commands on the PATH.
wine=$(first_executable /usr/lib/wine/wine64 "$(command -v wine64)" "$(command -v wine)") ||
    { echo "wine_run.sh: Wine is not installed (the wine64 package provides it)" >&2; exit 1; }
server=$(first_executable "${wine%/*}/wineserver64" "${wine%/*}/wineserver" "$(command -v wineserver)") ||
    { echo "wine_run.sh: no Wine server beside $wine" >&2; exit 1; }
if [ "${1:-}" = --server ]; then
    shift
    exec "$server" "$@"
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  # Tests start in parallel: one of them makes the prefix, the others wait for it.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    DISPLAY= "$wine" wineboot --init >/dev/null 2>&1 || true
    "$server" -w || true
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wine_run.sh: wineboot could not make the Wine prefix $WINEPREFIX" >&2; exit 1; }
  fi
  flock -u 9
fi
exec "$wine" "$@"
