#!/usr/bin/env bash
# Checks one architecture's shipped program under Wine, in a prefix of its own (a 32-bit prefix
# for x86, as on 32-bit Windows): the end-to-end cases at the program's real paths, and the task
# definition registered with Wine's schtasks.
# Usage: check_on_wine.sh x86|x64 PREFIX PROGRAM TASK_XML FAQ_LINK PORTAL_LINK
# Exits 0 when all passed, 1 when a check failed, 77 when the read-only case could not run.
set -euo pipefail

if [ "$#" -ne 6 ]; then
    echo "usage: $0 x86|x64 PREFIX PROGRAM TASK_XML FAQ_LINK PORTAL_LINK" >&2
    exit 2
fi
arch=$1 program=$3 task=$4 faq=$5 portal=$6
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine_env.sh"
use_wine_prefix "$arch" "$2"

trap 'bash "$here/wine_prefix.sh" stop' EXIT
bash "$here/wine_prefix.sh" start

status=0
bash "$here/../e2e/program_test.sh" --run-with=wine --read-only=immutable --loose-layout \
    "$program" "$WINEPREFIX/drive_c" "$faq" "$portal" || status=$?
[ "$status" -eq 0 ] || [ "$status" -eq 77 ] || exit 1

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
wine schtasks /Delete /TN "$name" /F </dev/null >/dev/null
echo "schtasks accepted $task"
exit "$status"
