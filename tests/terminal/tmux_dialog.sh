#!/usr/bin/env bash
# A person at the terminal dialog, played through tmux: start screening, watch a blocked call
# come and go, be refused the exit while screening, stop, exit. Usage: tmux_dialog.sh RINGWARD
set -euo pipefail
program=$(realpath "$1")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
socket="ringward-test-$$"
cleanup() {
    tmux -L "$socket" kill-server 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

cp "$source_dir"/demo/*.txt "$source_dir"/demo/*.wav "$work"/
cat >"$work/calls.txt" <<'CALLS'
at 3 call number="555-019-8811" name="PEST, INC" rings=4
CALLS

screen() { tmux -L "$socket" capture-pane -t dialog -p; }
keys() { tmux -L "$socket" send-keys -t dialog "$@"; }
# Waits up to 20 s for text to show on the screen.
wait_for() {
    for _ in $(seq 200); do
        # (grep -q would close the pipe early, and pipefail would count that as a miss)
        if [[ "$(screen)" == *"$1"* ]]; then return 0; fi
        sleep 0.1
    done
    echo "not on the screen: $1" >&2
    screen >&2
    exit 1
}

tmux -L "$socket" new-session -d -s dialog -x 110 -y 34 \
    "cd '$work' && '$program' --calls calls.txt; echo \"exit code \$?\" >'$work/exit'; sleep 30"
wait_for "Start screening calls"
wait_for "Line 0 (Agere Systems HDA Modem) opened"
keys s
wait_for "Stop screening calls"
wait_for "Blocked"
wait_for "Go Away.wav played"
wait_for "Call 1 released"
keys x
wait_for "Please stop screening calls first."
keys Enter
sleep 0.5
keys Escape # the dialog's Cancel is refused the same way
wait_for "Please stop screening calls first."
keys o
sleep 0.5
keys s
wait_for "Start screening calls"
keys x
for _ in $(seq 100); do
    [ -s "$work/exit" ] && break
    sleep 0.1
done
grep -qx "exit code 0" "$work/exit" || { echo "program did not end with code 0" >&2; exit 1; }
grep -q "555-019-8811,   Blocked" "$work/Calls Received.txt"
grep -q "Starting screening calls at" "$work/EventLog.txt"
echo "terminal dialog: 1 passed, 0 failed"
