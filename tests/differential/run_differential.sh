#!/usr/bin/env bash
# Runs one seeded batch of random profile reads and writes through our POSIX layer, checking that
# every write changes only the bytes it must, and, given a Windows driver, through kernel32 under
# Wine too, then compares the two result files line by line.
#
# Usage: run_differential.sh NATIVE-BUILD-DIR WORK-DIR SEED COUNT [WINE WINDOWS-DRIVER]
#
# The native twin is (re)built in NATIVE-BUILD-DIR (a configured native build of this project)
# first, so it always matches the sources.
set -euo pipefail

if [ $# -ne 4 ] && [ $# -ne 6 ]; then
    echo "usage: $0 NATIVE-BUILD-DIR WORK-DIR SEED COUNT [WINE WINDOWS-DRIVER]" >&2
    exit 2
fi
native_build=$1 work=$2 seed=$3 count=$4

if [ ! -f "$native_build/CMakeCache.txt" ]; then
    echo "no configured native build in $native_build" >&2
    exit 1
fi
cmake --build "$native_build" --target profile_driver >/dev/null
native="$native_build/tests/differential/profile_driver"

rm -rf "$work"
mkdir -p "$work/native"
"$native" generate "$seed" "$count" "$work/batch.txt"
echo "native: $("$native" run "$work/batch.txt" "$work/native" "$work/native.txt" --check-lossless)"

if [ $# -eq 6 ]; then
    wine=$5 windows_driver=$6
    mkdir -p "$work/windows"
    # Wine shows the Unix root as drive Z:.
    folder="Z:$(cd "$work/windows" && pwd -P | tr / '\\')"
    echo "kernel32: $("$wine" "$windows_driver" run "$work/batch.txt" "$folder" "$work/windows.txt")"
    "$native" compare "$work/batch.txt" "$work/windows.txt" "$work/native.txt"
fi
