#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every test program whole, as one process, once in order and then three times shuffled,
# so that no test depends on the ones CTest happens to run before it, or on running alone.
# Usage: tests/run-whole.sh BUILD_DIR
set -uo pipefail
build=${1:?usage: $0 BUILD_DIR}
export QT_QPA_PLATFORM=offscreen
failed=0
for program in "$build"/tests/*/*_tests; do
    [ -x "$program" ] || continue
    name=$(basename "$program")
    seed=$(( (RANDOM << 15 | RANDOM) % 99999 + 1 ))
    for args in "" "--gtest_shuffle --gtest_repeat=3 --gtest_random_seed=$seed"; do
        log=$(mktemp)
        # shellcheck disable=SC2086
        if (cd "$(dirname "$program")" && timeout 900 "./$name" $args) > "$log" 2>&1; then
            echo "passed: $name $args"
        else
            echo "FAILED: $name $args (status $?)"
            grep -A8 -E 'Failure$' "$log" | head -60
            tail -20 "$log"
            failed=1
        fi
        rm -f "$log"
    done
done
exit $failed
