#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole processes on the same drawings, run alternately, medians: velmora-poster printing a PDF
# page as vectors over 2 x 2 A4 sheets against pdfposter doing the same; the page opened and
# rendered (what the window shows) against pdftoppm rendering it at the same size; and a page of
# 500,000 paths over 4 x 4 sheets, its peak memory against its content stream.
#
#   bench/drawing-document.sh [BUILD_DIR] [RUNS]
#
# The drawings are made once in $VELMORA_BENCH_DIR (default /tmp/velmora-bench).
set -eu
# The tool's reports are read by their English words.
export LC_ALL=C.UTF-8
unset LANGUAGE
build=${1:-build-bench}
runs=${2:-5}
tool="$build/batch/velmora-poster"
dir=${VELMORA_BENCH_DIR:-/tmp/velmora-bench}
mkdir -p "$dir"
[ -x "$tool" ] || { echo "no $tool: build it first (make bench)" >&2; exit 1; }
for p in qpdf pdfposter pdftoppm python3 /usr/bin/time; do
    command -v "$p" >/dev/null || { echo "missing $p" >&2; exit 1; }
done

# An A4 page of PATHS random strokes and a line of text, written by hand and tidied by qpdf.
make_page() {
    paths=$1 out=$2
    [ -s "$out" ] && return
    python3 - "$paths" "$dir/raw.pdf" <<'PY'
import random, sys
paths, out = int(sys.argv[1]), sys.argv[2]
random.seed(7)
ops = []
for i in range(paths):
    x, y = random.uniform(20, 575), random.uniform(20, 822)
    ops.append("%.2f %.2f %.2f RG %.2f %.2f m %.2f %.2f l S" % (
        random.random(), random.random(), random.random(), x, y,
        x + random.uniform(-40, 40), y + random.uniform(-40, 40)))
ops.append("0 g BT /F1 48 Tf 60 420 Td (A drawing to print big) Tj ET")
content = "\n".join(ops).encode()
pdf = (b"%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
       b"2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj\n"
       b"3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] "
       b"/Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >> endobj\n"
       + ("4 0 obj << /Length " + str(len(content)) + " >> stream\n").encode() + content +
       b"\nendstream endobj\n5 0 obj << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> "
       b"endobj\ntrailer << /Root 1 0 R /Size 6 >>\n%%EOF\n")
open(out, "wb").write(pdf)
PY
    qpdf --warning-exit-0 --compress-streams=y "$dir/raw.pdf" "$out"
}
a4="$dir/drawing-a4.pdf"
huge="$dir/drawing-500000.pdf"
make_page 5000 "$a4"
make_page 500000 "$huge"

. "$(dirname "$0")/measure.sh"

: > "$dir/ours.t"; : > "$dir/theirs.t"; : > "$dir/open.t"; : > "$dir/render.t"
size=$(python3 -c "print(' '.join(open('/dev/stdin').read().split()[:2]))" <<EOF2
$("$tool" "$a4" --info | awk '/^Width|^Height/ { print $2 }')
EOF2
)
w=${size% *} h=${size#* }
i=0
while [ "$i" -lt "$runs" ]; do
    measure "$tool" "$a4" --width 2 --height 2 --no-aspect-ratio --paper A4 -o "$dir/ours.pdf" | cut -d' ' -f1 >> "$dir/ours.t"
    measure pdfposter -m a4 -p 2x2a4 "$a4" "$dir/theirs.pdf" | cut -d' ' -f1 >> "$dir/theirs.t"
    measure "$tool" "$a4" --info | cut -d' ' -f1 >> "$dir/open.t"
    measure pdftoppm -scale-to-x "$w" -scale-to-y "$h" -singlefile "$a4" "$dir/render" | cut -d' ' -f1 >> "$dir/render.t"
    i=$((i + 1))
done
ours=$(median < "$dir/ours.t") theirs=$(median < "$dir/theirs.t")
open=$(median < "$dir/open.t") render=$(median < "$dir/render.t")
src=$(stat -c %s "$a4") out=$(stat -c %s "$dir/ours.pdf")
echo "A4 drawing on 2 x 2 A4: velmora-poster ${ours} s, pdfposter ${theirs} s, ratio $(awk "BEGIN { printf \"%.2f\", $ours / $theirs }")"
echo "  PDF ${out} bytes against the source's ${src}: $(( (out - src) / 4 )) bytes a sheet more"
echo "Opened and rendered at ${w} x ${h}: ${open} s, pdftoppm ${render} s, ratio $(awk "BEGIN { printf \"%.2f\", $open / $render }")"
peak=$(measure "$tool" "$huge" --width 4 --height 4 --no-aspect-ratio --paper A4 -o "$dir/huge.pdf" | cut -d' ' -f2)
stream=$(qpdf --show-object=4 --raw-stream-data "$huge" | wc -c)
plain=$(qpdf --show-object=4 --filtered-stream-data "$huge" | wc -c)
base=$(measure "$tool" "$a4" --width 4 --height 4 --no-aspect-ratio --paper A4 -o "$dir/a4.pdf" | cut -d' ' -f2)
echo "500,000 paths on 4 x 4 sheets: peak ${peak} KB, ${base} KB for the A4 drawing; content stream $((stream / 1024)) KB packed, $((plain / 1024)) KB plain"
