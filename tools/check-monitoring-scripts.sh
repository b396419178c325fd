#!/usr/bin/env bash
# Fails when the monitoring scripts shipped beside the deployment note (docs/monitoring/) can
# fail open or have drifted apart, as far as that shows without PowerShell:
#   - the lines that find and run quenmoor-check.exe differ between the three scripts, or no
#     longer look under all three Program Files names (ProgramW6432 for a 32-bit PowerShell on
#     64-bit Windows, ProgramFiles, ProgramFiles(x86) for the x86 package);
#   - a script uses $LASTEXITCODE, which keeps an earlier program's status (or none, read as 0)
#     when the check is missing or blocked;
#   - a script holds anything but printable ASCII, tabs and line ends (Intune takes UTF-8
#     without a byte-order mark; Windows PowerShell reads a file without one in the ANSI code
#     page, so only ASCII reads the same everywhere).
# Given the release ZIP, also that it ships each script, with the same text.
# Usage: tools/check-monitoring-scripts.sh [ZIP]
set -euo pipefail
cd "$(dirname "$0")/.."

scripts=(Quenmoor-ConfigMgr-Discovery.ps1 Quenmoor-Intune-Detection.ps1 Quenmoor-Intune-Remediation.ps1)
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
shared() { sed -n '/^# ---- begin: lines shared/,/^# ---- end: lines shared/p' "docs/monitoring/$1"; }

reference=$(shared "${scripts[0]}")
for root in '$env:ProgramW6432' '$env:ProgramFiles' '${env:ProgramFiles(x86)}'; do
    grep -qF "$root" <<<"$reference" || fail "${scripts[0]}: its shared lines do not look under $root"
done
for script in "${scripts[@]}"; do
    [ "$(shared "$script")" = "$reference" ] ||
        fail "$script: the lines shared by the monitoring scripts differ from ${scripts[0]}'s"
    ! grep -n 'LASTEXITCODE' "docs/monitoring/$script" || fail "$script uses \$LASTEXITCODE"
    ! LC_ALL=C grep -n $'[^\t\r -~]' "docs/monitoring/$script" ||
        fail "$script holds characters other than printable ASCII"
    if [ $# -gt 0 ]; then
        shipped=$(unzip -p "$1" "*/monitoring/$script" | tr -d '\r') ||
            fail "${1##*/} does not hold monitoring/$script"
        [ "$shipped" = "$(cat "docs/monitoring/$script")" ] ||
            fail "${1##*/}: monitoring/$script is not docs/monitoring/$script"
    fi
done
echo "monitoring scripts: one way to find and run the check, no \$LASTEXITCODE, ASCII${1:+, shipped in ${1##*/}}"
