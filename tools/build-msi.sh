#!/usr/bin/env bash
# Builds the Windows Installer package of one architecture with wixl, from the program, the
# task definition and the folder check as they ship in the ZIP, and checks its tables
# (tools/check-msi.sh). Every task definition that ships passes through here, the ZIP's as
# TASK_XML and the package's own, and each must run the program as LOCAL SERVICE
# (tools/check_task_principal.py).
# Usage: build-msi.sh [OPTION...] x86|x64 PROGRAM TASK_XML FOLDER_CHECK VERSION PUBLISHER OUTPUT
#   PROGRAM    quenmoor-update.exe of that architecture (signed, when the release is);
#              quenmoor-check.exe beside it goes into the package too
#   TASK_XML   the shipped task definition (UTF-16 or UTF-8); the package's copy names the
#              program where the package installs it
#   FOLDER_CHECK  Test-QuenmoorFolders.ps1, the read-only check of the folders' rights
#   VERSION    four numbers, e.g. 1.0.0.0, the last one 0: Windows Installer ignores it, so
#              1.0.0.1 would install beside 1.0.0.0
#   PUBLISHER  the maker that Add/Remove Programs shows (the programs' CompanyName)
#   OUTPUT     the .msi to write; on any failure nothing is left there
# QUENMOOR_FACTS names the build's quenmoor-facts.json (cmake/ReleaseFacts.cmake), which gives the
# product's name, the task's name, the upgrade codes and the shipped programs.
# Options:
#   --test-build=WORD   a build not to deploy: Add/Remove Programs shows "Quenmoor Update (WORD)"
#   --help-link=URL     the support link Add/Remove Programs offers (ARPHELPLINK)
#   --fail-after-task   for the install cycle's tests only: a deferred action after the task's
#                       registration fails, so the installation rolls back
#
# The same inputs and SOURCE_DATE_EPOCH give the same bytes: the upgrade code is fixed per
# architecture; the product code and the package code are derived from the version, the
# architecture, the publisher, the name and the packed files' checksums, so two builds that
# differ in anything (link hosts, publisher, signatures) are two products, and the newer one
# replaces the older even at the same version; the summary information's times are
# SOURCE_DATE_EPOCH.
set -euo pipefail

test_build="" help_link="" fail_after_task=false
while [ "$#" -gt 0 ]; do
    case $1 in
    --test-build=*) test_build=${1#*=} ;;
    --help-link=*) help_link=${1#*=} ;;
    --fail-after-task) fail_after_task=true ;;
    *) break ;;
    esac
    shift
done
if [ "$#" -ne 7 ]; then
    echo "usage: $0 [--test-build=WORD] [--help-link=URL] [--fail-after-task] x86|x64 PROGRAM TASK_XML FOLDER_CHECK VERSION PUBLISHER OUTPUT" >&2
    exit 2
fi
arch=$1 program=$2 task=$3 folder_check=$4 version=$5 publisher=$6 output=$7
here=$(cd "$(dirname "$0")" && pwd)
wxs="$here/../packaging/quenmoor-update.wxs"

fail() {
    echo "build-msi ($arch): $*" >&2
    exit 1
}

for tool in wixl msibuild msiinfo python3 iconv; do
    command -v "$tool" >/dev/null ||
        fail "$tool not found: tools/install-dependencies.sh installs it (Debian's wixl and msitools)"
done
[ -n "${SOURCE_DATE_EPOCH:-}" ] || fail "SOURCE_DATE_EPOCH is not set (the release's time, in seconds)"
[ -f "$program" ] || fail "no program at $program"
[ -f "$task" ] || fail "no task definition at $task"
[ -f "$folder_check" ] || fail "no folder check at $folder_check"
# Windows Installer: major and minor at most 255, build at most 65535.
if ! [[ $version =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)\.([0-9]+)$ ]] || [ "${BASH_REMATCH[1]}" -gt 255 ] ||
    [ "${BASH_REMATCH[2]}" -gt 255 ] || [ "${BASH_REMATCH[3]}" -gt 65535 ]; then
    fail "version $version is not four numbers that Windows Installer accepts (255.255.65535.N at most)"
fi
[ "${BASH_REMATCH[4]}" -eq 0 ] ||
    fail "version $version: Windows Installer ignores the fourth number, so this package would install beside ${version%.*}.0; raise the third"
[ -n "$publisher" ] || fail "no publisher"

[ -f "${QUENMOOR_FACTS:-}" ] || fail "QUENMOOR_FACTS must name the build's quenmoor-facts.json"
facts() { python3 "$here/facts.py" "$QUENMOOR_FACTS" "$@"; }
task_name=$(facts task_name)
product_name=$(facts product_name)
namespace=$(facts code_namespace) # of the name-based codes below
declare -A upgrade_code
for code_arch in x86 x64; do
    upgrade_code[$code_arch]=$(facts "upgrade_codes.$code_arch")
done
# The programs that packaging/quenmoor-update.wxs installs, each a component of its own with a
# short name below: a program added to the release needs both before it can ship here.
[ "$(facts programs | paste -sd' ')" = "quenmoor-update quenmoor-check" ] ||
    fail "the release ships $(facts programs | paste -sd' '), but $wxs installs quenmoor-update and quenmoor-check"
case $arch in
x86) other=x64 template="Intel;1033" program_files=ProgramFilesFolder system=SystemFolder win64=no ;;
x64) other=x86 template="x64;1033" program_files=ProgramFiles64Folder system=System64Folder win64=yes ;;
*) fail "unknown architecture (x86 or x64)" ;;
esac
# Name-based codes (UUID version 5), one per NAME argument, in order.
codes() {
    python3 -c 'import sys, uuid; [print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), n)).upper()) for n in sys.argv[2:]]' \
        "$namespace" "$@"
}

rm -f "$output"
work=$(mktemp -d)
built=false
trap 'rm -rf "$work"; $built || rm -f "$output"' EXIT

# The package's task definitions: the shipped one with the installed program's path through the
# Program Files variable, in UTF-16 with CRLF as shipped.
definition() {
    local command="<Command>\"%$1%\\\\Quenmoor Update\\\\quenmoor-update.exe\"</Command>"
    if [ "$(head -c 2 "$task" | od -An -tx1 | tr -d ' ')" = fffe ]; then
        iconv -f UTF-16 -t UTF-8 "$task"
    else
        cat "$task"
    fi >"$work/task.utf8"
    [ "$(grep -c '<Command>.*</Command>' "$work/task.utf8")" -eq 1 ] ||
        fail "$task must have exactly one <Command> line"
    sed "s|<Command>.*</Command>|$command|; s/\r*$/\r/" "$work/task.utf8" >"$work/task.edited"
    { printf '\xff\xfe' && iconv -f UTF-8 -t UTF-16LE "$work/task.edited"; } >"$2"
}
mkdir "$work/files"
check="$(dirname "$program")/quenmoor-check.exe"
[ -f "$check" ] || fail "no quenmoor-check.exe beside $program"
cp "$program" "$work/files/quenmoor-update.exe"
cp "$check" "$work/files/quenmoor-check.exe"
cp "$folder_check" "$work/files/Test-QuenmoorFolders.ps1"
definition ProgramFiles "$work/files/task.xml"
[ "$arch" = x64 ] || definition "ProgramFiles(x86)" "$work/files/task-wow64.xml"
python3 "$here/check_task_principal.py" "$task" "$work"/files/task*.xml ||
    fail "a task definition does not run the program as LOCAL SERVICE (above)"
# The cabinet keeps each file's time; TZ fixes how it is written down.
touch -d "@$SOURCE_DATE_EPOCH" "$work"/files/*
files_sum=$(cd "$work/files" && sha256sum -- * | sha256sum | cut -c1-64)

{
    read -r product_code
    read -r package_code
    read -r program_component
    read -r task_component
    read -r task_wow64_component
    read -r check_component
    read -r folder_check_component
} < <(codes "product $arch $version $publisher $test_build $fail_after_task $files_sum" \
    "package $arch $version $publisher $test_build $fail_after_task $files_sum" \
    "component $arch program" "component $arch task" "component $arch task wow64" \
    "component $arch check" "component $arch folder check")
# wixl takes the files' paths relative to the folder it runs in.
(cd "$work/files" && TZ=UTC wixl --arch "$arch" -o ../package.msi \
    -D "Arch=$arch" -D "Version=$version" -D "Manufacturer=$publisher" -D "TaskName=$task_name" \
    -D "ProductName=$product_name${test_build:+ ($test_build)}" \
    -D "ProductCode=$product_code" -D "UpgradeCode=${upgrade_code[$arch]}" -D "OtherUpgradeCode=${upgrade_code[$other]}" \
    -D "ProgramFilesFolder=$program_files" -D "SystemFolder=$system" -D "Win64=$win64" \
    -D "ProgramComponent=$program_component" -D "TaskComponent=$task_component" \
    -D "TaskWow64Component=$task_wow64_component" -D "CheckComponent=$check_component" \
    -D "FolderCheckComponent=$folder_check_component" -D "FolderCheck=Test-QuenmoorFolders.ps1" \
    -D "Program=quenmoor-update.exe" -D "Check=quenmoor-check.exe" -D "Task=task.xml" \
    -D "TaskWow64=task-wow64.xml" \
    "$wxs") >"$work/wixl.log" 2>&1 || {
    cat "$work/wixl.log" >&2
    fail "wixl could not build the package from $wxs"
}
# wixl writes warnings for what it ignores; an ignored attribute is a package that differs from
# its source, so any is fatal.
if [ -s "$work/wixl.log" ]; then
    cat "$work/wixl.log" >&2
    fail "wixl ignored parts of $wxs (above)"
fi

# What wixl has no element for: the x86 package's two task definitions by the Windows they fit,
# the launch conditions (Windows 7 as the oldest, not beside the other architecture's package),
# the replacement of an installed build of the same version, the rollback of the task's
# registration and deletion, short names and file versions, and the summary information
# (package code, times).
sql() { printf '%s' "${1//\'/\'\'}"; } # a value inside single quotes
queries=(-q "INSERT INTO LaunchCondition (Condition, Description) VALUES
    ('Installed OR VersionNT >= 601', '$(sql "$product_name") needs Windows 7 or later.')"
    -q "INSERT INTO LaunchCondition (Condition, Description) VALUES
    ('Installed OR NOT OTHER_ARCHITECTURE_INSTALLED', '$(sql "$product_name") for $other is installed. Remove it first: both would run the same task.')"
    # The programs keep version 1.0.0.0 while their links change; an installed build of the same
    # version (another product code) is replaced like an older one (VersionMaxInclusive 512).
    # (Attributes is part of the row's key, which cannot be updated in place.)
    -q "DELETE FROM Upgrade WHERE ActionProperty = 'WIX_UPGRADE_DETECTED'"
    -q "INSERT INTO Upgrade (UpgradeCode, VersionMin, VersionMax, Attributes, ActionProperty) VALUES
    ('{${upgrade_code[$arch]}}', '', '$version', 513, 'WIX_UPGRADE_DETECTED')"
    # Rollback (256) in the script (1024) as LocalSystem (2048), its failure ignored (64):
    # a failed first installation unregisters the task it registered; a failed removal
    # registers it again from the definition that the rollback has put back.
    -q "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES
    ('RollbackRegisterTask', 3442, 'SCHTASKS', '/Delete /F /TN \"$task_name\"')"
    -q "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES
    ('RollbackDeleteTask', 3442, 'SCHTASKS', '$(msiinfo export "$work/package.msi" CustomAction | tr -d "\r" |
        awk -F '\t' '$1 == "RegisterTask" { print $4 }')')"
    -q "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES
    ('RollbackRegisterTask', 'NOT Installed AND NOT REMOVE=\"ALL\"', 4009)"
    -q "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES
    ('RollbackDeleteTask', 'REMOVE=\"ALL\"', 3489)"
    -q "UPDATE Directory SET DefaultDir = 'QUENMO~1|Quenmoor Update' WHERE Directory = 'InstallFolder'"
    -q "UPDATE File SET FileName = 'QUENMO~1.EXE|quenmoor-update.exe', Version = '$version' WHERE File = 'Program'"
    -q "UPDATE File SET FileName = 'QUENMO~2.EXE|quenmoor-check.exe', Version = '$version' WHERE File = 'Check'"
    -q "UPDATE File SET FileName = 'QUENMO~1.XML|quenmoor-update.task.xml' WHERE Component_ = 'TaskDefinition' OR Component_ = 'TaskDefinitionWow64'"
    -q "UPDATE File SET FileName = 'TEST-Q~1.PS1|Test-QuenmoorFolders.ps1' WHERE File = 'FolderCheck'"
    -q "INSERT INTO Property (Property, Value) VALUES ('ARPCONTACT', '$(sql "$publisher")')")
if [ -n "$help_link" ]; then
    queries+=(-q "INSERT INTO Property (Property, Value) VALUES ('ARPHELPLINK', '$(sql "$help_link")')")
fi
if [ "$arch" = x86 ]; then
    queries+=(-q "UPDATE Component SET Condition = 'NOT VersionNT64' WHERE Component = 'TaskDefinition'"
        -q "UPDATE Component SET Condition = 'VersionNT64' WHERE Component = 'TaskDefinitionWow64'")
fi
msibuild "$work/package.msi" "${queries[@]}" \
    -s "$product_name${test_build:+ ($test_build)} $version ($arch)" "$publisher" "$template" "{$package_code}" ||
    fail "msibuild could not complete the package"
python3 "$here/msi_stamp_times.py" "$work/package.msi" "$SOURCE_DATE_EPOCH" ||
    fail "could not set the package's summary times"

bash "$here/check-msi.sh" "$work/package.msi" "$arch" "$version" "$publisher" \
    "$product_name${test_build:+ ($test_build)}" "$help_link" ||
    fail "the package failed its check (above); nothing was written to $output"
if $fail_after_task; then
    # cmd.exe of the package's architecture ends with status 1 after the task's registration,
    # in the script as LocalSystem, its failure checked (3122): the installation rolls back.
    msibuild "$work/package.msi" -q "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES
        ('FindCmd', 51, 'PLANTED_FAILURE', '[$system]cmd.exe')" \
        -q "INSERT INTO CustomAction (Action, Type, Source, Target) VALUES
        ('PlantedFailure', 3122, 'PLANTED_FAILURE', '/c exit 1')" \
        -q "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('FindCmd', '', 1011)" \
        -q "INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES
        ('PlantedFailure', 'NOT REMOVE=\"ALL\"', 4020)" ||
        fail "msibuild could not plant the failure"
fi
mv "$work/package.msi" "$output"
built=true
echo "built $output (product code {$product_code})"
