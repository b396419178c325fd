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
#   ID...      only these faults
set -euo pipefail
cd "$(dirname "$0")/.."

root=$PWD
catalogue=tests/mutation/catalogue.txt
copy=build/mutation/src
builds=native
case "${1:-}" in
--native) shift ;;
--windows) builds=windows; shift ;;
--all) builds="native windows"; shift ;;
esac
changed=""
if [[ ${1:-} == --changed* ]]; then
    base=${1#--changed}
    base=${base#=}
    shift
    [ -z "$base" ] || git rev-parse -q --verify "$base^{commit}" >/dev/null ||
        { echo "--changed=$base: not a commit" >&2; exit 2; }
    if [ -z "$base" ]; then
        base=HEAD~1
        for branch in origin/main main; do
            if git rev-parse -q --verify "$branch^{commit}" >/dev/null; then
                base=$(git merge-base "$branch" HEAD)
                break
            fi
        done
    fi
    # Every path of the change, one a line, framed by newlines for an exact match.
    changed=$'\n'$(git diff --name-only "$base" -- && git ls-files --others --exclude-standard)$'\n'
    echo "== faults in the files changed since $(git rev-parse --short "$base")"
fi
only=" $* "

preset_of() { [ "$1" = native ] && echo debug || echo windows-debug; }

# The catalogue as lines "id<TAB>build<TAB>file<TAB>tests<TAB>filter<TAB>from<TAB>to".
entries() {
    awk '
        function flush() { if (id != "") print id "\t" build "\t" file "\t" tests "\t" filter "\t" from "\t" to }
        /^#/ || /^[[:space:]]*$/ { next }
        { key = $1; value = $0; sub(/^[^ ]+ */, "", value) }
        key == "mutant" { flush(); id = value; build = file = tests = from = to = ""; nto = 0; filter = "-*KilledAtAnyMoment*:*TwentyMegabyte*"; next }
        key == "build" { build = value } key == "file" { file = value } key == "tests" { tests = value }
        key == "filter" { filter = value }
        # A fault of several edits: its from and to lines in pairs, joined by the unit separator.
        key == "from" { from = (from == "" ? "" : from "\037") value }
        key == "to" { to = (nto++ ? to "\037" : "") value }
        END { flush() }' "$catalogue"
}

# Replaces the one occurrence of FROM in FILE of the copy by TO; for a fault of several edits,
# each FROM by its TO in turn. Says why and exits 1 when the entry does not fit the file.
apply() {
    [ -f "$1" ] || { echo "the file does not exist" >&2; return 1; }
    python3 - "$copy/$1" "$2" "$3" <<'PY'
import sys
path, olds, news = sys.argv[1:]
text = open(path, encoding="utf-8").read()
olds, news = olds.split("\x1f"), news.split("\x1f")
if len(olds) != len(news):
    sys.exit(f"{len(olds)} from lines but {len(news)} to lines")
for old, new in zip(olds, news):
    if text.count(old) != 1:
        sys.exit(f"it holds the quoted text '{old.strip()}' {text.count(old)} times, not once")
    text = text.replace(old, new)
open(path, "w", encoding="utf-8").write(text)
PY
}

# The targets that the listed tests run.
targets_of() {
    local test
    for test in ${1//,/ }; do
        case $test in
        program_asks_redirection_trust_wine) echo quenmoor-update ;;
        profile_random_edits) echo profile_driver ;;
        *) echo "$test" ;;
        esac
    done | sort -u | tr '\n' ' '
}

# A GoogleTest filter's ':'-separated globs as one alternation of regular expressions.
glob_regex() {
    local regex=${1//./\\.}
    regex=${regex//\*/.*}
    regex=${regex//\?/.}
    echo "${regex//:/|}"
}

# Runs the CTest tests named in TESTS: the plain ones and the GoogleTest cases of the programs
# named there (<program>.<Suite>.<Case>), selected by FILTER, a GoogleTest filter
# (POSITIVE[-NEGATIVE]) turned into CTest's include and exclude expressions.
run_tests() {  # preset tests filter
    local programs="(${2//,/|})" positive=${3%%-*} negative="" exclude=()
    [[ $3 != *-* ]] || negative=${3#*-}
    local include="^$programs(\\..+)?\$"
    if [ -n "$positive" ] && [ "$positive" != "*" ]; then
        include="^$programs\\.($(glob_regex "$positive"))\$"
    fi
    [ -z "$negative" ] || exclude=(-E "^$programs\\.($(glob_regex "$negative"))\$")
    (cd "$copy" && timeout 900 ctest --preset "$1" --timeout 300 -R "$include" "${exclude[@]}" \
        >"$root/build/mutation/last-test.log" 2>&1)
}

# The copy: every file of the working tree that git knows or would add; only changed files are
# copied, so that the copy's builds stay incremental, and they get a new time stamp.
mkdir -p "$copy"
git ls-files -co --exclude-standard | while IFS= read -r file; do
    [ -e "$file" ] || continue
    if ! cmp -s "$file" "$copy/$file"; then
        mkdir -p "$(dirname "$copy/$file")"
        cp "$file" "$copy/$file"
    fi
done
started=$SECONDS
survived=0 killed=0 broken=0 stale=0

for build in $builds; do
    preset=$(preset_of "$build")
    mutants=()
    while IFS= read -r entry; do
        IFS=$'\t' read -r id _ file _ <<<"$entry"
        { [ "$only" = "  " ] || [[ $only == *" $id "* ]]; } &&
            { [ -z "$changed" ] || [[ $changed == *$'\n'"$file"$'\n'* ]]; } && mutants+=("$entry")
    done < <(entries | awk -F'\t' -v b="$build" '$2 == b')
    [ ${#mutants[@]} -gt 0 ] || continue
    all_tests=$(printf '%s\n' "${mutants[@]}" | cut -f4 | tr ',' '\n' | sort -u | paste -sd,)
    echo "== $build: ${#mutants[@]} faults; baseline build and tests ($all_tests)"
    (cd "$copy" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" >/dev/null)
    if ! run_tests "$preset" "$all_tests" "-*KilledAtAnyMoment*:*TwentyMegabyte*"; then
        cat build/mutation/last-test.log
        echo "the unchanged sources fail their tests: no fault can be judged" >&2
        exit 1
    fi
    for entry in "${mutants[@]}"; do
        IFS=$'\t' read -r id _ file tests filter from to <<<"$entry"
        begin=$SECONDS
        if ! reason=$(apply "$file" "$from" "$to" 2>&1); then
            # The sources moved on (a reworded line, a renamed file): this entry needs updating.
            verdict="STALE: $file: $reason (update the entry in $catalogue)"
            stale=$((stale + 1))
        elif ! (cd "$copy" && timeout 600 cmake --build --preset "$preset" --target $(targets_of "$tests") \
            >"$root/build/mutation/last-build.log" 2>&1); then
            # A fault that does not compile proves nothing: its entry needs fixing.
            verdict=BROKEN
            broken=$((broken + 1))
            grep -m3 'error' build/mutation/last-build.log >&2 || true
        elif run_tests "$preset" "$tests" "$filter"; then
            verdict=SURVIVED
            survived=$((survived + 1))
        else
            # The first failing test case (or CTest test, when it failed another way).
            verdict="killed by $(grep -m1 -oE '\[  FAILED  \] [^ ,]+|[0-9]+ - [^ ]+ \([A-Za-z]+\)' \
                build/mutation/last-test.log | sed -E 's/^\[  FAILED  \] //; s/^[0-9]+ - //')"
            killed=$((killed + 1))
        fi
        [ ! -e "$file" ] || cp "$file" "$copy/$file"
        printf '%-32s %3ss  %s\n' "$id" $((SECONDS - begin)) "$verdict"
        [[ $verdict == STALE* || $verdict == BROKEN ]] ||
            printf '       ran only: %s (GTEST_FILTER=%s)\n' "$tests" "$filter"
    done
    # Back to the unchanged sources in this build too.
    (cd "$copy" && cmake --build --preset "$preset" >/dev/null)
done

[ $((killed + survived + broken + stale)) -gt 0 ] || echo "no fault of $catalogue was chosen"
echo "== $killed killed, $survived survived, $broken not building, $stale stale, $((SECONDS - started)) s"
[ "$survived" -eq 0 ] && [ "$broken" -eq 0 ] && [ "$stale" -eq 0 ]
