#!/usr/bin/env bash
# Runs every check the project has: formatting, static analysis, the native test suite, the same
# suite under AddressSanitizer and UndefinedBehaviorSanitizer, the Windows suite under Wine (test
# programs, the .exe's imports and version resource, the .exe end to end) and the release package.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-dependencies.sh

step() { printf '\n=== %s (%s)\n' "$1" "$(date +%T)"; }

step "clang-format"
git ls-files -- "*.cpp" "*.h" | xargs clang-format --dry-run --Werror

for preset in debug sanitizers windows-debug; do
    step "build: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    step "tests: $preset"
    ctest --preset "$preset"
done

step "package: Windows release"
# Builds the release .exe, runs the end-to-end cases on that very file under Wine, and packs it.
bash tools/package.sh

step "fuzz: profile parsing and editing"
# A bounded libFuzzer run over arbitrary profile bytes; tools/fuzz.sh says how to run it longer.
bash tools/fuzz.sh

step "clang-tidy"
# The Windows layer needs windows.h, which only the cross compiler has; everything else is
# checked with the native build's compile commands.
git ls-files -- 'app/*.cpp' 'profile/*.cpp' 'platform/posix/*.cpp' |
    xargs run-clang-tidy -quiet -p build/debug >build/clang-tidy.log 2>&1 ||
    { grep -E "warning:|error:" build/clang-tidy.log | sort -u | head -50; exit 1; }

step "all checks passed"
