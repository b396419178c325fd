#!/usr/bin/env bash
# Builds the profile edit fuzzer (tests/fuzz/) with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs it over the seed corpus in tests/fuzz/corpus.
#
#   bash tools/fuzz.sh                          the short bounded run that the test command does
#   bash tools/fuzz.sh -max_total_time=3600     any libFuzzer options instead, e.g. a longer run
#   bash tools/fuzz.sh build/fuzz/crash-...     replays saved inputs
#
# Inputs that find new paths are kept in build/fuzz/corpus, never in the seed corpus; a failing
# input is written to build/fuzz/ as crash-* and can be replayed by passing its path.
set -euo pipefail
cd "$(dirname "$0")/.."

out=build/fuzz
mkdir -p "$out/corpus"
sources=(
    tests/fuzz/profile_edit_fuzzer.cpp
    tests/differential/lossless_check.cpp
    tests/posix/line_scan_lookup.cpp
    platform/posix/case_fold.cpp
    platform/posix/profile_edit.cpp
    platform/posix/profile_encoding.cpp
    platform/posix/profile_index.cpp
    platform/posix/profile_line.cpp
    platform/posix/profile_lookup.cpp
    platform/posix/profile_text.cpp
    platform/posix/text_compare.cpp
    platform/posix/utf8.cpp
)
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -fno-omit-frame-pointer -Wall -Wextra -Wpedantic -Werror -Wconversion -Wsign-conversion \
    -Wshadow -I. -Itests "${sources[@]}" -licuuc -o "$out/profile_edit_fuzzer"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fuzz() {
    "$out/profile_edit_fuzzer" -artifact_prefix="$out/" -max_len=4096 "$@" "$out/corpus" \
        tests/fuzz/corpus
}

if [ $# -gt 0 ]; then
    if [ -f "${!#}" ]; then
        "$out/profile_edit_fuzzer" "$@"  # replaying saved inputs: no corpus
    else
        fuzz "$@"
    fi
    exit
fi
# A fixed seed and number of inputs: the same run every time on a fresh clone, under a minute.
# libFuzzer reports every new input; the log keeps those, the console gets the outcome.
log="$out/fuzz.log"
if ! fuzz -seed=1 -runs=1000000 -print_final_stats=1 >"$log" 2>&1; then
    tail -n 80 "$log"
    exit 1
fi
grep -E "^Done|stat::number_of_executed_units" "$log"
