#!/usr/bin/env bash
# Prepares the Wine prefix that the Windows tests run in and keeps one wineserver running for
# them all, or stops it again. WINEPREFIX and WINEARCH come from the environment.
# Usage: wine_prefix.sh make|start|stop
#   make   makes the prefix unless it is complete and made by this Wine
#   start  the same, then starts the one wineserver
#   stop   stops it
set -euo pipefail

: "${WINEPREFIX:?WINEPREFIX must name the prefix folder}"
# Wine must never open a window or wait for someone to click one away, and wine and wineboot
# start the loader that fits the prefix.
source "$(dirname "$0")/wine_env.sh"
use_wine

make() {
    local ready="$WINEPREFIX/.quenmoor-prefix-ready"
    local version
    version=$(wine --version)
    if [ "$(cat "$ready" 2>/dev/null)" != "$version" ]; then
        # Not made yet, left half-made by an interrupted run, or made by another Wine: make anew.
        wineserver -k >/dev/null 2>&1 || true
        # An immutable file left by an interrupted end-to-end run would block the removal.
        rm -rf "$WINEPREFIX" 2>/dev/null || { chattr -R -i "$WINEPREFIX" && rm -rf "$WINEPREFIX"; }
        mkdir -p "$(dirname "$WINEPREFIX")"
        local log="$WINEPREFIX.log"
        if ! wineboot --init </dev/null >"$log" 2>&1; then
            cat "$log"
            exit 1
        fi
        # The registry reaches the disk when the server ends; only then is the prefix complete.
        wineserver -w
        echo "$version" >"$ready"
    fi
}

start() {
    make
    # One server and one session for the whole suite spare every test the session start-up.
    # Wine's helper processes (services.exe and the like) inherit the standard handles of the
    # process that starts the session and outlive it; started here with none, they cannot hold
    # a test's output pipe open, so CTest never waits for them.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    wineboot </dev/null >/dev/null 2>&1
}

stop() {
    wineserver -k >/dev/null 2>&1 || true
}

case "${1:-}" in
make) make ;;
start) start ;;
stop) stop ;;
*)
    echo "usage: $0 make|start|stop" >&2
    exit 2
    ;;
esac
