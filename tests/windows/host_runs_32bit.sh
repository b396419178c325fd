#!/usr/bin/env bash
# Exits 0 when this host can start 32-bit Wine, 1 with the reason when its kernel refuses 32-bit
# programs (IA-32 emulation switched off, as on some virtual machines): there no 32-bit Windows
# program can run under Wine, and the x86 checks under Wine cannot be made. Any other failure of
# the 32-bit loader is an installation fault and exits 2.
set -uo pipefail
output=$(/usr/lib/wine/wine --version 2>&1)
case $? in
0) exit 0 ;;
126)
    if grep -q "Exec format error" <<<"$output"; then
        echo "this host's kernel runs no 32-bit programs (IA-32 emulation is off), so 32-bit Wine cannot start"
        exit 1
    fi
    ;;
esac
echo "the 32-bit Wine loader /usr/lib/wine/wine does not start: $output" >&2
exit 2
