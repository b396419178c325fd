#!/usr/bin/env bash
# Runs the built program as a process at its real paths below a drive folder and checks that it
# prints nothing, ends with status 0 and leaves the profile as it should. The same cases serve
# the native program (drive root of the build) and the Windows one under Wine (the prefix's
# drive_c).
#
# Usage: program_test.sh [OPTION...] PROGRAM DRIVE_ROOT FAQ_LINK PORTAL_LINK
#   --run-with=LAUNCHER   start the program as LAUNCHER PROGRAM, e.g. --run-with=wine
#   --read-only=WAY[,WAY] how the read-only cases make the profile read-only:
#                         mode-bits  no write permission bit (the POSIX layer's read-only
#                                    attribute; Wine running as root ignores it)
#                         immutable  chattr +i, which refuses writers even when they are root
#                         (default: mode-bits,immutable)
#   --loose-layout        compare files line by line without line ends and trailing blanks:
#                         Wine's profile functions rewrite the whole file with CRLF line ends
#                         and drop blanks around values, so only the values are comparable
# Exits 0 when every case passed, 1 when one failed, 77 when no read-only case could run.
set -euo pipefail

launcher=()
read_only_ways=(mode-bits immutable)
loose_layout=false
while [ "$#" -gt 0 ]; do
    case $1 in
    --run-with=*) launcher=("${1#*=}") ;;
    --read-only=*) IFS=, read -r -a read_only_ways <<<"${1#*=}" ;;
    --loose-layout) loose_layout=true ;;
    --*)
        echo "unknown option $1" >&2
        exit 2
        ;;
    *) break ;;
    esac
    shift
done
if [ "$#" -ne 4 ]; then
    echo "usage: $0 [--run-with=LAUNCHER] [--read-only=WAY[,WAY]] [--loose-layout]" \
        "PROGRAM DRIVE_ROOT FAQ_LINK PORTAL_LINK" >&2
    exit 2
fi

program=("${launcher[@]}" "$1")
root=${2%/}
faq=$3
portal=$4
base="$root/Ostrel/Tessarin"
source="$base/Palvendo/Suporte/Quenmoor.ini"
target="$base/Programs/Quenmoor.ini"
out=$(mktemp -d)
failures=0
read_only_runs=0

# Immutable files left by a case (or an interrupted earlier run) would block every removal.
release() {
    [ ! -e "$root/Ostrel" ] || chattr -R -i "$root/Ostrel" >/dev/null 2>&1 || true
}
trap 'release; rm -rf "$out" "$root/Ostrel"' EXIT
trap 'exit 130' INT TERM

fail() {
    echo "FAIL [$case_name]: $*"
    failures=$((failures + 1))
}

fresh() {
    release
    rm -rf "$root/Ostrel"
    mkdir -p "$(dirname "$source")" "$(dirname "$target")"
}

run_program() {
    local status=0
    "${program[@]}" "$@" >"$out/stdout" 2>"$out/stderr" </dev/null || status=$?
    [ "$status" -eq 0 ] || fail "exit status $status"
    [ ! -s "$out/stdout" ] || fail "printed on stdout: $(head -c 200 "$out/stdout")"
    [ ! -s "$out/stderr" ] || fail "printed on stderr: $(head -c 200 "$out/stderr")"
}

layout() {
    if $loose_layout; then
        sed 's/\r$//; s/[[:blank:]]*$//'
    else
        cat
    fi
}

expect_file() {
    local path=$1 expected=$2
    [ -f "$path" ] || { fail "$path is missing"; return; }
    [ "$(layout <"$path")" = "$(printf '%s' "$expected" | layout)" ] || fail "$path holds:
$(cat "$path")
expected:
$expected"
}

# Makes the profile read-only the given way; false when this machine cannot.
make_read_only() {
    case $1 in
    mode-bits) chmod 0444 "$source" ;;
    immutable)
        chattr +i "$source" >/dev/null 2>&1 || return 1
        # The flag must really refuse a writer here, root included.
        ! { : >>"$source"; } 2>/dev/null
        ;;
    *)
        echo "unknown read-only way $1" >&2
        exit 2
        ;;
    esac
}

case_name="typical run"
fresh
printf '%s\n' '[DEFAULT]' 'VERSAO=7' 'CHAMADA_ATEND_GLPI=http://old/' "CHAMADA_ATEND_PORTAL=$portal" \
    '[FILIAL_03]' 'CHAMADA_ATEND_GLPI= ' '[FILIAL_99]' 'CHAMADA_ATEND_PORTAL=http://old-portal/' \
    '[FILIAL_100]' 'CHAMADA_ATEND_GLPI=http://old/' >"$source"
run_program
expected=$(printf '%s\n' '[DEFAULT]' 'VERSAO=8' "CHAMADA_ATEND_GLPI=$faq" \
    "CHAMADA_ATEND_PORTAL=$portal" '[FILIAL_03]' 'CHAMADA_ATEND_GLPI= ' '[FILIAL_99]' \
    "CHAMADA_ATEND_PORTAL=$portal" '[FILIAL_100]' 'CHAMADA_ATEND_GLPI=http://old/')
expect_file "$source" "$expected"
expect_file "$target" "$expected"

case_name="arguments are ignored"
fresh
printf '[DEFAULT]\nVERSAO=1\n' >"$source"
run_program --help /? -v
expect_file "$source" "$(printf '[DEFAULT]\nVERSAO=2')"

# VERSAO before and after: plain, negative, and the 32-bit wrap.
for versions in "1 2" "-1 0" "2147483647 -2147483648"; do
    read -r before after <<<"$versions"
    case_name="version $before advances to $after"
    fresh
    printf '[DEFAULT]\nVERSAO=%s\n' "$before" >"$source"
    run_program
    expect_file "$source" "$(printf '[DEFAULT]\nVERSAO=%s' "$after")"
    expect_file "$target" "$(printf '[DEFAULT]\nVERSAO=%s' "$after")"
done

case_name="existing copy kept"
fresh
printf '[DEFAULT]\nVERSAO=41\n' >"$source"
printf 'old copy' >"$target"
run_program
expect_file "$source" "$(printf '[DEFAULT]\nVERSAO=42')"
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

for way in "${read_only_ways[@]}"; do
    case_name="read-only profile ($way)"
    fresh
    printf '[DEFAULT]\nVERSAO=5\nCHAMADA_ATEND_GLPI=http://old/\n' >"$source"
    if ! make_read_only "$way"; then
        echo "SKIP [$case_name]: the filesystem of $root ($(stat -f -c %T "$root")) or this" \
            "user ($(id -un)) cannot make a file immutable with chattr +i"
        continue
    fi
    read_only_runs=$((read_only_runs + 1))
    run_program
    expect_file "$source" "$(printf '[DEFAULT]\nVERSAO=5\nCHAMADA_ATEND_GLPI=http://old/')"
    [ ! -e "$target" ] || fail "a copy was made"
done

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
if [ "$read_only_runs" -eq 0 ]; then
    echo "every other end-to-end check passed, but no read-only case could run"
    exit 77
fi
echo "all end-to-end checks passed"
