#!/usr/bin/env bash
# Every test: installs what the tests need, checks the formatting, then builds and runs the
# suites (plain, with the sanitizers, the Windows compile).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
make test
