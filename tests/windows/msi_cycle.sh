#!/usr/bin/env bash
# Takes one architecture's Windows Installer package through the cycle a fleet puts it through,
# under Wine, in a fresh prefix (a 32-bit one for x86, as on 32-bit Windows), everything quiet
# (/qn): install an older version (0.9.0.0, built here from the package's own files), upgrade it
# with another build of the package's version (another product code, as a reconfigured release
# has), replace that with the package, install the package a second time and repair it, try the
# older one again (refused), and, when given, the other architecture's package (refused while
# this one is installed), remove it. Then the rollback, with a build whose deferred action after
# the task's registration fails (tools/build-msi.sh --fail-after-task): a failed first
# installation leaves no task, no file and no product; a failed upgrade leaves no task without
# its program. Between the steps: the program, the check and the folder check at their
# path, one task registered from the installed definition whose command is that path, whose
# account is LOCAL SERVICE and whose triggers are the start of the machine and a daily time (no
# logon), one product in Add/Remove Programs with name, publisher and version, the table of
# program-level cases (tests/scenarios) on the installed update program and check; after removal
# neither files nor task nor product.
#
# Wine's Task Scheduler stores a task's settings but neither its triggers, its principal nor its
# actions (it writes them as empty stubs), so the command, the triggers and the account are
# checked in the installed definition the task was registered from. The x86 package's
# definition for 64-bit Windows is never installed in a 32-bit prefix; tools/check-msi.sh checks
# the tables that choose it.
#
# Usage: msi_cycle.sh x86|x64 PREFIX PACKAGE FACTS [OTHER_PACKAGE]
#   FACTS          the build's quenmoor-facts.json, whose links the installed programs must write
#   OTHER_PACKAGE  the other architecture's package; only a 64-bit prefix takes both, so
#                  tools/package.sh gives the x86 package to the x64 cycle
# QUENMOOR_FACTS names the build's quenmoor-facts.json, as for tools/build-msi.sh.
# Exits 0 when every check passed, 1 when one failed.
set -euo pipefail

if [ "$#" -ne 4 ] && [ "$#" -ne 5 ]; then
    echo "usage: $0 x86|x64 PREFIX PACKAGE FACTS [OTHER_PACKAGE]" >&2
    exit 2
fi
arch=$1
facts=$(realpath "$4")
package=$(realpath "$3")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$here/wine_env.sh"
use_wine_prefix "$arch" "$2"

work=$(mktemp -d)
trap 'bash "$here/wine_prefix.sh" stop; rm -rf "$work"' EXIT
failures=0
step="checking the package"
fail() {
    echo "FAIL [$arch, $step]: $*" >&2
    failures=$((failures + 1))
}

property() { msiinfo export "$1" Property | tr -d '\r' | awk -F '\t' -v p="$2" '$1 == p { print $2 }'; }
version=$(property "$package" ProductVersion)
publisher=$(property "$package" Manufacturer)
product=$(property "$package" ProductCode)
product_name=$(property "$package" ProductName)
env -u SOURCE_DATE_EPOCH bash "$root/tools/check-msi.sh" "$package" "$arch" "$version" "$publisher" \
    "$product_name" "$(property "$package" ARPHELPLINK)" >/dev/null || fail "tools/check-msi.sh"

# The older version: the package's own files in a package of version 0.9.0.0.
mkdir "$work/files"
# msiextract names the folders after its own idea of each Program Files, so the files are found.
(cd "$work/files" && msiextract "$package" >/dev/null 2>&1)
shipped_program=$(find "$work/files" -path "*/Quenmoor Update/quenmoor-update.exe")
if [ ! -f "$shipped_program" ]; then
    echo "FAIL [$arch]: msiextract found no Quenmoor Update\\quenmoor-update.exe in $package" >&2
    exit 1
fi
# build VERSION OUTPUT [OPTION...]: a package of the package's own files
build() {
    SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-946684800} bash "$root/tools/build-msi.sh" "${@:3}" "$arch" \
        "$shipped_program" "$(dirname "$shipped_program")/quenmoor-update.task.xml" \
        "$(dirname "$shipped_program")/Test-QuenmoorFolders.ps1" "$1" "$publisher" "$2" >/dev/null
}
build 0.9.0.0 "$work/older.msi"
build "$version" "$work/other-build.msi" --test-build="other build"
build "$version" "$work/failing.msi" --fail-after-task
older_product=$(property "$work/older.msi" ProductCode)
other_build_product=$(property "$work/other-build.msi" ProductCode)

rm -rf "$WINEPREFIX"
bash "$here/wine_prefix.sh" start
drive="$WINEPREFIX/drive_c"
cp "$package" "$drive/quenmoor-update.msi"
for built in older other-build failing; do
    cp "$work/$built.msi" "$drive/quenmoor-update-$built.msi"
done
[ "$#" -lt 5 ] || cp "$5" "$drive/quenmoor-update-other.msi"
folder="$drive/Program Files/Quenmoor Update"
program_path='C:\Program Files\Quenmoor Update\quenmoor-update.exe'
tasks="$drive/windows/system32/tasks"
# The task's folder stays when its last task is deleted, as in Task Scheduler.
task_name=$(python3 "$root/tools/facts.py" "${QUENMOOR_FACTS:?must name the quenmoor-facts.json of the build}" task_name)
# The task files of the project's name, as paths below the Tasks folder.
registered_tasks() { (cd "$tasks" && find . -type f -path "*Quenmoor*" | sed 's|^\./|\\|; s|/|\\|g' | sort); }
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

# msiexec EXPECTED_STATUS ARGUMENT...: quiet, logged to C:\msiexec.log, and silent itself. Wine
# hands on the Windows exit code modulo 256, as a Linux exit status (1603 becomes 67).
msiexec() {
    local expected=$1 status=0
    shift
    wine msiexec "$@" /qn /l*v 'C:\msiexec.log' </dev/null >"$work/output" 2>&1 || status=$?
    [ "$status" -eq $((expected % 256)) ] || fail "msiexec $* ended $status, not $expected modulo 256"
    [ ! -s "$work/output" ] || fail "msiexec $* printed: $(head -c 300 "$work/output")"
}
# The products Add/Remove Programs lists by that name, as "CODE VERSION PUBLISHER" lines.
products() {
    wine reg query "$uninstall" /s </dev/null 2>/dev/null | tr -d '\r' | awk '
        /^HKEY_/ { key = $0; sub(/.*\\/, "", key) }
        $1 == "DisplayName" { name[key] = substr($0, index($0, "REG_SZ") + 10) }
        $1 == "DisplayVersion" { version[key] = $3 }
        $1 == "Publisher" { publisher[key] = substr($0, index($0, "REG_SZ") + 10) }
        END { for (k in name) if (index(name[k], "Quenmoor Update") == 1) print k, version[k], publisher[k] }'
}
expect_product() { # CODE VERSION: the only product of that name
    local listed
    listed=$(products)
    [ "$listed" = "$1 $2 $publisher" ] ||
        fail "Add/Remove Programs lists '${listed//$'\n'/; }', not '$1 $2 $publisher'"
}
expect_installed() {
    cmp -s "$shipped_program" "$folder/quenmoor-update.exe" ||
        fail "$program_path is not the package's program"
    local file
    for file in quenmoor-check.exe Test-QuenmoorFolders.ps1; do
        cmp -s "$(dirname "$shipped_program")/$file" "$folder/$file" ||
            fail "the package's $file is not installed beside the program"
    done
    local registered
    registered=$(registered_tasks)
    if [ "$registered" != "$task_name" ]; then
        fail "registered tasks: '${registered:-none}', not the one task '$task_name'"
        return
    fi
    local setting
    for setting in "<MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>" \
        "<ExecutionTimeLimit>PT10M</ExecutionTimeLimit>" "<Hidden>false</Hidden>"; do
        grep -qF "$setting" "$tasks/Quenmoor/Quenmoor update" || fail "the registered task lacks $setting"
    done
    # What the task runs, as Task Scheduler reads the installed definition: the Program Files
    # variable expanded in the machine's environment.
    local definition command program_files
    definition=$(iconv -f UTF-16 -t UTF-8 "$folder/quenmoor-update.task.xml" | tr -d '\r')
    command=$(sed -n 's|^ *<Command>"\(.*\)"</Command>$|\1|p' <<<"$definition")
    program_files=$(wine cmd /c echo '%ProgramFiles%' </dev/null | tr -d '\r')
    command=${command//%ProgramFiles%/$program_files}
    [ "$command" = "$program_path" ] || fail "the task's command is '$command', not '$program_path'"
    for trigger in BootTrigger CalendarTrigger; do
        grep -q "<$trigger>" <<<"$definition" || fail "the installed definition has no $trigger"
    done
    ! grep -q "<LogonTrigger>" <<<"$definition" || fail "the installed definition runs at every logon"
    grep -qxF "    <Author>$publisher</Author>" <<<"$definition" ||
        fail "the installed definition does not name $publisher as its author"
    grep -qx " *<UserId>S-1-5-19</UserId>" <<<"$definition" ||
        fail "the installed definition does not run the program as LOCAL SERVICE (S-1-5-19)"
}

step="installing version 0.9.0.0"
msiexec 0 /i 'C:\quenmoor-update-older.msi'
expect_product "$older_product" 0.9.0.0
expect_installed

step="upgrading to another build of version $version"
msiexec 0 /i 'C:\quenmoor-update-other-build.msi'
expect_product "$other_build_product" "$version"
expect_installed

step="replacing that build with the package, of the same version"
msiexec 0 /i 'C:\quenmoor-update.msi'
expect_product "$product" "$version"
expect_installed

# The table of program-level cases on the installed programs (the unreadable ones need a
# program to hold the profile open, which does not ship: they are reported as not run).
step="the program-level cases on the installed programs"
python3 "$root/tests/scenarios/run_scenarios.py" --facts "$facts" --wine \
    --update "$folder/quenmoor-update.exe" --check "$folder/quenmoor-check.exe" || fail "tests/scenarios"

step="installing version $version a second time"
msiexec 0 /i 'C:\quenmoor-update.msi'
expect_product "$product" "$version"
expect_installed

# Wine's msiexec cannot repair with /f (a product code is "not implemented yet"; a package ends
# 1605, unknown product), so the repair is asked for by the properties /fa stands for.
step="repairing version $version, its program and task deleted"
rm "$folder/quenmoor-update.exe"
wine schtasks /Delete /TN "$task_name" /F </dev/null >/dev/null
msiexec 0 /i 'C:\quenmoor-update.msi' REINSTALL=ALL REINSTALLMODE=amus
expect_product "$product" "$version"
expect_installed

# The refusal's message is a launch condition (tools/check-msi.sh checks it); Wine's log of a
# quiet installation does not show it.
step="installing version 0.9.0.0 over $version"
msiexec 1603 /i 'C:\quenmoor-update-older.msi'
expect_product "$product" "$version"
expect_installed

if [ "$#" -eq 5 ]; then
    step="installing the other architecture's package beside this one"
    msiexec 1603 /i 'C:\quenmoor-update-other.msi'
    expect_product "$product" "$version"
    expect_installed
fi

expect_nothing_left() {
    [ ! -e "$folder" ] || fail "left $(find "$folder" | sed "s|^$drive/||" | tr '\n' ' ')"
    [ -z "$(registered_tasks)" ] || fail "left the task $(registered_tasks)"
    [ -z "$(products)" ] || fail "Add/Remove Programs still lists $(products)"
}

step="removing version $version"
msiexec 0 /x 'C:\quenmoor-update.msi'
expect_nothing_left

# The rollback: the failing build's last deferred action fails after the task's registration.
# Wine's msiexec ends such an installation with 1627 (function failed), Windows with 1603.
step="a failed first installation"
msiexec 1627 /i 'C:\quenmoor-update-failing.msi'
expect_nothing_left

# Windows Installer rolls back an upgrade's removal of the older build, which runs inside the
# transaction (after InstallInitialize), so the older build and its task stay. Wine's
# installer removes the older build at once, before the transaction, so only this much is
# the same everywhere: no task is left without its program.
step="a failed upgrade"
msiexec 0 /i 'C:\quenmoor-update.msi'
msiexec 1627 /i 'C:\quenmoor-update-failing.msi'
if [ -n "$(products)" ]; then
    expect_product "$product" "$version"
    expect_installed
    msiexec 0 /x 'C:\quenmoor-update.msi'
fi
expect_nothing_left

if [ "$failures" -ne 0 ]; then
    echo "the $arch package failed $failures check(s) of its install cycle under Wine" >&2
    exit 1
fi
echo "$arch package: installed, upgraded, replaced at the same version, installed again, repaired, downgrade refused, removed, failed installation and upgrade rolled back under Wine"
