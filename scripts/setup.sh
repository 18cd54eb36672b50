#!/usr/bin/env bash
# Installs the Debian packages that a purpose needs, when they are missing:
#   scripts/setup.sh demo     building and running the program
#   scripts/setup.sh test     everything .ci/run runs: the suites, Wine, memcheck and fuzzing
#   scripts/setup.sh suite    the test suites (GoogleTest, the cross compiler, the formatter, tmux)
#   scripts/setup.sh checks   memcheck and fuzzing (valgrind, clang and its sanitizer run-times)
#   scripts/setup.sh wine     the Wine end-to-end tests (Wine with its 32-bit half, an X server...)
#   scripts/setup.sh bench    the benchmarks (Google Benchmark)
#   scripts/setup.sh dist     the Windows packages (the cross compiler, NSIS, 7-Zip)
# As root it uses apt-get directly; otherwise sudo, when there is one.
set -euo pipefail

demo=(cmake make g++ libncurses-dev)
suite=(googletest libgtest-dev g++-mingw-w64-i686 mingw-w64-tools clang-format tmux)
checks=(clang libclang-rt-14-dev valgrind)
# The 64-bit cross compiler too, for machines whose kernel cannot run 32-bit code.
wine=(wine wine64 wine32:i386 fonts-wine fonts-liberation xvfb xdotool imagemagick sox python3
      g++-mingw-w64-x86-64)
bench=(libbenchmark-dev)
dist=(g++-mingw-w64-i686 mingw-w64-tools nsis p7zip-full python3)

packages=("${demo[@]}")
case "${1:-demo}" in
demo) ;;
suite) packages+=("${suite[@]}") ;;
checks) packages+=("${checks[@]}") ;;
wine) packages+=("${suite[@]}" "${wine[@]}" "${dist[@]}") ;;
bench) packages+=("${bench[@]}") ;;
dist) packages+=("${dist[@]}") ;;
test) packages+=("${suite[@]}" "${checks[@]}" "${wine[@]}" "${bench[@]}" "${dist[@]}") ;;
*)
    echo "usage: scripts/setup.sh demo|test|suite|checks|wine|bench|dist" >&2
    exit 2
    ;;
esac

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
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
    ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386
fi
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
