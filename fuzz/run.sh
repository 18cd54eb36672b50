#!/usr/bin/env bash
# Runs every fuzz target for a bounded time on a scratch copy of its seed corpus and prints the
# executions of each. A crash, leak or sanitizer finding stops with the input saved in
# BUILD/artifacts/ and a non-zero exit.
#   fuzz/run.sh BUILD_DIR [SECONDS_PER_TARGET]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$build/artifacts"
passed=0
failed=0
for target in lists wave caller_id line_callback; do
    scratch="$build/corpus/$target"
    mkdir -p "$scratch"
    log="$build/fuzz_$target.log"
    if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=8192 -timeout=20 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
        "$scratch" "$here/corpus/$target" >"$log" 2>&1; then
        echo "fuzz_$target: FAILED (see $log)"
        tail -40 "$log"
        failed=$((failed + 1))
        continue
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz_$target: $runs executions in ${seconds}s, no finding"
    passed=$((passed + 1))
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
