#!/usr/bin/env bash
# Sets everything up on a fresh Debian machine, builds the program and runs it once on a sample
# profile in a throwaway drive folder, showing the profile before and after.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-dependencies.sh
cmake --preset demo >/dev/null
cmake --build --preset demo >/dev/null

root=build/demo/drive_c
source="$root/Ostrel/Tessarin/Palvendo/Suporte/Quenmoor.ini"
target="$root/Ostrel/Tessarin/Programs/Quenmoor.ini"
rm -rf "$root"
mkdir -p "$(dirname "$source")" "$(dirname "$target")"
cp tools/sample/Quenmoor.ini "$source"

echo "== Before: $source"
cat "$source"
status=0
build/demo/app/quenmoor-update || status=$?
echo
echo "== After (exit status $status); changes:"
diff -u tools/sample/Quenmoor.ini "$source" || true
echo
if cmp -s "$source" "$target"; then
    echo "== Copied to $target"
else
    echo "== No copy at $target"
fi
