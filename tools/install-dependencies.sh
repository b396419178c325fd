#!/usr/bin/env bash
# Installs everything the build, the tests, the demo and the benchmarks need, from Debian's archive.
# Prints one line per installation step; the package manager's output goes to
# build/logs/install-dependencies.log, whose end is shown when the installation fails.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake ninja-build g++ pkg-config
    googletest libbenchmark-dev
    libicu-dev
    clang-format clang-tidy
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64 wine32:i386
    e2fsprogs zip unzip osslsigncode openssl icoutils strace
    wixl msitools
    python3 dpkg-dev
    clang libclang-rt-14-dev
)

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
mkdir -p build/logs
log=build/logs/install-dependencies.log

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# Runs "$@" with its output in the log; on failure shows the log's end and stops.
logged() {
    local what=$1
    shift
    if ! "$@" >>"$log" 2>&1; then
        tail -n 20 "$log" >&2
        echo "$what failed; the package manager's whole output is in $log" >&2
        exit 1
    fi
}

install_packages() {
    # The 32-bit Windows build runs under 32-bit Wine, which Debian ships for the i386 architecture.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo[@]}" dpkg --add-architecture i386
    fi
    # A mirror caught mid-sync can serve one index stale (seen with the security suite's i386
    # list). The amd64 side then prefers security versions whose i386 twins it cannot see, and
    # multi-arch libraries must match exactly; the second try prefers the main suite's versions,
    # which both architectures list.
    "${sudo[@]}" apt-get update || true
    "${sudo[@]}" apt-get install -y --no-install-recommends "$@" && return
    local preferences
    preferences=$(mktemp)
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' >"$preferences"
    "${sudo[@]}" apt-get -o "Dir::Etc::Preferences=$preferences" install -y \
        --no-install-recommends "$@"
    local status=$?
    rm -f "$preferences"
    return $status
}

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "installing ${#missing[@]} packages from Debian's archive (a few minutes on a fresh machine; log: $log)"
    logged "installing the dependencies" install_packages "${missing[@]}"
fi

# A kernel with IA-32 emulation switched off runs no 32-bit program, 32-bit Wine included; there
# qemu's user-mode emulator runs the i386 Wine loader (tests/windows/bin/wine). Bookworm's qemu
# 7.2 needs close to a minute of processor time per process start, so it comes from
# bookworm-backports, named in a source list of this command's own: no other package moves to
# backports, and no binfmt handler is registered (qemu-user-binfmt is only recommended).
install_qemu() {
    local backports status
    backports=$(mktemp)
    echo "deb http://deb.debian.org/debian bookworm-backports main" >"$backports"
    "${sudo[@]}" apt-get -o "Dir::Etc::SourceList=$backports" update || true
    "${sudo[@]}" apt-get -o "Dir::Etc::SourceList=$backports" install -y --no-install-recommends \
        -t bookworm-backports qemu-user
    status=$?
    rm -f "$backports"
    return $status
}
if [ "$(bash tests/windows/host_runs_32bit.sh --native 2>/dev/null)" = "cannot run" ] &&
    ! qemu-i386 --version 2>/dev/null | grep -qE "version ([89]|[1-9][0-9])\."; then
    echo "installing qemu-user from bookworm-backports: 32-bit Wine runs under qemu-i386 on this host"
    logged "installing qemu-user" install_qemu
fi
