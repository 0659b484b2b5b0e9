#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The tool's start against a plain Qt Gui program's, run alternately: each sample is ten starts
# in a row (velmora-poster --version, and a program that makes a QGuiApplication and ends), the
# medians of the samples and their ratio printed.
#
#   bench/tool-start.sh [BUILD_DIR] [RUNS]
set -eu
build=${1:-build-bench}
runs=${2:-9}
tool="$build/batch/velmora-poster"
dir=${VELMORA_BENCH_DIR:-/tmp/velmora-bench}
mkdir -p "$dir"
[ -x "$tool" ] || { echo "no $tool: build it first (make bench)" >&2; exit 1; }
. "$(dirname "$0")/measure.sh"

plain="$dir/plain-qt-gui"
if [ ! -x "$plain" ]; then
    printf '%s\n' '#include <QGuiApplication>' \
        'int main(int argc, char** argv) { QGuiApplication app(argc, argv); return 0; }' |
        g++ -x c++ -std=c++20 -fPIC - $(pkg-config --cflags --libs Qt6Gui) -o "$plain"
fi

# Milliseconds for ten starts of the command.
ten() {
    start=$(date +%s%N)
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        QT_QPA_PLATFORM=offscreen "$@" > /dev/null 2>&1
    done
    echo $((($(date +%s%N) - start) / 1000000))
}

: > "$dir/start-tool.t"; : > "$dir/start-plain.t"
i=0
while [ $i -lt "$runs" ]; do
    ten "$tool" --version >> "$dir/start-tool.t"
    ten "$plain" >> "$dir/start-plain.t"
    i=$((i + 1))
done
t=$(median < "$dir/start-tool.t"); p=$(median < "$dir/start-plain.t")
echo "start, $runs samples of ten, medians per start:"
echo "  velmora-poster --version $(echo "$t" | awk '{ printf "%.1f", $1 / 10 }') ms," \
    "plain Qt Gui program $(echo "$p" | awk '{ printf "%.1f", $1 / 10 }') ms:" \
    "$(echo "$t $p" | awk '{ printf "%.2f", $1 / $2 }')x"
echo "  libraries loaded: velmora-poster $(ldd "$tool" | wc -l), plain Qt Gui program $(ldd "$plain" | wc -l)"
