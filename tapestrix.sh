#!/usr/bin/env bash
# Tapestrix on Linux: build with mingw-w64, run and test under Wine.
#
#   ./tapestrix.sh run                 build and start Tapestrix in the Wine desktop
#   ./tapestrix.sh test                build and run every test but the soak (CTest through Wine)
#   ./tapestrix.sh soak                the long run: ten minutes of changes (TPX_SOAK_SECONDS)
#   ./tapestrix.sh wine PROGRAM [ARGS] run a Windows program in the project's prefix
#   ./tapestrix.sh shot FILE.png       screenshot of the project's Wine desktop
#   ./tapestrix.sh package             build/dist/Tapestrix-<version>-setup.exe (NSIS)
#   ./tapestrix.sh build | setup | stop
#
# Everything lives under build/ (TAPESTRIX_BUILD overrides): the CMake tree,
# build/bin with the programs, the third-party sources, the Wine prefix and
# the private Xvfb's display number.  Every step is idempotent.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
TPX_BUILD=${TAPESTRIX_BUILD:-$ROOT/build}
mkdir -p "$TPX_BUILD"
TPX_BUILD=$(cd "$TPX_BUILD" && pwd)
export TPX_BUILD
# The screen and the virtual desktop, WIDTHxHEIGHT; TPX_SCREEN gives
# another (a larger one for pictures of the sheet at more DPI).
DESKTOP_SIZE=${TPX_SCREEN:-1024x768}
case $DESKTOP_SIZE in
  [1-9]*x[1-9]*) ;;
  *) echo "tapestrix.sh: TPX_SCREEN must be WIDTHxHEIGHT, not '$DESKTOP_SIZE'" >&2; exit 2 ;;
esac
PREFIX_VERSION=2

say() { printf '%s\n' "tapestrix: $*" >&2; }

# ---------------------------------------------------------------- packages
PACKAGES=(cmake ninja-build nasm dpkg-dev patch xz-utils
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
          mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 libz-mingw-w64-dev
          googletest wine wine64 xvfb x11-apps x11-utils imagemagick
          fp-utils p7zip-full nsis zzuf python3 fonts-wine fonts-liberation2)

install_packages() {
  local missing=() p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "installing ${missing[*]}"
  local sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# ---------------------------------------------------------------- display
display_alive() { xdpyinfo -display "$1" >/dev/null 2>&1; }

ensure_display() {
  if [ -n "${DISPLAY:-}" ] && display_alive "$DISPLAY"; then return 0; fi
  local f=$TPX_BUILD/xvfb.display
  if [ -f "$f" ] && display_alive "$(cat "$f")"; then
    # Reused only at the size asked for; one of another size is ended.
    if xdpyinfo -display "$(cat "$f")" | grep "dimensions: *${DESKTOP_SIZE} pixels" >/dev/null; then
      DISPLAY=$(cat "$f"); export DISPLAY; return 0
    fi
    local old i
    old=$(cat "$TPX_BUILD/xvfb.pid" 2>/dev/null)
    if [ -n "$old" ] && kill "$old" 2>/dev/null; then
      for i in $(seq 1 50); do kill -0 "$old" 2>/dev/null || break; sleep 0.1; done
    fi
  fi
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  setsid nohup Xvfb ":$n" -screen 0 "${DESKTOP_SIZE}x24" -nolisten tcp >"$TPX_BUILD/xvfb.log" 2>&1 </dev/null &
  echo $! >"$TPX_BUILD/xvfb.pid"
  local i
  for i in $(seq 1 150); do display_alive ":$n" && break; sleep 0.1; done
  display_alive ":$n" || { say "Xvfb did not start (see $TPX_BUILD/xvfb.log)"; exit 1; }
  echo ":$n" >"$f"
  DISPLAY=":$n"; export DISPLAY
  say "private Xvfb on $DISPLAY"
}

# ---------------------------------------------------------------- Wine prefix
wine_env() { . "$ROOT/tools/wine-env.sh"; }

ensure_prefix() {
  wine_env
  local mark=$WINEPREFIX/.tapestrix-prefix
  if [ "$(cat "$mark" 2>/dev/null)" != "$PREFIX_VERSION" ]; then
    say "creating Wine prefix $WINEPREFIX"
    "$TPX_WINE" wineboot -i >/dev/null 2>&1 || true
    # One virtual desktop for every program of the prefix: it paints the
    # wallpaper and hosts the notification area, as the shell would.
    "$TPX_WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    "$TPX_WINESERVER" -w
    echo "$PREFIX_VERSION" >"$mark"
  fi
  # The desktop's size, when it is not the one the prefix last had: its
  # programs end, so the next one opens the desktop at the new size.
  local sized=$WINEPREFIX/.tapestrix-desktop
  if [ "$(cat "$sized" 2>/dev/null)" != "$DESKTOP_SIZE" ]; then
    "$TPX_WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$DESKTOP_SIZE" /f >/dev/null 2>&1
    "$TPX_WINESERVER" -k 2>/dev/null || true
    "$TPX_WINESERVER" -w
    echo "$DESKTOP_SIZE" >"$sized"
  fi
  # Windows draw their caption buttons with Marlett.  Debian ships it in
  # fonts-wine, but this Wine does not load it from there: without it the
  # close box shows a letter "r".
  local fonts=$WINEPREFIX/drive_c/windows/Fonts
  if [ -f /usr/share/wine/fonts/marlett.ttf ] && [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
  fi
  # Windows users see Arial (and its serif and fixed siblings) with their own
  # metrics; Liberation's faces share those metrics, so pages, tests and
  # screenshots lay out here as they do there.  Set every time: a prefix
  # made before the mapping gets it too.
  local face
  for face in "Arial=Liberation Sans" "Times New Roman=Liberation Serif" "Courier New=Liberation Mono"; do
    "$TPX_WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${face%%=*}" /d "${face#*=}" /f >/dev/null 2>&1
  done
  # One long-lived wineserver, so each test process starts quickly.
  "$TPX_WINESERVER" -p 120 </dev/null >/dev/null 2>&1 || true
}

# wineboot -u and friends undo the class registration, so it is applied
# again every time the prefix is prepared.
register_provider() {
  local dll=$TPX_BUILD/bin/tpxactivedesktop.dll
  [ -f "$dll" ] || return 0
  "$TPX_WINE" regsvr32 /s "$dll" >/dev/null 2>&1 || { say "registering $dll failed"; return 1; }
}

# ---------------------------------------------------------------- build
third_party() {
  bash "$ROOT/third_party/fetch-sources.sh" "$TPX_BUILD/third_party"
}

build() {
  install_packages
  third_party
  if [ ! -f "$TPX_BUILD/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$TPX_BUILD" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DTPX_THIRD_PARTY_DIR="$TPX_BUILD/third_party" >/dev/null
  fi
  cmake --build "$TPX_BUILD" -j "$(nproc)"
}

setup() { install_packages; ensure_display; ensure_prefix; }

# ---------------------------------------------------------------- commands
cmd_test() {
  build
  setup
  register_provider
  local rc=0
  # The soak runs for minutes: only `soak` runs it.
  (cd "$TPX_BUILD" && ctest --output-on-failure --timeout 600 -LE soak "$@") || rc=$?
  return $rc
}

cmd_soak() {
  build
  setup
  register_provider
  local rc=0
  (cd "$TPX_BUILD" && ctest --output-on-failure -V -L soak "$@") || rc=$?
  return $rc
}

cmd_run() {
  build
  setup
  register_provider
  if [ -x "$ROOT/tools/demo-defaults.sh" ]; then "$ROOT/tools/demo-defaults.sh"; fi
  local exe=$TPX_BUILD/bin/Tapestrix.exe
  # Detached from our output, so `./tapestrix.sh run | tail` returns.
  (cd "$TPX_BUILD/bin" && exec setsid nohup "$TPX_WINE" explorer "/desktop=Default,$DESKTOP_SIZE" "$exe") \
      >"$TPX_BUILD/run.log" 2>&1 </dev/null &
  say "started Tapestrix in the Wine desktop on $DISPLAY"
  say "screenshot: ./tapestrix.sh shot shot.png   stop: ./tapestrix.sh stop"
}

cmd_wine() {
  [ $# -ge 1 ] || { say "usage: tapestrix.sh wine PROGRAM [ARGS...]"; exit 2; }
  setup
  register_provider
  "$TPX_WINE" "$@"
}

cmd_shot() {
  [ $# -eq 1 ] || { say "usage: tapestrix.sh shot FILE.png"; exit 2; }
  ensure_display
  local convert=convert; [ -x /usr/bin/convert ] && convert=/usr/bin/convert
  xwd -root -silent -display "$DISPLAY" | "$convert" xwd:- "$1"
  say "wrote $1"
}

cmd_stop() { wine_env; "$TPX_WINESERVER" -k 2>/dev/null || true; }

# The setup program is made after everything else, so it packs whatever
# build/bin holds then.  A setup without the help file would answer Help
# Topics with "Unable to launch help file" on every user's machine: none is made.
cmd_package() {
  build
  if [ ! -s "$TPX_BUILD/bin/Tapestrix.chm" ]; then
    say "no setup made: the help file $TPX_BUILD/bin/Tapestrix.chm was not built (it needs chmcmd, from Debian's fp-utils)"
    exit 1
  fi
  cmake --build "$TPX_BUILD" --target tpx_installer
  say "wrote $(sed -n 's/^TPX_SETUP_EXE:INTERNAL=//p' "$TPX_BUILD/CMakeCache.txt")"
}

case "${1:-}" in
  test)  shift; cmd_test "$@" ;;
  soak)  shift; cmd_soak "$@" ;;
  run)   shift; cmd_run "$@" ;;
  wine)  shift; cmd_wine "$@" ;;
  shot)  shift; cmd_shot "$@" ;;
  package) shift; cmd_package ;;
  build) shift; build ;;
  setup) shift; setup ;;
  stop)  shift; cmd_stop ;;
  *) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
