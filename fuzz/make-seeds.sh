#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes a small seed picture of every type that OpenDib reads, with netpbm, ImageMagick and
# perl, and the files that once got past the checks before decoding.
# Usage: fuzz/make-seeds.sh [folder]   (default: fuzz-corpus beside this script's folder)
set -eu
out=${1:-$(dirname "$0")/../fuzz-corpus}
mkdir -p "$out"
cd "$out"

src=seed-src.ppm
convert -size 12x9 plasma:fractal -depth 8 "$src"
convert "$src" -colors 2 -type palette bmp3:bmp-1bit.bmp
convert "$src" -colors 16 -type palette bmp3:bmp-4bit.bmp
convert "$src" -colors 200 -type palette -compress RLE bmp3:bmp-rle8.bmp
convert "$src" bmp3:bmp-24bit.bmp
convert "$src" -colors 64 -type palette tga-mapped.tga
convert "$src" -colors 64 -type palette -compress RLE tga-mapped-rle.tga
convert "$src" -compress RLE tga-rle.tga
convert "$src" tga-true.tga
ppmtoilbm <"$src" >ilbm.lbm 2>/dev/null
ppmtoilbm -24force <"$src" >ilbm-24.lbm 2>/dev/null
convert "$src" pcx-24.pcx
convert "$src" -colors 16 -type palette pcx-8.pcx
convert "$src" -colors 32 gif.gif
convert "$src" -quality 80 jpeg.jpg
convert "$src" -colorspace Gray -quality 80 jpeg-grey.jpg
convert "$src" -interlace JPEG jpeg-progressive.jpg
convert "$src" -orient RightTop -quality 80 jpeg-exif-orientation.jpg
# Colour profiles as cameras and editors embed them (Ghostscript's, from libgs-common).
icc=/usr/share/color/icc/ghostscript
if [ -d "$icc" ]; then
  convert "$src" -profile "$icc/a98.icc" -quality 80 jpeg-icc.jpg
  convert "$src" -colorspace Gray -profile "$icc/sgray.icc" -quality 80 jpeg-grey-icc.jpg
  convert "$src" -colorspace CMYK -profile "$icc/ps_cmyk.icc" -quality 80 jpeg-cmyk-icc.jpg
  convert "$src" -profile "$icc/a98.icc" png-icc.png
  convert "$src" -profile "$icc/a98.icc" tiff-icc.tif
fi
convert "$src" png-24.png
convert "$src" -depth 16 png-48.png
convert "$src" -alpha set -channel A -evaluate set 50% png-alpha.png
convert "$src" -colorspace Gray png-grey.png
convert "$src" -colors 8 png8:png-palette.png
convert "$src" -compress LZW tiff-lzw.tif
convert "$src" -depth 16 tiff-16.tif
convert "$src" -colors 16 -type palette tiff-palette.tif
ppmtopgm <"$src" >pgm.pgm
cp "$src" ppm.ppm
pnmtoplainpnm <"$src" >ppm-plain.ppm 2>/dev/null || true
convert "$src" xpm.xpm
convert "$src" webp.webp 2>/dev/null || true
# A headerless DIB: the bitmap header straight away, as the clipboard holds it.
tail -c +15 bmp-4bit.bmp >dib-headerless.dib

# Files that perl writes byte by byte: little-endian words (v), longs (V) and signed longs (l).
bmp_header() { # file size, pixel offset, width, height, bits, compression, data size, colours
  perl -e 'print pack("A2 V v v V V l l v v V V l l V V", "BM", $ARGV[0], 0, 0, $ARGV[1], 40,
                      @ARGV[2..3], 1, @ARGV[4..6], 0, 0, $ARGV[7], 0)' "$@"
}

# Run-length 4-bit BMP, which ImageMagick does not write: 4 x 2 pixels, two runs a row.
{ bmp_header 126 118 4 2 4 2 8 16
  perl -e 'print pack("V16", 0x102030, 0x405060, 0x708090, 0xA0B0C0), pack("C8", 4, 1, 0, 0, 4,
                      0x23, 0, 1)'; } >bmp-rle4.bmp

# Files that claim far more than they hold, each once decoded or allocated in full:
# TGA headers behind the signatures of other types (22 bytes for 12554 x 14642 pixels, 316 and
# 30 bytes behind "BM"),
tga_behind() { # signature, width, height, file size
  perl -e 'my $h = $ARGV[0] . "\n" . ("\0" x (11 - length $ARGV[0])) . pack("v v C", @ARGV[1..2], 24);
           print $h, "\0" x ($ARGV[3] - length $h)' "$@"
}
tga_behind P6 12554 14642 22 >claims-tga-behind-pnm.ppm
tga_behind BM 17664 56797 316 >claims-tga-behind-bmp.bmp
tga_behind BM 16384 16384 30 >claims-tga-behind-short-bmp.bmp
# a small progressive JPEG whose frame claims 16384 x 16384 pixels,
convert -size 16x16 plasma:fractal -interlace JPEG jpg:- |
  perl -0777 -pe 's/\xFF\xC2(..)(.)..../\xFF\xC2$1$2\x40\x00\x40\x00/s' >claims-jpeg-progressive.jpg
# a TIFF of 126 bytes whose one LZW strip stands for 32768 x 32768 grey pixels,
perl -e 'my @e = ([256, 4, 32768], [257, 4, 32768], [258, 3, 8], [259, 3, 5], [262, 3, 1],
                  [273, 4, 122], [277, 3, 1], [278, 4, 32768], [279, 4, 4]);
         print "II*\0", pack("V v", 8, scalar @e), (map { pack("v v V V", $_->[0], $_->[1], 1,
               $_->[2]) } @e), pack("V", 0), pack("C4", 0x80, 0x00, 0x40, 0x20)' >claims-tiff-lzw.tif
# and a legal run-length BMP of 1080 bytes for 16384 x 16384 pixels, all of them left out.
{ bmp_header 1080 1078 16384 16384 8 1 2 256
  perl -e 'print "\0" x 1024, pack("C2", 0, 1)'; } >claims-bmp-rle8-empty.bmp

# A run-length TGA cut short, once decoded with the rest of its pixels black.
head -c 200 tga-rle.tga >cut-tga-rle.tga

rm -f "$src"
ls | wc -l
