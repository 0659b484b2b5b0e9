#!/bin/sh
# Makes a small seed picture of every type that OpenDib reads, with netpbm and ImageMagick.
# Usage: fuzz/make-seeds.sh [folder]   (default: fuzz-corpus beside this script's folder)
set -eu
out=${1:-$(dirname "$0")/../fuzz-corpus}
mkdir -p "$out"
cd "$out"

src=seed-src.ppm
convert -size 12x9 plasma:fractal -depth 8 "$src"
convert "$src" -colors 2 -type palette bmp3:bmp-1bit.bmp
convert "$src" -colors 16 -type palette bmp3:bmp-4bit.bmp
convert "$src" -colors 16 -type palette -compress RLE bmp3:bmp-rle4.bmp
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
rm -f "$src"
ls | wc -l
