#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Whole processes on the same files, run alternately, medians: velmora-poster printing a JPEG
# poster into a PDF file against plakativ (a peer printer of posters) and against djpeg decoding
# the same file, unedited and after edits. Prints each median, the ratios, the PDF's size against the JPEG's and the peak
# memory against the decoded picture.
#
#   bench/poster-document.sh [BUILD_DIR] [RUNS]
#
# The pictures are made once, from noise-free fractal plasma, in $VELMORA_BENCH_DIR (default
# /tmp/velmora-bench). plakativ is optional; without it its columns are left out.
set -eu
build=${1:-build-bench}
runs=${2:-5}
tool="$build/batch/velmora-poster"
dir=${VELMORA_BENCH_DIR:-/tmp/velmora-bench}
mkdir -p "$dir"
[ -x "$tool" ] || { echo "no $tool: build it first (make bench)" >&2; exit 1; }
for p in djpeg cjpeg pnmcat pnmflip pamcut /usr/bin/time; do
    command -v "$p" >/dev/null || { echo "missing $p" >&2; exit 1; }
done
have_plakativ=0
command -v plakativ >/dev/null && have_plakativ=1

# 6000 x 4000 from a plasma, then 18000 x 13000 as a mirrored tiling of it.
small="$dir/6000x4000.jpg"
large="$dir/18000x13000.jpg"
if [ ! -s "$small" ]; then
    convert -size 6000x4000 plasma:fractal -quality 90 "$small"
fi
if [ ! -s "$large" ]; then
    djpeg -ppm "$small" > "$dir/a.ppm"
    pnmflip -lr "$dir/a.ppm" > "$dir/b.ppm"
    pnmcat -lr "$dir/a.ppm" "$dir/b.ppm" "$dir/a.ppm" > "$dir/row.ppm"
    pnmflip -tb "$dir/row.ppm" > "$dir/rowf.ppm"
    pnmcat -tb "$dir/row.ppm" "$dir/rowf.ppm" "$dir/row.ppm" "$dir/rowf.ppm" |
        pamcut -height 13000 | cjpeg -quality 85 > "$large"
    rm -f "$dir/a.ppm" "$dir/b.ppm" "$dir/row.ppm" "$dir/rowf.ppm"
fi

# Seconds and peak kilobytes of one run, as "SECONDS KB".
. "$(dirname "$0")/measure.sh"


# One poster of the file, unedited and after each edit in $edits (separated by "|"), all run
# alternately with plakativ and djpeg; each edit is set against the unedited poster.
bench() {
    jpeg=$1 pages=$2 label=$3 edits=$4
    : > "$dir/plakativ.t"; : > "$dir/djpeg.t"
    n=0
    for e in "" $(echo "$edits" | tr ' |' '_ '); do
        : > "$dir/v$n.t"; : > "$dir/v$n.m"; n=$((n + 1))
    done
    i=0
    while [ $i -lt "$runs" ]; do
        k=0
        for e in "" $(echo "$edits" | tr ' |' '_ '); do
            set -- $(measure "$tool" "$jpeg" $(echo "$e" | tr '_' ' ') --no-aspect-ratio \
                --width "$pages" --height "$pages" -o "$dir/v$k.pdf")
            [ "$1" != failed ] || { echo "velmora-poster failed on $jpeg $e" >&2; exit 1; }
            echo "$1" >> "$dir/v$k.t"; echo "$2" >> "$dir/v$k.m"
            k=$((k + 1))
        done
        if [ $have_plakativ = 1 ]; then
            set -- $(measure plakativ --maxpages $((pages * pages)) --pagesize A4 -o "$dir/plakativ.pdf" "$jpeg")
            [ "$1" = failed ] || echo "$1" >> "$dir/plakativ.t"
        fi
        set -- $(measure djpeg -outfile /dev/null "$jpeg")
        echo "$1" >> "$dir/djpeg.t"
        i=$((i + 1))
    done
    v=$(median < "$dir/v0.t"); d=$(median < "$dir/djpeg.t"); m=$(median < "$dir/v0.m")
    size=$(stat -c %s "$jpeg"); pdf=$(stat -c %s "$dir/v0.pdf")
    # The file's name is its size, WIDTHxHEIGHT.jpg.
    pixels=$(basename "$jpeg" .jpg | awk -Fx '{ print $1 * $2 * 3 / 1024 }')
    echo "$label, $pages x $pages pages, $runs runs, medians:"
    echo "  velmora-poster $v s, djpeg $d s: $(echo "$v $d" | awk '{ printf "%.2f", $1 / $2 }')x djpeg"
    if [ $have_plakativ = 1 ] && [ ! -s "$dir/plakativ.t" ]; then
        echo "  plakativ refused the picture"
    elif [ $have_plakativ = 1 ]; then
        p=$(median < "$dir/plakativ.t")
        echo "  plakativ $p s: velmora-poster $(echo "$v $p" | awk '{ printf "%.2f", $1 / $2 }')x plakativ"
    fi
    echo "  PDF $(echo "$pdf $size" | awk '{ printf "%.3f", $1 / $2 }')x the JPEG's size"
    echo "  peak memory $m KB: $(echo "$m $pixels" | awk '{ printf "%.2f", $1 / $2 }')x the decoded picture"
    k=1
    for e in $(echo "$edits" | tr ' |' '_ '); do
        ve=$(median < "$dir/v$k.t"); me=$(median < "$dir/v$k.m"); pe=$(stat -c %s "$dir/v$k.pdf")
        echo "  after $(echo "$e" | tr '_' ' '): $ve s, $(echo "$ve $v" | awk '{ printf "%.2f", $1 / $2 }')x unedited," \
            "$(echo "$ve $d" | awk '{ printf "%.2f", $1 / $2 }')x djpeg;" \
            "PDF $(echo "$pe $pdf" | awk '{ printf "%.3f", $1 / $2 }')x unedited;" \
            "peak memory $(echo "$me $m" | awk '{ printf "%.2f", $1 / $2 }')x unedited," \
            "$(echo "$me $pixels" | awk '{ printf "%.2f", $1 / $2 }')x the decoded picture"
        k=$((k + 1))
    done
}

bench "$small" 4 "6000 x 4000 JPEG" "--mirror|--rotate right|--brightness 10"
bench "$large" 6 "18000 x 13000 JPEG" "--rotate left|--brightness 10"
