#!/usr/bin/env bash
# The Windows installer made by `make windows`, run under wine64 in a Wine prefix of its
# own: a silent install must put tolvane.exe in Program Files with a Start-menu
# shortcut, and the uninstaller must take them away again.
#   tools/windows_installer_check.sh build-win/tolvane-<version>-win64.exe
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
installer=$(realpath "${1:?usage: windows_installer_check.sh path/to/installer.exe}")
WINEPREFIX=$(mktemp -d)/wine
export WINEPREFIX
server=$(ls /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver /usr/bin/wineserver 2>/dev/null | head -1)
trap '"$server" -k 2>/dev/null || true; rm -rf "$(dirname "$WINEPREFIX")"' EXIT

folder="$WINEPREFIX/drive_c/Program Files/Tolvane"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tolvane/Tolvane.lnk"
"$here/wine_run.sh" "$installer" /S
"$server" -w
[ -f "$folder/tolvane.exe" ] || { echo "FAILED: the installer left no $folder/tolvane.exe"; exit 1; }
[ -f "$shortcut" ] || { echo "FAILED: the installer made no Start-menu shortcut"; exit 1; }
# The uninstaller copies itself away and runs from there; the server ends with it.
"$here/wine_run.sh" "C:\\Program Files\\Tolvane\\Uninstall.exe" /S
"$server" -w
for _ in $(seq 50); do [ -e "$folder/tolvane.exe" ] || break; sleep 0.2; done
[ ! -e "$folder/tolvane.exe" ] || { echo "FAILED: the uninstaller left tolvane.exe behind"; exit 1; }
[ ! -e "$shortcut" ] || { echo "FAILED: the uninstaller left the Start-menu shortcut"; exit 1; }
echo "installer check passed: installed to Program Files with a Start-menu shortcut, and uninstalled"
