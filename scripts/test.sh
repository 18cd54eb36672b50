#!/usr/bin/env bash
# Every test, as CI runs it: installs what the tests need, checks the formatting, runs the suites
# (plain, with the sanitizers, the Windows build), the real Windows program under Wine, the
# scripted runs under valgrind memcheck, and each fuzz target for about a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh test
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
make test
make dist # the Windows packages; it checks what each holds
make test-wine
make memcheck
make fuzz
