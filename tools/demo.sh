#!/usr/bin/env bash
# Sets everything up on a fresh Debian machine, builds the program and runs it once on a sample
# profile in a throwaway drive folder, showing the profile before and after: first the native
# build, then the Windows quenmoor-update.exe under Wine at its real C:\ paths.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-dependencies.sh

# One line per build; the compiler's output goes to a log that is shown only when a build fails.
mkdir -p build/logs
build() {
    local preset=$1 log="build/logs/demo-$1.log"
    echo "building $2 (about a minute; log: $log)"
    if ! { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"$log" 2>&1; then
        tail -n 30 "$log" >&2
        echo "the build failed; its whole output is in $log" >&2
        exit 1
    fi
}
build demo "the native program"
build windows-release "the Windows program"
echo

# Puts the sample profile under the drive folder ROOT, runs COMMAND and shows what changed.
show_run() {
    local root=$1
    shift
    local source="$root/Ostrel/Tessarin/Palvendo/Suporte/Quenmoor.ini"
    local target="$root/Ostrel/Tessarin/Programs/Quenmoor.ini"
    rm -rf "$root/Ostrel"
    mkdir -p "$(dirname "$source")" "$(dirname "$target")"
    cp tools/sample/Quenmoor.ini "$source"

    echo "== Before: $source"
    cat "$source"
    local status=0
    "$@" || status=$?
    echo
    echo "== After (exit status $status); changes:"
    # Wine's kernel32 writes the whole profile anew in its own layout (CRLF line ends, blank
    # lines dropped); the diff ignores the line ends.
    diff -u --strip-trailing-cr tools/sample/Quenmoor.ini "$source" || true
    echo
    if cmp -s "$source" "$target"; then
        echo "== Copied to $target"
    else
        echo "== No copy at $target"
    fi
}

echo "######## Native build (C:\\ is build/demo/drive_c)"
show_run build/demo/drive_c build/demo/app/quenmoor-update

echo
echo "######## Windows build under Wine (C:\\ is build/demo/wineprefix/drive_c)"
echo "(Wine's profile functions rewrite the file in their own layout: CRLF, no blank lines)"
source tests/windows/wine_env.sh
use_wine_prefix x64 build/demo/wineprefix
trap 'bash tests/windows/wine_prefix.sh stop' EXIT
bash tests/windows/wine_prefix.sh start
show_run "$WINEPREFIX/drive_c" tests/windows/bin/wine build/windows-release/app/quenmoor-update.exe
