#!/usr/bin/env bash
# Builds the profile edit fuzzer (tests/fuzz/, preset fuzz: clang's libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs it over the seed corpus in tests/fuzz/corpus.
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
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null
fuzzer=$out/tests/fuzz/profile_edit_fuzzer

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fuzz() {
    "$fuzzer" -artifact_prefix="$out/" -max_len=4096 "$@" "$out/corpus" \
        tests/fuzz/corpus
}

if [ $# -gt 0 ]; then
    if [ -f "${!#}" ]; then
        "$fuzzer" "$@"  # replaying saved inputs: no corpus
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
