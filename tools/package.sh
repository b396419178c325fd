#!/usr/bin/env bash
# Builds the release quenmoor-update.exe, checks the very file that ships (imports, and the
# end-to-end cases under Wine), and packs it with the deployment note into
#   build/package/quenmoor-update-VERSION-windows-x64.zip   and   ...zip.sha256
# Extra arguments go to CMake's configure step, e.g. -DQUENMOOR_FAQ_HOST=www.maker.com. They are
# kept in build/windows-release's cache for later runs, so the links used are printed below.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-dependencies.sh >/dev/null
cmake --preset windows-release "$@" >/dev/null
cmake --build --preset windows-release >/dev/null

build=build/windows-release
exe="$build/app/quenmoor-update.exe"
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cache_value CMAKE_PROJECT_VERSION)
faq="https://$(cache_value QUENMOOR_FAQ_HOST)/faq/"
portal="https://$(cache_value QUENMOOR_PORTAL_HOST)/?h=%hash%&u=%user%"
echo "quenmoor-update $version"
echo "  FAQ link:    $faq"
echo "  portal link: $portal"

cmake -D "OBJDUMP=$(cache_value CMAKE_OBJDUMP)" -D "PROGRAM=$exe" \
    -P tests/windows/check_imports.cmake

# The end-to-end cases on the release build itself, in a throwaway prefix of its build tree.
export WINEPREFIX="$PWD/$build/wineprefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
trap 'bash tests/windows/wine_prefix.sh stop' EXIT
bash tests/windows/wine_prefix.sh start
status=0
bash tests/e2e/program_test.sh --run-with=wine --read-only=immutable --loose-layout \
    "$exe" "$WINEPREFIX/drive_c" "$faq" "$portal" || status=$?
case $status in
0) ;;
77) echo "warning: the read-only profile case could not run on this machine (see above)" >&2 ;;
*)
    echo "the release build failed its end-to-end checks; nothing was packed" >&2
    exit 1
    ;;
esac

name="quenmoor-update-$version-windows-x64"
package=build/package
rm -rf "$package"
mkdir -p "$package/$name"
cp "$exe" docs/DEPLOYMENT.md "$package/$name/"
(
    cd "$package/$name"
    sha256sum quenmoor-update.exe DEPLOYMENT.md >SHA256SUMS
    cd ..
    zip -q -r -X "$name.zip" "$name"
    sha256sum "$name.zip" >"$name.zip.sha256"
)
rm -rf "${package:?}/$name"
echo "packed $package/$name.zip:"
zip -sf "$package/$name.zip" | sed -n 's/^  */  /p'
cat "$package/$name.zip.sha256"
