#!/usr/bin/env bash
# Runs a Windows test program under Wine in the build's own prefix: CTest's emulator for the
# GoogleTest programs, both to list their cases when CTest starts and to run each case. The
# first program that needs the prefix makes it.
# Usage: wine_run.sh PREFIX win32|win64 PROGRAM [ARGUMENT...]
set -euo pipefail

here=$(dirname "$0")
source "$here/wine_env.sh"
use_wine_prefix "$2" "$1"
shift 2
bash "$here/wine_prefix.sh" make
exec wine "$@"
