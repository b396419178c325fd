#!/usr/bin/env bash
# Fails when the scripts shipped beside the deployment note that run quenmoor-check.exe (the
# monitoring scripts of docs/monitoring/ and docs/Test-QuenmoorFolders.ps1) can fail open or have
# drifted apart, as far as that shows without PowerShell:
#   - the lines that find and run quenmoor-check.exe differ between the four scripts, or no
#     longer look under all three Program Files names (ProgramW6432 for a 32-bit PowerShell on
#     64-bit Windows, ProgramFiles, ProgramFiles(x86) for the x86 package);
#   - those lines take a status of the check for "not run", or a number above its statuses for
#     a status: they must accept exactly 0 to the highest status of the check's table in
#     docs/DEPLOYMENT.md ("Where each shop stands");
#   - the remediation does not say, for every status of that table but 0, 1 and 2 (the ones it
#     finishes on or lets the update fix), why no update can fix it, so that such a status would
#     start the update instead;
#   - a script uses $LASTEXITCODE, which keeps an earlier program's status (or none, read as 0)
#     when the check is missing or blocked;
#   - a script holds anything but printable ASCII, tabs and line ends (Intune takes UTF-8
#     without a byte-order mark; Windows PowerShell reads a file without one in the ANSI code
#     page, so only ASCII reads the same everywhere).
# Given the release ZIP, also that it ships each script where the ZIP keeps it (the monitoring
# scripts in monitoring/, Test-QuenmoorFolders.ps1 beside the note), with the same text.
# Usage: tools/check-monitoring-scripts.sh [ZIP]
set -euo pipefail
cd "$(dirname "$0")/.."

# Paths below docs/, which are also the paths below the ZIP's folder.
scripts=(monitoring/Quenmoor-ConfigMgr-Discovery.ps1 monitoring/Quenmoor-Intune-Detection.ps1
    monitoring/Quenmoor-Intune-Remediation.ps1 Test-QuenmoorFolders.ps1)
remediation=monitoring/Quenmoor-Intune-Remediation.ps1
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
shared() { sed -n '/^# ---- begin: lines shared/,/^# ---- end: lines shared/p' "docs/$1"; }

reference=$(shared "${scripts[0]}")
[ -n "$reference" ] || fail "${scripts[0]} has no lines marked as shared"
for root in '$env:ProgramW6432' '$env:ProgramFiles' '${env:ProgramFiles(x86)}'; do
    grep -qF "$root" <<<"$reference" || fail "${scripts[0]}: its shared lines do not look under $root"
done

# The check's statuses, from the first column of the note's table.
statuses=$(sed -n '/^## Where each shop stands/,/^## /p' docs/DEPLOYMENT.md |
    sed -n 's/^| \([0-9][0-9]*\) | .*/\1/p' | sort -n)
highest=$(tail -n 1 <<<"$statuses")
[ -n "$highest" ] && [ "$statuses" = "$(seq 0 "$highest")" ] ||
    fail "docs/DEPLOYMENT.md: the check's table does not list the statuses 0 to N, one each: $(echo $statuses)"
grep -qF "\$status -lt 0 -or \$status -gt $highest -or" <<<"$reference" ||
    fail "${scripts[0]}: its shared lines do not accept exactly the check's statuses 0 to $highest"
# The statuses the remediation explains (the keys of $cannotFix), against those it must explain.
explained=$(sed -n '/^\$cannotFix = @{/,/^}/p' "docs/$remediation" | sed -n 's/^ *\([0-9][0-9]*\) = .*/\1/p' | sort -n)
unfixable=$(grep -vx '[012]' <<<"$statuses" || true)
[ "$(echo $explained)" = "$(echo $unfixable)" ] ||
    fail "$remediation says why no update can fix the statuses $(echo $explained); the check's table asks for $(echo $unfixable)"

for script in "${scripts[@]}"; do
    [ "$(shared "$script")" = "$reference" ] ||
        fail "$script: the lines shared by the scripts that run the check differ from ${scripts[0]}'s"
    ! grep -n 'LASTEXITCODE' "docs/$script" || fail "$script uses \$LASTEXITCODE"
    ! LC_ALL=C grep -n $'[^\t\r -~]' "docs/$script" ||
        fail "$script holds characters other than printable ASCII"
    if [ $# -gt 0 ]; then
        shipped=$(unzip -p "$1" "*/$script" | tr -d '\r') ||
            fail "${1##*/} does not hold $script"
        [ "$shipped" = "$(cat "docs/$script")" ] ||
            fail "${1##*/}: $script is not docs/$script"
    fi
done
echo "scripts that run the check: one way to find and run it, statuses 0 to $highest accepted and" \
    "handled, no \$LASTEXITCODE, ASCII${1:+, shipped in ${1##*/}}"
