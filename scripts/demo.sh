#!/usr/bin/env bash
# The demo: installs what the build needs, builds the program and starts it in demo-run/, a copy
# of demo/ with example lists and messages, with a stream of simulated calls.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh demo
make demo
