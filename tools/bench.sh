#!/usr/bin/env bash
# Builds the benchmarks natively (our POSIX profile layer) and for Windows (kernel32's profile
# functions, run under Wine), runs every case of both on the same disk and prints one table:
# times, ratios to the floor and between the two layers, growth from 1 MB to 10 MB and peak
# memory. Takes a few minutes; not part of tools/run-tests.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-dependencies.sh
bash tools/fetch-benchmark-source.sh

for preset in bench windows-bench; do
    printf '=== build: %s\n' "$preset" >&2
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >&2
done

# A throwaway Wine prefix inside the build tree; one wineserver serves every case and is stopped
# at the end.
source tests/windows/wine_env.sh
use_wine_prefix x64 build/windows-bench/wineprefix
wineboot --init >/dev/null 2>&1
wineserver --kill || true
wineserver --persistent
trap 'wineserver --kill || true' EXIT

folder=build/bench-files
rm -rf "$folder"
printf '=== run (each case in a process of its own)\n' >&2
python3 tools/bench_report.py \
    --posix build/bench/bench/quenmoor-bench \
    --windows build/windows-bench/bench/quenmoor-bench.exe \
    --folder "$folder" --json build/bench-results.json
rm -rf "$folder"

printf '\nmachine: %s CPUs, %s, %s memory, %s file system\n' \
    "$(nproc)" "$(lscpu | sed -n 's/^Model name: *//p' | head -n 1)" \
    "$(free -h | awk '/^Mem:/ {print $2}')" "$(df -T build | awk 'NR == 2 {print $2}')"
