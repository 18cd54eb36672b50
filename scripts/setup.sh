#!/usr/bin/env bash
# Installs the Debian packages that a purpose needs, when they are missing:
#   scripts/setup.sh demo     building and running the program
#   scripts/setup.sh test     everything .ci/run runs: the suites, Wine, memcheck and fuzzing
#   scripts/setup.sh suite    the test suites (GoogleTest, the cross compiler, the formatter, tmux)
#   scripts/setup.sh checks   memcheck and fuzzing (valgrind, clang and its sanitizer run-times)
#   scripts/setup.sh wine     the Wine end-to-end tests (Wine, an X server...)
#   scripts/setup.sh bench    the benchmarks (Google Benchmark)
#   scripts/setup.sh dist     the Windows packages (the cross compiler, NSIS, 7-Zip)
# As root it uses apt-get directly; otherwise sudo, when there is one.
#
# A package mirror has bad days (an index in the middle of a sync, a package that cannot be
# resolved for hours), so each apt-get step is tried a few times, a failed update is not the
# end (the lists already there serve), and what cannot be installed in one go is installed one by
# one. The 32-bit half of Wine (wine32:i386) is optional: without it the Wine tests run the
# 64-bit build. RINGWARD_WITHOUT_WINE32=1 takes that road on purpose (it is not installed, and
# the Wine tests act as if it were missing).
set -uo pipefail

demo=(cmake make g++ libncurses-dev)
suite=(googletest libgtest-dev g++-mingw-w64-i686 mingw-w64-tools clang-format tmux)
checks=(clang libclang-rt-14-dev valgrind)
# The 64-bit cross compiler too, for machines that cannot run 32-bit Windows programs; and the
# 32-bit C library, to tell a kernel without 32-bit support from a missing or broken wine32.
wine=(wine wine64 fonts-wine fonts-liberation xvfb xdotool imagemagick sox python3
      g++-mingw-w64-x86-64 gcc-multilib)
wine32=wine32:i386
bench=(libbenchmark-dev)
dist=(g++-mingw-w64-i686 mingw-w64-tools nsis p7zip-full python3)

attempts=3
pauses=(5 15) # seconds before the second and the third attempt

packages=("${demo[@]}")
optional=()
case "${1:-demo}" in
demo) ;;
suite) packages+=("${suite[@]}") ;;
checks) packages+=("${checks[@]}") ;;
wine)
    packages+=("${suite[@]}" "${wine[@]}" "${dist[@]}")
    optional+=("$wine32")
    ;;
bench) packages+=("${bench[@]}") ;;
dist) packages+=("${dist[@]}") ;;
test)
    packages+=("${suite[@]}" "${checks[@]}" "${wine[@]}" "${bench[@]}" "${dist[@]}")
    optional+=("$wine32")
    ;;
*)
    echo "usage: scripts/setup.sh demo|test|suite|checks|wine|bench|dist" >&2
    exit 2
    ;;
esac
if [ "${RINGWARD_WITHOUT_WINE32:-}" = 1 ]; then
    optional=()
fi

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done
missing_optional=()
for p in "${optional[@]}"; do
    installed "$p" || missing_optional+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "Please install these Debian packages as root: ${missing[*]} ${missing_optional[*]}" >&2
        exit 1
    fi
    as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
apt=("${as_root[@]}" apt-get -q -o Acquire::Retries=3 -o DPkg::Lock::Timeout=300)

# What apt-get says when trying again cannot help: the package is not there at all.
permanent='Unable to locate package|has no installation candidate|is not available'

# Runs an apt-get command up to $attempts times, pausing between the attempts, unless it fails
# for good; its last status. Its output goes to standard error.
retry() {
    local attempt status output
    output=$(mktemp)
    for ((attempt = 1; ; attempt++)); do
        "$@" 2>&1 | tee "$output" >&2
        status=${PIPESTATUS[0]}
        if [ "$status" -eq 0 ] || [ "$attempt" -ge "$attempts" ] ||
            grep -Eq "$permanent" "$output"; then
            rm -f "$output"
            return "$status"
        fi
        echo "setup: apt-get failed (status $status); trying again in ${pauses[attempt - 1]} s" >&2
        sleep "${pauses[attempt - 1]}"
    done
}

update() {
    retry "${apt[@]}" -qq "$@" update ||
        echo "setup: apt-get update failed; going on with the package lists there are" >&2
}

# Installs the packages given, all at once or else one by one; prints those that would not.
install() {
    local extra=() failed=() p
    while [ "$1" != "--" ]; do
        extra+=("$1")
        shift
    done
    shift
    if retry "${apt[@]}" "${extra[@]}" install -y --no-install-recommends "$@"; then
        return 0
    fi
    if [ $# -eq 1 ]; then
        echo "$1"
        return 1
    fi
    for p in "$@"; do
        installed "$p" && continue
        retry "${apt[@]}" "${extra[@]}" install -y --no-install-recommends "$p" || failed+=("$p")
    done
    echo "${failed[@]}"
    [ ${#failed[@]} -eq 0 ]
}

# The distribution's own suites only (no security suite), from the machine's main mirror: an
# index of the security suite in the middle of a sync has kept wine32:i386 out of reach for
# hours while these installed it.
plain_sources() {
    local dir=$1 mirror codename
    mirror=$(awk '/^URIs:/ && $2 !~ /security/ {print $2; exit}' \
        /etc/apt/sources.list.d/*.sources 2>/dev/null)
    [ -n "$mirror" ] || mirror=$(awk '$1 == "deb" && $0 !~ /security/ {
            for (i = 2; i <= NF; i++) if ($i ~ /^https?:/) {print $i; exit}}' \
        /etc/apt/sources.list 2>/dev/null)
    [ -n "$mirror" ] || mirror=http://deb.debian.org/debian
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    cat >"$dir/plain.sources" <<EOF
Types: deb
URIs: $mirror
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
}

status=0
if [ ${#missing_optional[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386
fi
update
if [ ${#missing[@]} -gt 0 ]; then
    if ! failed=$(install -- "${missing[@]}"); then
        echo "setup: these packages could not be installed: $failed" >&2
        status=1
    fi
fi
if [ ${#missing_optional[@]} -gt 0 ] && ! install -- "${missing_optional[@]}" >/dev/null; then
    echo "setup: ${missing_optional[*]} did not install; trying the distribution's own suites" >&2
    plain=$(mktemp -d)
    plain_sources "$plain"
    chmod 755 "$plain" && chmod 644 "$plain/plain.sources"
    only_plain=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$plain")
    update "${only_plain[@]}"
    if ! install "${only_plain[@]}" -- "${missing_optional[@]}" >/dev/null; then
        echo "setup: ${missing_optional[*]} could not be installed: the Wine tests will run" \
            "the 64-bit build" >&2
    fi
    rm -rf "$plain"
    # The usual lists again, for whatever comes next (they may still fail today).
    "${apt[@]}" update >/dev/null 2>&1
fi
exit "$status"
