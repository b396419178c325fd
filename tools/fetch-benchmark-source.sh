#!/usr/bin/env bash
# Unpacks Debian's source package of Google Benchmark into build/third_party/benchmark, for the
# Windows build of the benchmarks (natively the binary package libbenchmark-dev is used). Only
# Debian's archive is reachable from the build machines, hence its source package.
set -euo pipefail
cd "$(dirname "$0")/.."

destination=build/third_party/benchmark
if [ -f "$destination/CMakeLists.txt" ]; then
    exit 0
fi

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive

# dpkg-source, which unpacks the package, comes with dpkg-dev.
dpkg-query -W -f='${Status}' dpkg-dev 2>/dev/null | grep -q "install ok installed" ||
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends dpkg-dev

sources=/etc/apt/sources.list.d/quenmoor-debian-source.sources
if [ ! -f "$sources" ]; then
    "${sudo[@]}" tee "$sources" >/dev/null <<'LIST'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
LIST
    "${sudo[@]}" apt-get update -qq
fi

work=$(mktemp -d build/third_party.XXXXXX)
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get source -qq benchmark >/dev/null 2>&1)
unpacked=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'benchmark-*' | head -n 1)
[ -n "$unpacked" ] || { echo "apt-get source benchmark unpacked nothing" >&2; exit 1; }
mkdir -p "$(dirname "$destination")"
mv "$unpacked" "$destination"
