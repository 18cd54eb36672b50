#!/usr/bin/env bash
# Installs the Debian packages that a purpose needs, when they are missing:
#   scripts/setup.sh demo    what building and running the program needs
#   scripts/setup.sh test    what every test needs besides (cross compiler, formatter, tmux...)
#   scripts/setup.sh bench   what the benchmarks need besides (Google Benchmark)
# As root it uses apt-get directly; otherwise sudo, when there is one.
set -euo pipefail

demo_packages=(cmake make g++ libncurses-dev)
test_packages=(googletest libgtest-dev g++-mingw-w64-i686 mingw-w64-tools clang-format tmux)
bench_packages=(libbenchmark-dev)

packages=("${demo_packages[@]}")
if [ "${1:-demo}" = test ]; then
    packages+=("${test_packages[@]}")
elif [ "${1:-demo}" = bench ]; then
    packages+=("${bench_packages[@]}")
fi

missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "Please install these Debian packages as root: ${missing[*]}" >&2
        exit 1
    fi
    as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
