#!/usr/bin/env bash
# Runs a shipped Windows program under Wine with its calls into Windows traced, and fails unless
# it asks for redirection trust before it looks at the profile: SetProcessMitigationPolicy found
# by name at run time (Windows 7 has none to import), asked for policy 16 with a four-byte
# structure. What the structure holds is redirection_trust_test's to check.
# Usage: asks_redirection_trust.sh LAUNCHER PROGRAM   (the Wine prefix and settings as CTest sets them)
set -euo pipefail

trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
WINEDEBUG=+relay "$1" "$2" </dev/null >/dev/null 2>"$trace" || true
line_of() { grep -n -m1 -e "$1" "$trace" | cut -d: -f1; }
found=$(line_of 'GetProcAddress([0-9a-f]*,[0-9a-f]* "SetProcessMitigationPolicy")')
asked=$(line_of '\.SetProcessMitigationPolicy(00000010,[0-9a-f]*,00000004)')
profile=$(line_of 'GetFileAttributesW([0-9a-f]* L"C:\\\\Ostrel\\\\')
if [ -z "$found" ] || [ -z "$asked" ] || [ -z "$profile" ] || [ "$found" -gt "$asked" ] ||
    [ "$asked" -gt "$profile" ]; then
    echo "FAIL: ${2##*/} looked up SetProcessMitigationPolicy at line '$found' of the trace," \
        "asked for policy 16 at '$asked', looked at the profile at '$profile'" >&2
    exit 1
fi
echo "${2##*/} asks for redirection trust before it looks at the profile"
