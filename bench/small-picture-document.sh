#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# A 640 x 480 photo printed a metre wide on A4 sheets of a 600 dpi PDF file: in blocks, smooth
# and as a 10 mm dot screen. Whole processes run alternately, medians: the time and size of each
# document; for the smooth one, the largest step between neighbouring pixels inside the picture
# and across the seam of the first two sheets, rasterised by poppler and by Ghostscript; for the
# dot screen, the ink on the first sheet against the picture's darkness under it.
#
#   bench/small-picture-document.sh [BUILD_DIR] [RUNS]
set -eu
# The tool's reports are read by their English words.
export LC_ALL=C.UTF-8
unset LANGUAGE
build=${1:-build-bench}
runs=${2:-3}
tool="$build/batch/velmora-poster"
dir=${VELMORA_BENCH_DIR:-/tmp/velmora-bench}
mkdir -p "$dir"
[ -x "$tool" ] || { echo "no $tool: build it first (make bench)" >&2; exit 1; }
for p in convert pdftoppm gs python3 /usr/bin/time; do
    command -v "$p" >/dev/null || { echo "missing $p" >&2; exit 1; }
done

# A photo's worth of smooth shading: a radial gradient under a diagonal one. Another picture
# may be given, e.g. a thumbnail whose blocks show: VELMORA_BENCH_PHOTO=thumb.png.
photo=${VELMORA_BENCH_PHOTO:-$dir/small-photo.jpg}
[ -s "$photo" ] || convert -size 640x480 radial-gradient:white-navy \
    \( -size 640x480 gradient:orange-none -rotate 0 \) -compose multiply -composite \
    -quality 92 "$photo"

. "$(dirname "$0")/measure.sh"

common="$photo --width 1m --resolution 600 --no-cut-lines"
: > "$dir/blocks.times"
: > "$dir/smooth.times"
: > "$dir/dots.times"
i=0
while [ "$i" -lt "$runs" ]; do
    measure $tool $common -o "$dir/blocks.pdf" | cut -d' ' -f1 >> "$dir/blocks.times"
    measure $tool $common --smooth -o "$dir/smooth.pdf" | cut -d' ' -f1 >> "$dir/smooth.times"
    measure $tool $common --dots 10mm -o "$dir/dots.pdf" | cut -d' ' -f1 >> "$dir/dots.times"
    i=$((i + 1))
done
blocks=$(median < "$dir/blocks.times")
smooth=$(median < "$dir/smooth.times")
dots=$(median < "$dir/dots.times")
size() { stat -c %s "$1"; }
echo "blocks: ${blocks} s, $(size "$dir/blocks.pdf") bytes"
echo "smooth: ${smooth} s ($(echo "$smooth $blocks" | awk '{ printf "%.2f", $1 / $2 }')x blocks), $(size "$dir/smooth.pdf") bytes"
echo "dots:   ${dots} s, $(size "$dir/dots.pdf") bytes"

# The top left sheet and the one to its right, in grey at 150 dpi by both renderers; the print
# order says which pages they are.
order=$($tool $common --dry-run | sed -n 's/^Print order: //p')
page_of() { echo "$order" | tr ' ' '\n' | grep -n -x "$1" | cut -d: -f1; }
left=$(page_of 0,0)
right=$(page_of 1,0)
rm -f "$dir"/*-poppler-*.pgm "$dir"/*-gs-*.pgm
for doc in blocks smooth; do
    for page in "$left" "$right"; do
        pdftoppm -r 150 -gray -f "$page" -l "$page" -singlefile "$dir/$doc.pdf" \
            "$dir/$doc-poppler-$page"
        gs -q -dNOPAUSE -dBATCH -sDEVICE=pgmraw -r150 -dFirstPage="$page" -dLastPage="$page" \
            -sOutputFile="$dir/$doc-gs-$page.pgm" "$dir/$doc.pdf"
    done
done
export VELMORA_LEFT_SHEET="$left" VELMORA_RIGHT_SHEET="$right"
pdftoppm -r 100 -gray -f 1 -l 1 -singlefile "$dir/dots.pdf" "$dir/dots-sheet"
pdftoppm -r 100 -gray -f 1 -l 1 -singlefile "$dir/blocks.pdf" "$dir/blocks-sheet"

python3 - "$dir" <<'PY'
import sys
d = sys.argv[1]

def pgm(path):
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    w, h = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:]
    return w, h, [pixels[y * w:(y + 1) * w] for y in range(h)]

def picture_run(row):
    # The picture's pixels along a row: those darker than the paper, less one at each end.
    xs = [x for x, v in enumerate(row) if v < 250]
    return (xs[0] + 1, xs[-1] - 1) if len(xs) > 2 else None

def steps(first, second):
    w1, h1, a = pgm(first)
    w2, h2, b = pgm(second)
    largest, seam = 0, 0
    for y in range(h1 // 8, h1 // 2, 7):
        ra, rb = picture_run(a[y]), picture_run(b[y])
        if not ra or not rb:
            continue
        for row, (x0, x1) in ((a[y], ra), (b[y], rb)):
            largest = max(largest, max(abs(row[x + 1] - row[x]) for x in range(x0, x1)))
        seam = max(seam, abs(a[y][ra[1]] - b[y][rb[0]]))
    return largest, seam

import os
left, right = os.environ["VELMORA_LEFT_SHEET"], os.environ["VELMORA_RIGHT_SHEET"]
for doc in ("blocks", "smooth"):
    for renderer in ("poppler", "gs"):
        largest, seam = steps("%s/%s-%s-%s.pgm" % (d, doc, renderer, left),
                              "%s/%s-%s-%s.pgm" % (d, doc, renderer, right))
        print("%s by %s: largest step %d of 255 inside the sheets, %d across the seam" %
              (doc, renderer, largest, seam))

w, h, blocks = pgm(d + "/blocks-sheet.pgm")
_, _, dots = pgm(d + "/dots-sheet.pgm")
covered = [(x, y) for y in range(0, h, 2) for x in range(0, w, 2) if blocks[y][x] < 250]
dark = sum(1 - blocks[y][x] / 255 for x, y in covered) / len(covered)
inked = sum(1 - dots[y][x] / 255 for x, y in covered) / len(covered)
print("dots: ink %.3f of the first sheet's picture area, the picture's darkness there %.3f" %
      (inked, dark))
PY
