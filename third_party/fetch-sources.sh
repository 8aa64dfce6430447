#!/usr/bin/env bash
# Fetches the sources of the two picture libraries Tapestrix links statically:
# FreeImage and libjpeg-turbo, both as Debian source packages with Debian's
# patches applied (their security fixes are the reason to take them from
# there).
#
#   bash third_party/fetch-sources.sh DESTDIR
#
# leaves DESTDIR/freeimage and DESTDIR/libjpeg-turbo.  apt runs with a private
# configuration under DESTDIR (its own sources file, lists and cache), so the
# machine's apt setup is neither used nor changed.  A stamp file makes a second
# run return at once.
set -euo pipefail

FREEIMAGE_VERSION=3.18.0+ds2-9+deb12u1
LIBJPEG_TURBO_VERSION=1:2.1.5-2
KEYRING=/usr/share/keyrings/debian-archive-keyring.gpg

say() { printf '%s\n' "fetch-sources: $*" >&2; }

[ $# -eq 1 ] || { say "usage: fetch-sources.sh DESTDIR"; exit 2; }
mkdir -p "$1"
DEST=$(cd "$1" && pwd)
STAMP=$DEST/sources.stamp
WANT="freeimage $FREEIMAGE_VERSION libjpeg-turbo $LIBJPEG_TURBO_VERSION"

if [ -f "$STAMP" ] && [ "$(cat "$STAMP")" = "$WANT" ] &&
   [ -f "$DEST/freeimage/Source/FreeImage.h" ] && [ -f "$DEST/libjpeg-turbo/CMakeLists.txt" ]; then
  exit 0
fi

# ------------------------------------------------------------------ tools
need=()
command -v dpkg-source >/dev/null || need+=(dpkg-dev)
command -v nasm >/dev/null || need+=(nasm)
[ -f /usr/x86_64-w64-mingw32/lib/libz.a ] || need+=(libz-mingw-w64-dev)
[ -f "$KEYRING" ] || need+=(debian-archive-keyring)
if [ ${#need[@]} -gt 0 ]; then
  say "installing ${need[*]}"
  sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

# ------------------------------------------------------------------ private apt
APTDIR=$DEST/apt
mkdir -p "$APTDIR/lists/partial" "$APTDIR/cache/archives/partial" "$APTDIR/etc"
# FreeImage's +deb12u1 came through the security archive (and later into a
# point release); both suites are listed so either one serves it.
cat >"$APTDIR/etc/sources.list" <<EOF
deb-src [signed-by=$KEYRING] http://deb.debian.org/debian bookworm main
deb-src [signed-by=$KEYRING] http://deb.debian.org/debian-security bookworm-security main
EOF

apt_private() {
  local sandbox=()
  # As root apt would drop to the _apt user, who may not be allowed into a
  # build folder; the private lists and cache are ours anyway.
  [ "$(id -u)" -ne 0 ] || sandbox=(-o APT::Sandbox::User=root)
  apt-get -q \
    -o Dir::Etc::sourcelist="$APTDIR/etc/sources.list" \
    -o Dir::Etc::sourceparts=- \
    -o Dir::State::Lists="$APTDIR/lists" \
    -o Dir::Cache="$APTDIR/cache" \
    -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= \
    -o APT::Get::List-Cleanup=false \
    "${sandbox[@]}" "$@"
}

say "updating the private Debian source index"
apt_private update >/dev/null

# ------------------------------------------------------------------ sources
WORK=$DEST/.work
rm -rf "$WORK"
mkdir -p "$WORK"

fetch() { # source-package version final-name
  local pkg=$1 version=$2 name=$3 dir
  say "fetching $pkg $version"
  (cd "$WORK" && apt_private source --only-source "$pkg=$version" >"$WORK/$pkg.log" 2>&1) || {
    cat "$WORK/$pkg.log" >&2
    say "could not fetch $pkg $version"
    exit 1
  }
  dir=$(find "$WORK" -mindepth 1 -maxdepth 1 -type d -name "$pkg-*" | head -n 1)
  [ -n "$dir" ] || { say "$pkg: apt-get source left no source tree"; exit 1; }
  rm -rf "${DEST:?}/$name"
  mv "$dir" "$DEST/$name"
}

rm -f "$STAMP"
fetch freeimage "$FREEIMAGE_VERSION" freeimage
fetch libjpeg-turbo "$LIBJPEG_TURBO_VERSION" libjpeg-turbo
rm -rf "$WORK"
echo "$WANT" >"$STAMP"
say "sources ready in $DEST"
