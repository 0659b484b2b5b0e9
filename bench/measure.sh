# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the document benchmarks, once $dir is set: one whole process timed, and the median
# of a column of numbers.

# "SECONDS PEAK_KB" of the command, or "failed 0".
measure() {
    if /usr/bin/time -f "%e %M" -o "$dir/time.txt" "$@" > /dev/null 2>&1; then
        tail -n 1 "$dir/time.txt"
    else
        echo "failed 0"
    fi
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
