#!/usr/bin/env bash
# Prepares the prefix the way an installer would, for `tapestrix.sh run`:
# the application key, a sample wallpaper folder and a converted-bitmap path.
# Values that exist already are left alone.  Runs inside tapestrix.sh's
# environment (TPX_BUILD, WINEPREFIX, TPX_WINE).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
: "${TPX_BUILD:?}" "${TPX_WINE:?}"

root="$WINEPREFIX/drive_c/Tapestrix"
"$here/make-samples.sh" "$root/Wallpapers"

key='HKCU\Software\Brindlecourt\Tapestrix'
default() {  # default NAME TYPE DATA
  "$TPX_WINE" reg query "$key" /v "$1" >/dev/null 2>&1 ||
    "$TPX_WINE" reg add "$key" /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1
}
default WallpaperFolder   REG_SZ    'C:\Tapestrix\Wallpapers'
default ConvertedBmpPath  REG_SZ    'C:\Tapestrix\Converted.bmp'
default MinimizeOnStartup REG_DWORD 1
default ConvertToBmp      REG_DWORD 1
default Selection         REG_DWORD 2
