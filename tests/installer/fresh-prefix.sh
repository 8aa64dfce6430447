#!/usr/bin/env bash
# Runs one Windows test program in a Wine prefix made for it alone and
# deleted afterwards, so setup meets what a user's machine has: no key of
# Tapestrix, no Active Desktop object of ours (the project's prefix has both).
#
#   fresh-prefix.sh PROGRAM SETUP_EXE
#
# The prefix gets the virtual desktop tapestrix.sh gives its own (the desktop
# that paints the wallpaper and hosts the tray).  The program finds the setup
# file in %TPX_SETUP%.  Its output goes through a file: Wine's lingering
# helpers would hold a pipe to CTest open.
set -u
prog=$1 setup=$2
here=$(cd "$(dirname "$0")" && pwd)
TPX_BUILD=${TPX_BUILD:-$(cd "$(dirname "$prog")/.." && pwd)}
. "$here/../../tools/wine-env.sh"

work=$(mktemp -d "$TPX_BUILD/installer-prefix.XXXXXX")
export WINEPREFIX=$work/prefix
# No menu entries in the host's desktop for the shortcuts setup makes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
  "$TPX_WINESERVER" -k >/dev/null 2>&1
  "$TPX_WINESERVER" -w >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

"$TPX_WINE" wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }
"$TPX_WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
"$TPX_WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
"$TPX_WINESERVER" -w

export TPX_SETUP="Z:$(printf '%s' "$setup" | tr / '\\')"
out=$work/output.txt
: >"$out"
"$TPX_WINE" "$prog" </dev/null >"$out" 2>&1 &
pid=$!
tail -s 0.1 -n +1 -f --pid=$pid "$out" &
tailer=$!
wait $pid
rc=$?
wait $tailer
exit $rc
