#!/usr/bin/env bash
# The Windows installer made by `make windows`, run under wine64 in a Wine prefix of its
# own: a silent install must put tolvane.exe in Program Files with a Start-menu
# shortcut, and the uninstaller must take them away again.
#   tools/ci/windows_installer_check.sh build-win/tolvane-<version>-win64.exe
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../strict.sh"
fail() {
    echo "installer check: FAILED: $*" >&2
    exit 1
}
[ -f "${1:-}" ] || fail "no installer at '${1:-}' (usage: windows_installer_check.sh path/to/installer.exe)"
installer=$(realpath "$1")
WINEPREFIX=$(mktemp -d)/wine
export WINEPREFIX
trap '"$here/wine_run.sh" --server -k 2>/dev/null || true; rm -rf "$(dirname "$WINEPREFIX")"' EXIT

folder="$WINEPREFIX/drive_c/Program Files/Tolvane"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tolvane/Tolvane.lnk"
"$here/wine_run.sh" "$installer" /S || fail "the installer ended with exit status $?"
"$here/wine_run.sh" --server -w
[ -f "$folder/tolvane.exe" ] || fail "the installer left no $folder/tolvane.exe"
[ -f "$shortcut" ] || fail "the installer made no Start-menu shortcut"
# The uninstaller copies itself away and runs from there; the server ends with it.
"$here/wine_run.sh" "C:\\Program Files\\Tolvane\\Uninstall.exe" /S || fail "the uninstaller ended with exit status $?"
"$here/wine_run.sh" --server -w
for _ in $(seq 50); do [ -e "$folder/tolvane.exe" ] || break; sleep 0.2; done
[ ! -e "$folder/tolvane.exe" ] || fail "the uninstaller left tolvane.exe behind"
[ ! -e "$shortcut" ] || fail "the uninstaller left the Start-menu shortcut"
echo "installer check passed: installed to Program Files with a Start-menu shortcut, and uninstalled"
