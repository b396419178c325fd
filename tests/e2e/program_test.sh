#!/usr/bin/env bash
# Runs the built program as a process at its real paths below the build's drive root and checks
# that it prints nothing, ends with status 0 and leaves the profile as it should.
# Usage: program_test.sh PROGRAM DRIVE_ROOT FAQ_LINK PORTAL_LINK
set -euo pipefail

program=$1
root=${2%/}
faq=$3
portal=$4
base="$root/Ostrel/Tessarin"
source="$base/Palvendo/Suporte/Quenmoor.ini"
target="$base/Programs/Quenmoor.ini"
out=$(mktemp -d)
trap 'rm -rf "$out" "$root/Ostrel"' EXIT
failures=0

fail() {
    echo "FAIL [$case_name]: $*"
    failures=$((failures + 1))
}

fresh() {
    rm -rf "$root/Ostrel"
    mkdir -p "$(dirname "$source")" "$(dirname "$target")"
}

run_program() {
    local status=0
    "$program" >"$out/stdout" 2>"$out/stderr" </dev/null || status=$?
    [ "$status" -eq 0 ] || fail "exit status $status"
    [ ! -s "$out/stdout" ] || fail "printed on stdout: $(head -c 200 "$out/stdout")"
    [ ! -s "$out/stderr" ] || fail "printed on stderr: $(head -c 200 "$out/stderr")"
}

expect_file() {
    local path=$1 expected=$2
    [ -f "$path" ] || { fail "$path is missing"; return; }
    [ "$(cat "$path")" = "$expected" ] || fail "$path holds:
$(cat "$path")
expected:
$expected"
}

case_name="typical run"
fresh
printf '[DEFAULT]\nVERSAO=7\nCHAMADA_ATEND_GLPI=http://old/\nCHAMADA_ATEND_PORTAL=%s\n[FILIAL_03]\nCHAMADA_ATEND_GLPI= \n' \
    "$portal" >"$source"
run_program
expected=$(printf '[DEFAULT]\nVERSAO=8\nCHAMADA_ATEND_GLPI=%s\nCHAMADA_ATEND_PORTAL=%s\n[FILIAL_03]\nCHAMADA_ATEND_GLPI= ' \
    "$faq" "$portal")
expect_file "$source" "$expected"
expect_file "$target" "$expected"

case_name="arguments are ignored"
fresh
printf '[DEFAULT]\nVERSAO=1\n' >"$source"
"$program" --help /? -v >"$out/stdout" 2>"$out/stderr" </dev/null || fail "exit status $?"
[ ! -s "$out/stdout" ] && [ ! -s "$out/stderr" ] || fail "printed something"
expect_file "$source" "$(printf '[DEFAULT]\nVERSAO=2')"

case_name="existing copy kept"
fresh
printf '[DEFAULT]\nVERSAO=-1\n' >"$source"
printf 'old copy' >"$target"
run_program
expect_file "$source" "$(printf '[DEFAULT]\nVERSAO=0')"
expect_file "$target" "old copy"

for version in "" "VERSAO=0" "VERSAO=abc"; do
    case_name="gate: '$version'"
    fresh
    printf '[DEFAULT]\n%s\nCHAMADA_ATEND_GLPI=http://old/\n' "$version" >"$source"
    before=$(cat "$source")
    run_program
    expect_file "$source" "$before"
    [ ! -e "$target" ] || fail "a copy was made"
done

case_name="no profile"
fresh
run_program
[ -z "$(find "$base" -type f)" ] || fail "files appeared: $(find "$base" -type f)"

case_name="directory at the profile path"
fresh
mkdir "$source"
run_program
[ -z "$(find "$base" -type f)" ] || fail "files appeared"

case_name="read-only profile"
fresh
printf '[DEFAULT]\nVERSAO=5\nCHAMADA_ATEND_GLPI=http://old/\n' >"$source"
chmod 0444 "$source"
run_program
expect_file "$source" "$(printf '[DEFAULT]\nVERSAO=5\nCHAMADA_ATEND_GLPI=http://old/')"
[ ! -e "$target" ] || fail "a copy was made"

case_name="target folder missing"
fresh
rmdir "$(dirname "$target")"
printf '[DEFAULT]\nVERSAO=3\n' >"$source"
run_program
expect_file "$source" "$(printf '[DEFAULT]\nVERSAO=4')"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all end-to-end checks passed"
