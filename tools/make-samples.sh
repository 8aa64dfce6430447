#!/usr/bin/env bash
# Draws the sample wallpaper folder that `tapestrix.sh run` gives a new prefix:
# bitmaps, JPEGs and GIFs of our own (gradients and seeded plasma, so the
# pictures are the same on every machine), some in sub-folders.
#   tools/make-samples.sh DEST
set -euo pipefail
dest=$1
im=convert; [ -x /usr/bin/convert ] && im=/usr/bin/convert
mkdir -p "$dest/Autumn" "$dest/Night"
draw() {  # draw FILE [TYPE:] SOURCE OPTIONS...
  local file=$1 type=$2; shift 2
  [ -f "$dest/$file" ] || "$im" -size 1024x768 "$@" -strip "$type$dest/$file"
}
# Version 3 bitmaps (BITMAPINFOHEADER), the form every desktop reads.
draw "01 Dawn.bmp"            BMP3: gradient:'#ff9a3c-#6a1b9a' -type TrueColor
draw "02 Lagoon.jpg"          ""    gradient:'#00c9a7-#1e3c72' -quality 90
draw "03 Meadow.gif"          ""    radial-gradient:'#c5e86c-#2e7d32' -colors 64
draw "Autumn/04 Ember.jpg"    ""    -seed 7 plasma:'#ff5722-#4e1a00' -blur 0x2 -quality 90
draw "Autumn/05 Rust.bmp"     BMP3: gradient:'#f4d03f-#b7410e' -type TrueColor
draw "Night/06 Starlight.gif" ""    -seed 3 plasma:'#0d1b2a-#415a77' -colors 64
[ -f "$dest/readme.txt" ] || printf 'Sample wallpapers drawn by tools/make-samples.sh\r\n' >"$dest/readme.txt"
