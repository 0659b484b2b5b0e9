#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The shell completion of velmora-poster, as bash offers it after a Tab:
#   tests/batch/completion-test.sh COMPLETION_SCRIPT TOOL_FOLDER
set -uo pipefail
script=${1:?usage: $0 COMPLETION_SCRIPT TOOL_FOLDER}
export PATH="${2:?usage: $0 COMPLETION_SCRIPT TOOL_FOLDER}:$PATH"
export QT_QPA_PLATFORM=offscreen
# shellcheck source=/dev/null
source "$script"
failed=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
touch "$scratch/photo.jpg" "$scratch/other.png"

# Completes the words (the last is the one being typed) and checks the offers.
offers() {
    COMP_WORDS=("velmora-poster" "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _velmora_poster
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}
expect() {
    local want=$1
    shift
    local got
    got=$(offers "$@")
    if [ "$got" != "$want" ]; then
        echo "FAILED: velmora-poster $* <Tab>: offered '$got', expected '$want'"
        failed=1
    fi
}
expect "--rotate" --rot
expect "--glue-bottom --glue-edge --glue-lines --glue-on-poster-edge --glue-right" --glue
expect "left right" --rotate ""
expect "columns rows" --order ""
expect "" --brightness ""
expect "$scratch/other.png $scratch/photo.jpg" "$scratch/"
expect "$scratch/photo.jpg" -o "$scratch/ph"
# Every option the help names is offered for a bare dash.
all=$(offers -)
for option in --width --height --labels --assembly-sheet --scan-timeout --output --help --wait \
    --cups-timeout; do
    case " $all " in
        *" $option "*) ;;
        *) echo "FAILED: '-<Tab>' does not offer $option"; failed=1 ;;
    esac
done
[ $failed = 0 ] && echo "completion: all offers as expected"
exit $failed
