#!/usr/bin/env bash
# Runs the built check as a process at its real paths below a drive folder, over one table of
# profiles: its line and status, that it changed nothing (bytes, times and listing of every file
# and folder), and its status again after the update program ran over the same profile. The same
# table serves the native programs and the Windows ones under Wine.
#
# Usage: check_test.sh [--run-with=LAUNCHER] [--holder=PROGRAM] CHECK UPDATE DRIVE_ROOT FAQ PORTAL
#   --run-with=LAUNCHER  start the programs as LAUNCHER PROGRAM, e.g. --run-with=wine
#   --holder=PROGRAM     make the profile unreadable by having PROGRAM hold it open without
#                        sharing until its input ends (Windows); by default its permission bits
#                        are cleared, and root runs the programs without its power to override them.
#                        PROGRAM --shared holds it as the support application may, reading and
#                        writing with sharing, which leaves it readable
set -euo pipefail

launcher=() holder=""
for option; do
    case $option in
    --run-with=*) launcher=("${option#*=}") && shift ;;
    --holder=*) holder=${option#*=} && shift ;;
    esac
done
[ "$#" -eq 5 ] || { echo "usage: $0 [--run-with=L] [--holder=P] CHECK UPDATE ROOT FAQ PORTAL" >&2; exit 2; }
check=$1 update=$2 root=${3%/} faq=$4 portal=$5
source="$root/Ostrel/Tessarin/Palvendo/Suporte/Quenmoor.ini"
target="$root/Ostrel/Tessarin/Programs/Quenmoor.ini"
windows_source='C:\Ostrel\Tessarin\Palvendo\Suporte\Quenmoor.ini'
out=$(mktemp -d)
trap 'rm -rf "$out" "$root/Ostrel"' EXIT
failures=0 restricted=()

fail() {
    echo "FAIL [$name]: $*"
    failures=$((failures + 1))
}

# Every file and folder below the drive's Ostrel folder: type, size, modification and change time
# in nanoseconds, and the contents of files.
snapshot() {
    find "$root/Ostrel" -printf '%p %y %s %T@ %C@\n' | sort
    find "$root/Ostrel" -type f -exec md5sum {} + | sort
}

# Runs PROGRAM, leaving its status in $status and its output in $out.
run() {
    status=0
    "${restricted[@]}" "${launcher[@]}" "$1" >"$out/stdout" 2>"$out/stderr" </dev/null || status=$?
}

# What a case does to the drive once its profile is written.
nothing() { :; }
copy_present() { printf 'old copy\n' >"$target"; }
folder_at_profile() { mkdir "$source"; }
hold() {
    coproc HOLDER { "${launcher[@]}" "$holder" "$@"; }
    read -r -u "${HOLDER[0]}" reply || true
    [ "${reply%$'\r'}" = held ] || fail "the holder did not hold the profile"
}
# Natively no other program's open file keeps a reader out, so there is nothing to hold.
held_with_sharing() { [ -z "$holder" ] || hold --shared; }
unreadable() {
    if [ -n "$holder" ]; then
        hold
    else
        chmod 0000 "$source"
        # Root reads any file; without these capabilities it obeys the permission bits.
        [ "$(id -u)" -ne 0 ] || restricted=(setpriv --bounding-set "-dac_override,-dac_read_search" --)
    fi
}
let_go() {
    restricted=()
    [ ! -e "$source" ] || chmod 0644 "$source"
    if [ -n "${HOLDER_PID:-}" ]; then
        local input=${HOLDER[1]} pid=$HOLDER_PID
        exec {input}>&-
        wait "$pid" || true
    fi
}

profile() { printf '%s\r\n' "$@"; }
upper_faq="HTTPS://${faq#https://}"
stale=http://glpi.old.example/

# name | profile | preparation | status | line | status after the update program
cases=(
    "all current|$(profile '[DEFAULT]' VERSAO=12 "CHAMADA_ATEND_GLPI=$faq" \
        "CHAMADA_ATEND_PORTAL=$portal" '[FILIAL_00]' "CHAMADA_ATEND_GLPI=$(printf '\001')$faq" \
        'CHAMADA_ATEND_PORTAL=' '[FILIAL_42]' "CHAMADA_ATEND_PORTAL=$portal" '[FILIAL_100]' \
        "CHAMADA_ATEND_GLPI=$stale" '[FILIAL_5]' "CHAMADA_ATEND_GLPI=$stale")|copy_present|0|links current in 4 of 4 places; VERSAO=12; copy present|0"
    "stale in five sections|$(profile '[DEFAULT]' VERSAO=7 "CHAMADA_ATEND_GLPI=$stale" \
        "CHAMADA_ATEND_PORTAL=$portal" '[FILIAL_00]' "CHAMADA_ATEND_GLPI=$upper_faq" \
        '[FILIAL_01]' "CHAMADA_ATEND_PORTAL=$stale" '[FILIAL_02]' "CHAMADA_ATEND_GLPI=$stale" \
        "CHAMADA_ATEND_PORTAL=$stale" '[FILIAL_99]' "CHAMADA_ATEND_GLPI=$stale")|nothing|1|links stale in 6 of 7 places (DEFAULT, FILIAL_00, FILIAL_01, FILIAL_02 and 1 more); VERSAO=7; copy missing|0"
    "the sample profile|$(cat "$(dirname "$0")/../../tools/sample/Quenmoor.ini")|nothing|1|links stale in 4 of 4 places (DEFAULT, FILIAL_00, FILIAL_01); VERSAO=7; copy missing|0"
    "copy missing|$(profile '[DEFAULT]' VERSAO=0x1F "CHAMADA_ATEND_GLPI=$faq")|nothing|2|links current in 1 of 1 places; VERSAO=31; copy missing|0"
    "version -1 goes to 0|$(profile '[DEFAULT]' VERSAO=-1 "CHAMADA_ATEND_GLPI=$stale")|copy_present|1|links stale in 1 of 1 places (DEFAULT); VERSAO=-1; copy present|3"
    "version not a number|$(profile '[DEFAULT]' VERSAO=abc "CHAMADA_ATEND_GLPI=$stale")|nothing|3|links stale in 1 of 1 places (DEFAULT); version gate closed (VERSAO 0, missing or not a number); copy missing|3"
    "held with sharing|$(profile '[DEFAULT]' VERSAO=7 "CHAMADA_ATEND_GLPI=$faq")|held_with_sharing|2|links current in 1 of 1 places; VERSAO=7; copy missing|0"
    "no profile||nothing|4|no profile: $windows_source is not an existing file|4"
    "folder at the profile path||folder_at_profile|4|no profile: $windows_source is not an existing file|4"
    "unreadable profile|$(profile '[DEFAULT]' VERSAO=7 "CHAMADA_ATEND_GLPI=$faq")|unreadable|5|profile could not be read: $windows_source exists but cannot be read|5"
)

for entry in "${cases[@]}"; do
    IFS='|' read -r name text prepare expected line after <<<"${entry//$'\n'/$'\x1e'}"
    text=${text//$'\x1e'/$'\n'}
    rm -rf "$root/Ostrel" && mkdir -p "$(dirname "$source")" "$(dirname "$target")"
    [ -z "$text" ] || printf '%s\n' "$text" >"$source"
    "$prepare"
    before=$(snapshot)
    run "$check"
    [ "$status" -eq "$expected" ] || fail "status $status, expected $expected"
    printed=$(sed 's/\r$//' "$out/stdout")
    { [ "$printed" = "$line" ] && [ "$(wc -l <"$out/stdout")" -eq 1 ]; } ||
        fail "printed: $(cat -A "$out/stdout")
expected: $line"
    [ ! -s "$out/stderr" ] || fail "printed on stderr: $(head -c 200 "$out/stderr")"
    [ "$(snapshot)" = "$before" ] || fail "the check changed the drive:
$(diff <(echo "$before") <(snapshot) || true)"
    run "$update"
    run "$check"
    [ "$status" -eq "$after" ] || fail "after the update program: status $status, expected $after ($(cat "$out/stdout"))"
    let_go
done

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all ${#cases[@]} check cases passed"
