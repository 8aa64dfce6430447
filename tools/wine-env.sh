# Sourced by tapestrix.sh and tools/wine-exec: the project's private Wine
# environment for one build folder.  Expects TPX_BUILD to be set.
: "${TPX_BUILD:?}"
export WINEPREFIX="$TPX_BUILD/wineprefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs: the program needs neither.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win64
if [ -x /usr/lib/wine/wine64 ]; then TPX_WINE=/usr/lib/wine/wine64; else TPX_WINE=wine; fi
if [ -x /usr/lib/wine/wineserver64 ]; then TPX_WINESERVER=/usr/lib/wine/wineserver64; else TPX_WINESERVER=wineserver; fi
export TPX_WINE TPX_WINESERVER
# The display: the caller's own, or the private Xvfb that tapestrix.sh keeps.
if [ -z "${DISPLAY:-}" ] && [ -f "$TPX_BUILD/xvfb.display" ]; then
  DISPLAY=$(cat "$TPX_BUILD/xvfb.display"); export DISPLAY
fi
