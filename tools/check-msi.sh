#!/usr/bin/env bash
# Checks a Windows Installer package built by tools/build-msi.sh through its tables (msiinfo
# export): what it installs where, that the task is registered from the installed definition
# and deleted on removal, in the right places of the installation script, the upgrade rules and
# the summary information. Every failed check is named; the status is 1 when any failed.
# Usage: check-msi.sh PACKAGE x86|x64 VERSION PUBLISHER [PRODUCT_NAME [HELP_LINK]]
#   PRODUCT_NAME  what Add/Remove Programs shows, the facts' product name unless told
#   HELP_LINK     the support link it offers, none unless told
# QUENMOOR_FACTS names the build's quenmoor-facts.json (cmake/ReleaseFacts.cmake), which gives the
# product's and the task's names and the upgrade codes.
# SOURCE_DATE_EPOCH, when set, must be the package's creation and last-save time.
set -euo pipefail

if [ "$#" -lt 4 ] || [ "$#" -gt 6 ]; then
    echo "usage: $0 PACKAGE x86|x64 VERSION PUBLISHER [PRODUCT_NAME [HELP_LINK]]" >&2
    exit 2
fi
[ -f "${QUENMOOR_FACTS:-}" ] || {
    echo "QUENMOOR_FACTS must name the build's quenmoor-facts.json" >&2
    exit 2
}
facts() { python3 "$(dirname "$0")/facts.py" "$QUENMOOR_FACTS" "$@"; }
base_name=$(facts product_name)
package=$1 arch=$2 version=$3 publisher=$4 product_name=${5:-$base_name} help_link=${6:-}
failures=0
fail() {
    echo "FAIL ($package): $*" >&2
    failures=$((failures + 1))
}

# Fixed for ever: Windows Installer finds the installed product by them.
declare -A upgrade_codes
for code_arch in x86 x64; do
    upgrade_codes[$code_arch]="{$(facts "upgrade_codes.$code_arch")}"
done
case $arch in
x86) other=x64 template="Intel;1033" program_files=ProgramFilesFolder system=SystemFolder component_bits=0 ;;
x64) other=x86 template="x64;1033" program_files=ProgramFiles64Folder system=System64Folder component_bits=256 ;;
*)
    echo "unknown architecture $arch" >&2
    exit 2
    ;;
esac
msiinfo tables "$package" >/dev/null 2>&1 || {
    echo "FAIL: $package is not a Windows Installer package" >&2
    exit 1
}

# A table as msiinfo exports it (columns separated by tabs), without its CR line ends.
table() { msiinfo export "$package" "$1" | tr -d '\r'; }
# Each expected row, its columns given as arguments.
tab=$'\t'
expect_row() {
    local table=$1 why=$2
    shift 2
    local row
    row=$(printf '%s\t' "$@")
    row=${row%"$tab"}
    table "$table" | grep -qxF -- "$row" ||
        fail "$why: no row '${row//$tab/ | }' in table $table"
}
sequence_of() {
    table InstallExecuteSequence | awk -F '\t' -v action="$1" '$1 == action { print $3 }'
}
expect_order() { # ACTION... in the order the installation runs them
    local previous="" previous_number=-1 action number
    for action in "$@"; do
        number=$(sequence_of "$action")
        if [ -z "$number" ]; then
            fail "$action is not in the installation sequence"
        elif [ "$number" -le "$previous_number" ]; then
            fail "$action ($number) must run after $previous ($previous_number)"
        fi
        previous=$action previous_number=${number:-$previous_number}
    done
}

task=$(facts task_name)
expect_row Property "name shown by Add/Remove Programs" ProductName "$product_name"
expect_row Property "publisher shown by Add/Remove Programs" Manufacturer "$publisher"
expect_row Property "contact shown by Add/Remove Programs" ARPCONTACT "$publisher"
if [ -n "$help_link" ]; then
    expect_row Property "support link shown by Add/Remove Programs" ARPHELPLINK "$help_link"
fi
expect_row Property "version" ProductVersion "$version"
expect_row Property "per-machine installation" ALLUSERS 1
# Names in 8.3 form beside the long ones, as Windows Installer's name columns want them (ICE03).
expect_row Directory "installation folder" InstallFolder "$program_files" "QUENMO~1|Quenmoor Update"
for entry in "Program|QUENMO~1.EXE|quenmoor-update.exe|1|$version" \
    "Check|QUENMO~2.EXE|quenmoor-check.exe|2|$version" \
    "FolderCheck|TEST-Q~1.PS1|Test-QuenmoorFolders.ps1|3|"; do
    IFS='|' read -r component short file sequence file_version <<<"$entry"
    expect_row Component "the component of $file" "$component" "$(table Component |
        awk -F '\t' -v c="$component" '$1 == c { print $2 }')" InstallFolder "$component_bits" "" "$component"
    expect_row File "$file" "$component" "$component" "$short|$file" \
        "$(table File | awk -F '\t' -v c="$component" '$1 == c { print $4 }')" "$file_version" "" 512 "$sequence"
done
if [ "$arch" = x86 ]; then
    conditions=("TaskDefinition|NOT VersionNT64" "TaskDefinitionWow64|VersionNT64")
else
    conditions=("TaskDefinition|")
fi
for entry in "${conditions[@]}"; do
    component=${entry%%|*} condition=${entry#*|}
    expect_row Component "the task definition's component, for the Windows it fits" "$component" \
        "$(table Component | awk -F '\t' -v c="$component" '$1 == c { print $2 }')" \
        InstallFolder "$component_bits" "$condition" "$component"
    table File | awk -F '\t' -v c="$component" '$2 == c { print $3 }' |
        grep -qx "QUENMO~1.XML|quenmoor-update.task.xml" || fail "$component installs no quenmoor-update.task.xml"
done

# The task: registered from the installed definition by LocalSystem (deferred 1024 + no
# impersonation 2048 + program named by a property 50), deleted before the files go, with a
# failed deletion (a task removed by hand) not stopping the removal (64).
expect_row CustomAction "schtasks.exe of the package's architecture" FindSchtasks 51 SCHTASKS \
    "[$system]schtasks.exe" ""
expect_row CustomAction "the task's registration" RegisterTask 3122 SCHTASKS \
    "/Create /F /TN \"$task\" /XML \"[InstallFolder]quenmoor-update.task.xml\"" ""
expect_row CustomAction "the task's deletion" DeleteTask 3186 SCHTASKS "/Delete /F /TN \"$task\"" ""
expect_row InstallExecuteSequence "registration on install, repair and upgrade, not on removal" \
    RegisterTask 'NOT REMOVE="ALL"' "$(sequence_of RegisterTask)"
expect_row InstallExecuteSequence "deletion on removal only" DeleteTask 'REMOVE="ALL"' \
    "$(sequence_of DeleteTask)"
# Rollback: written into the script before the action it undoes (rollback 256 + in the script
# 1024 + LocalSystem 2048 + its failure ignored 64). A failed first installation deletes the task
# it registered; a failed removal registers it again. The older build is removed inside the
# transaction, after InstallInitialize, so a failed upgrade rolls that removal back too.
expect_row CustomAction "the registration's rollback" RollbackRegisterTask 3442 SCHTASKS \
    "/Delete /F /TN \"$task\"" ""
expect_row CustomAction "the deletion's rollback" RollbackDeleteTask 3442 SCHTASKS \
    "/Create /F /TN \"$task\" /XML \"[InstallFolder]quenmoor-update.task.xml\"" ""
expect_row InstallExecuteSequence "the registration is undone after a failed first installation" \
    RollbackRegisterTask 'NOT Installed AND NOT REMOVE="ALL"' "$(sequence_of RollbackRegisterTask)"
expect_row InstallExecuteSequence "the deletion is undone after a failed removal" \
    RollbackDeleteTask 'REMOVE="ALL"' "$(sequence_of RollbackDeleteTask)"
expect_order FindRelatedProducts LaunchConditions FindSchtasks InstallValidate InstallInitialize \
    RemoveExistingProducts RollbackDeleteTask DeleteTask RemoveFiles InstallFiles \
    RollbackRegisterTask RegisterTask InstallFinalize

# Upgrades: an older version, or another build of this version, is removed (the version
# inclusive, 512); a newer one refuses this package.
upgrade_code=${upgrade_codes[$arch]}
expect_row Property "the architecture's upgrade code" UpgradeCode "$upgrade_code"
expect_row Upgrade "older versions and other builds of this one are upgraded" "$upgrade_code" "" \
    "$version" "" 513 "" WIX_UPGRADE_DETECTED
expect_row Upgrade "newer versions are detected" "$upgrade_code" "$version" "" "" 2 "" WIX_DOWNGRADE_DETECTED
expect_row LaunchCondition "a downgrade is refused" "NOT WIX_DOWNGRADE_DETECTED" \
    "A newer version of $base_name is already installed. Remove it first to install this one."
expect_row LaunchCondition "Windows 7 or later" "Installed OR VersionNT >= 601" \
    "$base_name needs Windows 7 or later."
expect_row Upgrade "the other architecture's package is detected" "${upgrade_codes[$other]}" 0.0.0 "" "" 258 "" \
    OTHER_ARCHITECTURE_INSTALLED
expect_row LaunchCondition "not beside the other architecture's package" \
    "Installed OR NOT OTHER_ARCHITECTURE_INSTALLED" \
    "$base_name for $other is installed. Remove it first: both would run the same task."

summary=$(TZ=UTC msiinfo suminfo "$package")
grep -qxF "Template: $template" <<<"$summary" || fail "summary: platform is not $template"
grep -qE '^Revision number \(UUID\): \{[0-9A-F-]{36}\}$' <<<"$summary" || fail "summary: no package code"
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    stamp=$(TZ=UTC date -d "@$SOURCE_DATE_EPOCH" '+%a %b %e %H:%M:%S %Y')
    for field in Created "Last saved"; do
        grep -qxF "$field: $stamp" <<<"$summary" || fail "summary: $field is not $stamp (SOURCE_DATE_EPOCH)"
    done
fi

[ "$failures" -eq 0 ] || exit 1
echo "$package: tables checked ($arch, $version)"
