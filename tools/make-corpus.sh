#!/usr/bin/env bash
# Makes the picture corpus of the hardening tests: what a folder nobody
# checked holds.  ImageMagick draws the seed pictures; zzuf flips their bits
# with fixed seeds; the rest is cut, bent or made by hand below.  The result
# depends only on this script and the tools, so it is made once per build
# folder and reused while the script is unchanged.
#
#   tools/make-corpus.sh OUTDIR
#
# Every file's name says what it is; the expected verdicts belong to the test.
set -euo pipefail

OUT=${1:?usage: make-corpus.sh OUTDIR}
STAMP=$OUT/.made-by
ME=$(sha1sum "${BASH_SOURCE[0]}" | cut -d' ' -f1)
if [ "$(cat "$STAMP" 2>/dev/null)" = "$ME" ]; then exit 0; fi

CONVERT=convert; [ -x /usr/bin/convert ] && CONVERT=/usr/bin/convert
rm -rf "$OUT"
mkdir -p "$OUT"
S=$OUT/.seeds
mkdir -p "$S"

# ---------------------------------------------------------------- seeds
# Four quarters (red, green, blue, yellow) so any decoded result can be seen.
quarters=( -size 48x32 xc:red -size 48x32 xc:lime +append
           \( -size 48x32 xc:blue -size 48x32 xc:yellow +append \) -append )
"$CONVERT" "${quarters[@]}" -quality 90 "$S/base.jpg"
"$CONVERT" "${quarters[@]}" -interlace Plane -quality 80 "$S/progressive.jpg"
"$CONVERT" "${quarters[@]}" -colorspace Gray "$S/gray.jpg"
"$CONVERT" "${quarters[@]}" "$S/base.gif"
"$CONVERT" -delay 10 \( "${quarters[@]}" \) \( "${quarters[@]}" -flip \) -loop 0 "$S/anim.gif"
"$CONVERT" "${quarters[@]}" -type TrueColor "BMP3:$S/rgb24.bmp"
"$CONVERT" "${quarters[@]}" -type Palette -colors 4 "BMP3:$S/pal8.bmp"
"$CONVERT" "${quarters[@]}" -type Palette -colors 4 -compress RLE "BMP3:$S/rle8.bmp"
"$CONVERT" "${quarters[@]}" -type TrueColorAlpha "BMP:$S/argb32.bmp"
SEEDS=(base.jpg progressive.jpg gray.jpg base.gif anim.gif rgb24.bmp pal8.bmp rle8.bmp argb32.bmp)

ext() { printf '%s' "${1##*.}"; }
stem() { printf '%s' "${1%.*}"; }

# ---------------------------------------------------------------- bit flips
# 20 mutations of each seed, at two densities; zzuf's seed fixes each one.
for seed in "${SEEDS[@]}"; do
  for n in $(seq 1 20); do
    ratio=0.004; [ "$n" -gt 10 ] && ratio=0.03
    zzuf -s "$n" -r "$ratio" <"$S/$seed" >"$OUT/flip-$(stem "$seed")-$n.$(ext "$seed")"
  done
done
# Flips only in the headers: the first 64 bytes, where sizes and offsets live.
for seed in "${SEEDS[@]}"; do
  for n in $(seq 1 6); do
    zzuf -s "$((100 + n))" -r 0.05 -b 0-64 <"$S/$seed" >"$OUT/headflip-$(stem "$seed")-$n.$(ext "$seed")"
  done
done

# ---------------------------------------------------------------- cuts
for seed in "${SEEDS[@]}"; do
  size=$(stat -c %s "$S/$seed")
  for cut in 1 2 6 10 14 20 30 54 60 100; do
    [ "$cut" -lt "$size" ] && head -c "$cut" "$S/$seed" >"$OUT/cut$cut-$seed"
  done
  for percent in 25 50 75 90 99; do
    head -c $((size * percent / 100)) "$S/$seed" >"$OUT/cutpct$percent-$seed"
  done
done

# ---------------------------------------------------------------- bent headers and hand-made files
/usr/bin/python3 - "$S" "$OUT" <<'EOF'
import struct, sys, os
seeds, out = sys.argv[1], sys.argv[2]
def read(name): return bytearray(open(os.path.join(seeds, name), 'rb').read())
def write(name, data): open(os.path.join(out, name), 'wb').write(bytes(data))
def put(data, at, fmt, *values):
    data = bytearray(data); struct.pack_into(fmt, data, at, *values); return data

# JPEG: the frame header's height and width, the quantisation and Huffman
# tables, the scan header.
for seed in ('base.jpg', 'progressive.jpg', 'gray.jpg'):
    j = read(seed)
    sof = next(i for i in range(len(j) - 1) if j[i] == 0xFF and j[i + 1] in (0xC0, 0xC1, 0xC2))
    sos = j.index(b'\xFF\xDA')
    dqt = j.index(b'\xFF\xDB')
    dht = j.index(b'\xFF\xC4')
    s = seed[:-4]
    write('claims65535-%s.jpg' % s, put(j, sof + 5, '>HH', 65535, 65535))
    write('zerosize-%s.jpg' % s, put(j, sof + 5, '>HH', 0, 0))
    write('widthonly-%s.jpg' % s, put(j, sof + 7, '>H', 65000))
    write('badprecision-%s.jpg' % s, put(j, sof + 4, '>B', 12))
    write('components9-%s.jpg' % s, put(j, sof + 9, '>B', 9))
    write('seglen0-%s.jpg' % s, put(j, sof + 2, '>H', 0))
    write('seglenhuge-%s.jpg' % s, put(j, sof + 2, '>H', 0xFFFF))
    write('dqtlen-%s.jpg' % s, put(j, dqt + 2, '>H', 0xFFF0))
    write('dhtcounts-%s.jpg' % s, j[:dht + 5] + b'\xFF' * 16 + j[dht + 21:])
    write('sosbad-%s.jpg' % s, put(j, sos + 4, '>B', 7))
    write('noeoi-%s.jpg' % s, j[:-2])
    write('twosoi-%s.jpg' % s, j[:2] + j)
    write('onlyheaders-%s.jpg' % s, j[:sos + 14] + b'\xFF\xD9')

# A real JPEG of 20000 x 20000 grey pixels, written by hand: every 8 x 8
# block is "DC difference 0, end of block" in the standard tables (6 bits),
# so 6.25 million blocks take under 5 MB.
def big_jpeg(width, height):
    dc_bits = bytes([0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]); dc_vals = bytes(range(12))
    ac_bits = bytes([0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D])
    ac_vals = bytes.fromhex(
        '01020300041105122131410613516107227114328191a1082342b1c11552d1f02433627282090a161718191a25262728292a3435'
        '363738393a434445464748494a535455565758595a636465666768696a737475767778797a838485868788898a92939495969798'
        '999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4'
        'f5f6f7f8f9fa')
    seg = lambda marker, body: b'\xFF' + bytes([marker]) + struct.pack('>H', len(body) + 2) + body
    blocks = ((width + 7) // 8) * ((height + 7) // 8)
    # Left-over blocks are padded with one bits, as the standard asks.
    data = b'\x28\xA2\x8A' * (blocks // 4) + [b'', b'\x2B', b'\x28\xAF', b'\x28\xA2\xBF'][blocks % 4]
    return (b'\xFF\xD8' + seg(0xDB, b'\x00' + b'\x01' * 64) +
            seg(0xC0, struct.pack('>BHHB', 8, height, width, 1) + b'\x01\x11\x00') +
            seg(0xC4, b'\x00' + dc_bits + dc_vals) + seg(0xC4, b'\x10' + ac_bits + ac_vals) +
            seg(0xDA, b'\x01\x01\x00\x00\x3F\x00') + data + b'\xFF\xD9')
write('real-20000x20000.jpg', big_jpeg(20000, 20000))
write('real-4000x3000.jpg', big_jpeg(4000, 3000))

# GIF: logical screen, image descriptor, colour table flags, LZW code size.
for seed in ('base.gif', 'anim.gif'):
    g = read(seed)
    image = g.index(b'\x2C\x00\x00\x00\x00')
    s = seed[:-4]
    write('hugescreen-%s.gif' % s, put(g, 6, '<HH', 65535, 65535))
    write('hugeimage-%s.gif' % s, put(g, image + 5, '<HH', 65535, 65535))
    write('zeroimage-%s.gif' % s, put(g, image + 5, '<HH', 0, 0))
    write('outside-%s.gif' % s, put(g, image + 1, '<HH', 60000, 60000))
    write('lzw0-%s.gif' % s, put(g, image + 10 + (3 << ((g[image + 9] & 7) + 1) if g[image + 9] & 0x80 else image + 10), '<B', 0))
    write('lzw15-%s.gif' % s, put(g, image + 10 + (3 << ((g[image + 9] & 7) + 1) if g[image + 9] & 0x80 else image + 10), '<B', 15))
    write('notable-%s.gif' % s, put(g, 10, '<B', g[10] & 0x7F))
    write('bigtable-%s.gif' % s, put(g, 10, '<B', g[10] | 0x87))
    write('notrailer-%s.gif' % s, g[:-1])
    write('onlyheader-%s.gif' % s, g[:13])

# BMP: heights and widths, palettes, offsets, sizes, RLE streams.
def bmp_cases(seed, s):
    b = read(seed)
    off = struct.unpack_from('<I', b, 10)[0]
    cases = {
        'neg-height': put(b, 22, '<i', -struct.unpack_from('<i', b, 22)[0]),
        'height-min': put(b, 22, '<i', -2**31),
        'height-absurd': put(b, 22, '<i', 2**31 - 1),
        'height-1e6': put(b, 22, '<i', 1000000),
        'width-neg': put(b, 18, '<i', -64),
        'width-absurd': put(b, 18, '<i', 0x7FFFFFFF),
        'zero-size': put(b, 18, '<ii', 0, 0),
        'clrused-past-end': put(b, 46, '<I', 0x00FFFFFF),
        'clrused-300': put(b, 46, '<I', 300),
        'offbits-past-end': put(b, 10, '<I', 0x7FFFFFF0),
        'offbits-zero': put(b, 10, '<I', 0),
        'offbits-inside-header': put(b, 10, '<I', 20),
        'headersize-huge': put(b, 14, '<I', 0xFFFFFFFF),
        'headersize-zero': put(b, 14, '<I', 0),
        'bitcount-7': put(b, 28, '<H', 7),
        'bitcount-zero': put(b, 28, '<H', 0),
        'planes-9': put(b, 26, '<H', 9),
        'compression-jpeg': put(b, 30, '<I', 4),
        'compression-png': put(b, 30, '<I', 5),
        'compression-bogus': put(b, 30, '<I', 77),
        'sizeimage-huge': put(b, 34, '<I', 0xFFFFFFFF),
        'filesize-lies': put(b, 2, '<I', 12),
        'no-pixels': b[:off],
    }
    for name, data in cases.items():
        write('%s-%s.bmp' % (name, s), data)
for seed in ('rgb24.bmp', 'pal8.bmp', 'rle8.bmp', 'argb32.bmp'):
    bmp_cases(seed, seed[:-4])

# RLE runs past the bitmap: a run longer than a row, deltas past the image,
# an absolute block past the stream, no end of bitmap.
r = read('rle8.bmp')
off = struct.unpack_from('<I', r, 10)[0]
head = r[:off]
def rle(name, stream):
    data = put(head + stream, 34, '<I', len(stream))
    write('rle-%s.bmp' % name, put(data, 2, '<I', len(data)))
rle('run-past-row', b'\xFF\x01' * 40 + b'\x00\x01')
rle('run-past-height', (b'\x60\x01\x00\x00') * 200 + b'\x00\x01')
rle('delta-past-width', b'\x00\x02\xFF\x00' + b'\x00\x01')
rle('delta-past-height', b'\x00\x02\x00\xFF' + b'\x00\x01')
rle('absolute-past-stream', b'\x00\xFF\x01\x02')
rle('absolute-past-row', b'\x00\xFE' + b'\x01' * 254 + b'\x00\x01')
rle('no-end', b'\x10\x01' * 3)
rle('only-end-of-line', b'\x00\x00' * 5000)
rle('empty', b'')

# A bitmap whose palette count runs past the end of a short file.
p = read('pal8.bmp')
write('palette-past-end.bmp', put(p[:54 + 16], 46, '<I', 256))
# A text file named as a picture, and files of nothing but zeros or 0xFF.
for e in ('jpg', 'gif', 'bmp'):
    write('text.%s' % e, b'This is not a picture at all.\r\nJust some words in a file.\r\n' * 20)
    write('zeros.%s' % e, bytes(4096))
    write('ones.%s' % e, b'\xFF' * 4096)
    write('empty.%s' % e, b'')
    write('only-magic.%s' % e, {'jpg': b'\xFF\xD8', 'gif': b'GIF89a', 'bmp': b'BM'}[e])
# A picture of one kind under another kind's name.
write('jpeg-named.gif', read('base.jpg'))
write('gif-named.bmp', read('base.gif'))
write('bmp-named.jpg', read('rgb24.bmp'))
EOF

# A folder named like a picture.
mkdir -p "$OUT/x.bmp" "$OUT/folder.jpg" "$OUT/folder.gif"
# The sound seeds themselves, as the control group.
for seed in "${SEEDS[@]}"; do cp "$S/$seed" "$OUT/seed-$seed"; done
rm -rf "$S"
echo "$ME" >"$STAMP"
echo "corpus: $(find "$OUT" -mindepth 1 -maxdepth 1 | wc -l) entries in $OUT" >&2
