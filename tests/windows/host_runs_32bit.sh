#!/usr/bin/env bash
# Tells how this host runs 32-bit Wine, in one line on standard output:
#   "runs natively"         the kernel runs 32-bit programs; exits 0
#   "runs under emulation"  it does not (IA-32 emulation switched off, as on some virtual
#                           machines), but qemu's user-mode emulator runs the i386 Wine loader
#                           for it (tests/windows/bin/wine); exits 0
#   "cannot run"            neither; the reason follows on standard error; exits 1
# With --native the emulator is not considered. QUENMOOR_WINE32=emulated takes the emulated
# path on a host that runs 32-bit programs too, so that path can be tried anywhere. A 32-bit
# loader that fails for any other reason is an installation fault: exits 2.
set -uo pipefail
if [ "${QUENMOOR_WINE32:-}" = emulated ]; then
    output="Exec format error (QUENMOOR_WINE32=emulated)" status=126
else
    output=$(/usr/lib/wine/wine --version 2>&1)
    status=$?
fi
if [ $status -eq 0 ]; then
    echo "runs natively"
    exit 0
fi
if [ $status -eq 126 ] && grep -q "Exec format error" <<<"$output"; then
    if [ "${1:-}" != --native ] && command -v qemu-i386 >/dev/null; then
        echo "runs under emulation"
        exit 0
    fi
    echo "cannot run"
    echo "this host's kernel runs no 32-bit programs (IA-32 emulation is off) and qemu-i386 is not installed (tools/install-dependencies.sh installs it)" >&2
    exit 1
fi
echo "the 32-bit Wine loader /usr/lib/wine/wine does not start: $output" >&2
exit 2
