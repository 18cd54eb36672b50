#!/usr/bin/env bash
# Installs, when missing, the Debian packages that the Wine end-to-end tests need: Wine (with
# its 32-bit half, for the 32-bit program), Wine's fonts, an X server, xdotool, ImageMagick and
# sox, and the 64-bit cross compiler for machines that cannot run 32-bit code.
set -euo pipefail

packages=(wine wine64 wine32:i386 fonts-wine fonts-liberation xvfb xdotool imagemagick sox
          python3 cmake g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools)
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
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386
fi
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
