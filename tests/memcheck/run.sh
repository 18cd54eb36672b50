#!/usr/bin/env bash
# Runs the Linux program on each script here under valgrind memcheck, in a fresh copy of the
# demo's lists and messages: any memory error, definite or indirect leak, or an exit code other
# than 0 fails, and so does an event log whose reports are not the ones the script's first line
# "# expects: TAG, TAG" names.
#   tests/memcheck/run.sh PATH_TO_RINGWARD
set -euo pipefail
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
demo="$here/../../demo"
failed=0
count=0
for script in "$here"/*.script; do
    name=$(basename "$script" .script)
    work=$(mktemp -d /tmp/ringward-memcheck-XXXXXX)
    cp "$demo"/*.txt "$demo"/*.wav "$work"/
    rm -f "$work/calls.txt"
    count=$((count + 1))
    expected=$(sed -n '1s/^# expects: //p' "$script")
    if (cd "$work" && valgrind -q --error-exitcode=1 --leak-check=full \
            --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect \
            "$program" --script "$script" >out.txt 2>err.txt); then
        reports=$(sed -n 's/^Ringward: -\{0,1\}[0-9]*, \([A-Z]\{3\} [0-9]\{3\}\): .*/\1/p' \
            "$work/EventLog.txt" | paste -sd, - | sed 's/,/, /g')
        if [ "${reports:-(no report)}" = "$expected" ]; then
            echo "memcheck $name: clean, exit code 0, reports: $expected"
        else
            echo "memcheck $name: FAILED: reports \"$reports\", expected \"$expected\""
            failed=$((failed + 1))
        fi
    else
        code=$?
        echo "memcheck $name: FAILED (exit code $code)"
        cat "$work/err.txt"
        failed=$((failed + 1))
    fi
    rm -rf "$work"
done
echo "memcheck: $((count - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
