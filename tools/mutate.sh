#!/usr/bin/env bash
# Mutation testing: applies each fault of tests/mutation/catalogue.txt, one at a time, to a copy of
# the sources (build/mutation/src), rebuilds that copy incrementally, runs the test programs the
# fault's entry names and reports it killed (a test failed) or survived. An entry whose quoted
# text its file no longer holds (a reworded line) is reported stale and the run goes on. Exits
# non-zero when a fault survives, is stale or does not build, or when the unchanged copy fails
# its tests.
#
# Usage: tools/mutate.sh [--native | --windows | --all] [--changed[=BASE]] [ID...]
#   --native   the faults built natively (the default)
#   --windows  the faults built with mingw-w64, their tests run under Wine
#   --all      both
#   --changed  only the faults in files that differ between BASE and the working tree (committed
#              since BASE, uncommitted or new); BASE is a commit, by default where HEAD left
#              origin/main, or main when there is no origin/main, or else HEAD~1
#   ID...      only these faults; an ID the catalogue lacks stops the run (status 2)
# The work is done by tools/quenmoor_release/mutation.py.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# -P: the modules come from tools/ only, never from the caller's folder.
PYTHONPATH=$here exec python3 -P -m quenmoor_release.mutation "$@"
