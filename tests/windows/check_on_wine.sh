#!/usr/bin/env bash
# Checks one architecture's shipped programs under Wine, in a prefix of its own (a 32-bit prefix
# for x86, as on 32-bit Windows): the table of program-level cases (tests/scenarios) on the update
# program and the check beside it at their real paths, and the task definition registered with
# Wine's schtasks.
# Usage: check_on_wine.sh x86|x64 PREFIX PROGRAM TASK_XML FACTS
#   PROGRAM  quenmoor-update.exe, with quenmoor-check.exe beside it
#   FACTS    the build's quenmoor-facts.json, whose links the programs must write
# Exits 0 when all passed, 1 when a check failed.
set -euo pipefail

if [ "$#" -ne 5 ]; then
    echo "usage: $0 x86|x64 PREFIX PROGRAM TASK_XML FACTS" >&2
    exit 2
fi
arch=$1 program=$3 task=$4 facts=$5
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_env.sh"
use_wine_prefix "$arch" "$2"

trap 'bash "$here/wine_prefix.sh" stop' EXIT
bash "$here/wine_prefix.sh" start

# No program to hold the profile open ships, so the unreadable cases are reported as not run.
python3 "$here/../scenarios/run_scenarios.py" --facts "$facts" --wine --update "$program" \
    --check "$(dirname "$program")/quenmoor-check.exe" || exit 1

# schtasks refuses a definition it cannot read. Wine's Task Scheduler then stores what it
# understood, in its own words: the settings that make the task visible, single and time-limited
# must be among them.
name="Quenmoor update check"
cp "$task" "$WINEPREFIX/drive_c/quenmoor-update.task.xml"
if ! wine schtasks /Create /TN "$name" /XML 'C:\quenmoor-update.task.xml' /F </dev/null; then
    echo "FAIL: schtasks /Create /XML refused $task" >&2
    exit 1
fi
stored="$WINEPREFIX/drive_c/windows/system32/tasks/$name"
for setting in "<Hidden>false</Hidden>" "<MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>" \
    "<ExecutionTimeLimit>PT10M</ExecutionTimeLimit>"; do
    if ! grep -qF "$setting" "$stored"; then
        echo "FAIL: the task registered from $task lacks $setting:" >&2
        cat "$stored" >&2
        exit 1
    fi
done
echo "schtasks accepted $task"
# Only tidying: the definition has passed, and the next check's /F replaces a task left here. A
# refused deletion is said, with schtasks' own words, instead of failing the check silently.
if ! deleted=$(wine schtasks /Delete /TN "$name" /F </dev/null 2>&1); then
    echo "note: Wine's schtasks did not delete the checked task: ${deleted:-it said nothing}" >&2
fi
