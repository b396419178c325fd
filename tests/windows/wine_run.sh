#!/usr/bin/env bash
# Runs a Windows test program under Wine in the build's own prefix: CTest's emulator for the
# GoogleTest programs, both to list their cases when CTest starts and to run each case. The
# first program that needs the prefix makes it.
# Usage: wine_run.sh PREFIX win32|win64 PROGRAM [ARGUMENT...]
set -euo pipefail

export PATH="$(dirname "$0")/bin:$PATH"
export WINEPREFIX=$1 WINEARCH=$2 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
shift 2
bash "$(dirname "$0")/wine_prefix.sh" make
unset DISPLAY WAYLAND_DISPLAY
exec wine "$@"
