#!/usr/bin/env bash
# Runs every check the project has: formatting, static analysis, the native test suite, the same
# suite under AddressSanitizer and UndefinedBehaviorSanitizer, the Windows suites of both
# architectures under Wine (test programs, the .exe's PE headers and version resource, the .exe
# end to end) and the release: built twice to prove it reproducible, signed, checked and packed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-dependencies.sh

step() { printf '\n=== %s (%s)\n' "$1" "$(date +%T)"; }

step "clang-format"
git ls-files -- "*.cpp" "*.h" | xargs clang-format --dry-run --Werror

# Each build and its tests as a workflow preset of CMakePresets.json (configure, build, test);
# "quick" is the native debug build, the contributor's tier.
for workflow in quick sanitizers windows-debug windows-x86-debug; do
    step "build and tests: $workflow"
    if [ "$workflow" = windows-x86-debug ]; then
        # Natively, or under qemu-i386 where the kernel runs no 32-bit programs; the install
        # step put the emulator in place, so "cannot run" is a failure here, never a skip.
        x86_wine=$(bash tests/windows/host_runs_32bit.sh)
        echo "32-bit Wine on this host: $x86_wine"
    fi
    cmake --workflow --preset "$workflow"
done

step "mutation testing: every fault, native and Windows"
# Plants every fault of tests/mutation/catalogue.txt in a copy of the sources (the Windows ones
# tested under Wine) and fails when one survives or no longer fits its file;
# docs/mutation-testing.md says how to run only the faults of the files a change touched.
bash tools/mutate.sh --all

step "release: reproducible, signed, checked, packed"
# First the release tooling's own logic (tools/quenmoor_release/), in well under a second.
python3 -m unittest discover -s tools/quenmoor_release/tests -t tools
# Packs two fresh clones and compares every artifact, then packs the release signed with a
# throwaway certificate and verifies it; tools/package.sh checks the shipped files under Wine.
bash tools/check-release.sh

step "fuzz: profile parsing and editing"
# A bounded libFuzzer run over arbitrary profile bytes; tools/fuzz.sh says how to run it longer.
bash tools/fuzz.sh

step "clang-tidy"
# The Windows layer needs windows.h, which only the cross compiler has; everything else is
# checked with the native build's compile commands.
git ls-files -- 'app/*.cpp' 'profile/*.cpp' 'text/*.cpp' 'ini/*.cpp' 'platform/linux/*.cpp' |
    xargs run-clang-tidy -quiet -p build/debug >build/clang-tidy.log 2>&1 ||
    { grep -E "warning:|error:" build/clang-tidy.log | sort -u | head -50; exit 1; }

step "all checks passed"
