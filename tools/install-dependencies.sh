#!/usr/bin/env bash
# Installs everything the build, the tests, the demo and the benchmarks need, from Debian's archive.
# Prints one line when something is missing; the package manager's output goes to
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

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if [ "${#missing[@]}" -eq 0 ]; then
    exit 0
fi

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
mkdir -p build/logs
log=build/logs/install-dependencies.log
echo "installing ${#missing[@]} packages from Debian's archive (a few minutes on a fresh machine; log: $log)"
install() {
    # The 32-bit Windows build runs under 32-bit Wine, which Debian ships for the i386 architecture.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo[@]}" dpkg --add-architecture i386
    fi
    "${sudo[@]}" apt-get update
    "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}
if ! install >"$log" 2>&1; then
    tail -n 20 "$log" >&2
    echo "installing the dependencies failed; the package manager's whole output is in $log" >&2
    exit 1
fi
