#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a program on a private X server whose windows openbox manages, as on a user's desktop:
#   tests/desktop/with-openbox.sh PROGRAM [ARGS...]
# The server picks a free display; both end with the program, whose status is the result.
set -eu
for p in Xvfb openbox xprop; do
    command -v "$p" >/dev/null || { echo "with-openbox: $p is missing (make deps)" >&2; exit 1; }
done
scratch=$(mktemp -d)
server=""
manager=""
finish() {
    [ -z "$manager" ] || kill "$manager" 2>/dev/null || true
    [ -z "$server" ] || kill "$server" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap finish EXIT INT TERM

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
server=$!
i=0
while [ ! -s "$scratch/display" ]; do
    i=$((i + 1))
    [ $i -lt 100 ] || { echo "with-openbox: Xvfb did not start" >&2; cat "$scratch/xvfb.log" >&2; exit 1; }
    sleep 0.1
done
DISPLAY=:$(head -n 1 "$scratch/display")
export DISPLAY
# Its own home, so that no user's settings change how it manages windows.
HOME="$scratch" XDG_CONFIG_HOME="$scratch" openbox --sm-disable 2>"$scratch/openbox.log" &
manager=$!
i=0
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    i=$((i + 1))
    [ $i -lt 100 ] || { echo "with-openbox: openbox did not start" >&2; cat "$scratch/openbox.log" >&2; exit 1; }
    sleep 0.1
done
QT_QPA_PLATFORM=xcb "$@"
