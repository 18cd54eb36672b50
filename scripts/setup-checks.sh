#!/usr/bin/env bash
# Installs what the fuzz targets and the memory checks need besides the build tools, when it is
# missing: clang with its sanitizer and libFuzzer run-time libraries, and valgrind.
# As root it uses apt-get directly; otherwise sudo, when there is one.
set -euo pipefail

packages=(clang libclang-rt-14-dev valgrind)
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
