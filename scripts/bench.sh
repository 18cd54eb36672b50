#!/usr/bin/env bash
# Every benchmark: installs what the build and Google Benchmark need, builds in release mode in
# build-bench/ and runs them all (arguments go to Google Benchmark).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh bench # make itself, on a bare machine
make bench BENCH_FLAGS="$(printf "%q " "$@")"
