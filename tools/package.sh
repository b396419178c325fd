#!/usr/bin/env bash
# Builds quenmoor-update.exe for 32-bit (x86) and 64-bit (x64) Windows, signs both when a
# certificate is given, checks the very files that ship (PE headers, the end-to-end cases under
# Wine, the task definition under Wine's schtasks) and packs them with the deployment kit into
#   build/package/quenmoor-update-VERSION-windows.zip   and   ...zip.sha256
#
# Extra arguments go to CMake's configure step of both builds, e.g. -DQUENMOOR_FAQ_HOST=www.maker.com.
# They are kept in the build folders' caches for later runs, so the links used are printed below.
#
# Signing (Authenticode, with osslsigncode) happens when QUENMOOR_SIGN_PKCS12 is set:
#   QUENMOOR_SIGN_PKCS12          the PKCS#12 file holding the code-signing certificate and key
#   QUENMOOR_SIGN_PASSWORD        its password (handed to osslsigncode through a pipe, never on
#                                 a command line)
#   QUENMOOR_SIGN_TIMESTAMP_URL   optional: an RFC 3161 time-stamp server
#
# The same commit always gives the same unsigned bytes: the builds carry no time stamp and no
# build path, and the ZIP's file times are SOURCE_DATE_EPOCH (by default the commit's time).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-dependencies.sh >/dev/null

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) || {
        echo "not a git checkout: set SOURCE_DATE_EPOCH to the release's time" >&2
        exit 1
    }
fi
export SOURCE_DATE_EPOCH

declare -A preset=([x86]=windows-x86-release [x64]=windows-release)
architectures=(x86 x64)

for arch in "${architectures[@]}"; do
    cmake --preset "${preset[$arch]}" "$@" >/dev/null
    cmake --build --preset "${preset[$arch]}" >/dev/null
done

cache_value() { sed -n "s/^$2:[A-Z]*=//p" "build/${preset[$1]}/CMakeCache.txt"; }
for setting in CMAKE_PROJECT_VERSION QUENMOOR_FAQ_HOST QUENMOOR_PORTAL_HOST; do
    if [ "$(cache_value x86 "$setting")" != "$(cache_value x64 "$setting")" ]; then
        echo "the two builds differ in $setting; configure both alike" >&2
        exit 1
    fi
done
version=$(cache_value x64 CMAKE_PROJECT_VERSION)
faq="https://$(cache_value x64 QUENMOOR_FAQ_HOST)/faq/"
portal="https://$(cache_value x64 QUENMOOR_PORTAL_HOST)/?h=%hash%&u=%user%"
echo "quenmoor-update $version"
echo "  FAQ link:    $faq"
echo "  portal link: $portal"

name="quenmoor-update-$version-windows"
package=build/package
stage="$package/$name"
rm -rf "$package"
mkdir -p "$stage"
cp docs/DEPLOYMENT.md "$stage/"
for arch in "${architectures[@]}"; do
    mkdir "$stage/$arch"
    cp "build/${preset[$arch]}/app/quenmoor-update.exe" "$stage/$arch/"
    # Task Scheduler writes its definitions as UTF-16 with a byte-order mark and CRLF line ends;
    # shipped the same way, the file suits every schtasks that reads them.
    { printf '\xff\xfe' && sed 's/$/\r/' docs/quenmoor-update.task.xml |
        iconv -f UTF-8 -t UTF-16LE; } >"$stage/$arch/quenmoor-update.task.xml"
done

if [ -n "${QUENMOOR_SIGN_PKCS12:-}" ]; then
    timestamp=()
    [ -z "${QUENMOOR_SIGN_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$QUENMOOR_SIGN_TIMESTAMP_URL")
    for arch in "${architectures[@]}"; do
        exe="$stage/$arch/quenmoor-update.exe"
        osslsigncode sign -pkcs12 "$QUENMOOR_SIGN_PKCS12" \
            -readpass <(printf '%s' "${QUENMOOR_SIGN_PASSWORD:-}") \
            -h sha256 -n "quenmoor-update" "${timestamp[@]}" -in "$exe" -out "$exe.signed" >/dev/null
        mv "$exe.signed" "$exe"
    done
    echo "signed both programs with the certificate in $QUENMOOR_SIGN_PKCS12"
else
    echo "unsigned: set QUENMOOR_SIGN_PKCS12 (and QUENMOOR_SIGN_PASSWORD) to sign the programs"
fi

# The checks run on the files as they ship, signature included.
for arch in "${architectures[@]}"; do
    exe="$stage/$arch/quenmoor-update.exe"
    cmake -D "OBJDUMP=$(cache_value "$arch" CMAKE_OBJDUMP)" -D "PROGRAM=$exe" -D "ARCH=$arch" \
        -D NOTE=docs/DEPLOYMENT.md -P tests/windows/check_pe_headers.cmake
    status=0
    bash tests/windows/check_on_wine.sh "$arch" "build/${preset[$arch]}/wineprefix" "$exe" \
        "$stage/$arch/quenmoor-update.task.xml" "$faq" "$portal" || status=$?
    case $status in
    0) ;;
    77) echo "warning: the read-only profile case could not run on this machine (see above)" >&2 ;;
    *)
        echo "the $arch release failed its checks under Wine; nothing was packed" >&2
        exit 1
        ;;
    esac
done

# Windows Installer packages, one per architecture, beside the ZIP: built from the files as they
# ship, signed like the programs, then installed, upgraded and removed under Wine
# (tests/windows/msi_cycle.sh; QUENMOOR_MSI_CYCLE=0 leaves the cycle out).
for arch in "${architectures[@]}"; do
    msi="$package/$name-$arch.msi"
    bash tools/build-msi.sh "$arch" "$stage/$arch/quenmoor-update.exe" \
        "$stage/$arch/quenmoor-update.task.xml" "$version" "$msi" || { rm -f "$package"/*.msi*; exit 1; }
    if [ -n "${QUENMOOR_SIGN_PKCS12:-}" ]; then
        osslsigncode sign -pkcs12 "$QUENMOOR_SIGN_PKCS12" \
            -readpass <(printf '%s' "${QUENMOOR_SIGN_PASSWORD:-}") -h sha256 -n "Quenmoor Update" \
            "${timestamp[@]}" -in "$msi" -out "$msi.signed" >/dev/null || { rm -f "$package"/*.msi*; exit 1; }
        mv "$msi.signed" "$msi"
    fi
    other=()
    [ "$arch" != x64 ] || other=("$package/$name-x86.msi")
    if [ "${QUENMOOR_MSI_CYCLE:-1}" != 0 ] && ! bash tests/windows/msi_cycle.sh "$arch" \
        "build/${preset[$arch]}/msi-wineprefix" "$msi" "$faq" "$portal" "${other[@]}"; then
        echo "the $arch MSI package failed its install cycle under Wine; no package was left" >&2
        rm -f "$package"/*.msi*
        exit 1
    fi
    (cd "$package" && sha256sum "${msi##*/}" >"${msi##*/}.sha256")
done

# A ZIP of the same files is the same bytes: fixed order, times, permissions and time zone, and
# no extra fields (owner ids, precise times) or folder entries.
(
    cd "$stage"
    files=(DEPLOYMENT.md)
    for arch in "${architectures[@]}"; do
        files+=("$arch/quenmoor-update.exe" "$arch/quenmoor-update.task.xml")
    done
    sha256sum "${files[@]}" >SHA256SUMS
    files+=(SHA256SUMS)
    chmod 0644 "${files[@]}"
    touch -h -d "@$SOURCE_DATE_EPOCH" "${files[@]}"
    cd ..
    for file in "${files[@]}"; do
        echo "$name/$file"
    done | LC_ALL=C sort | TZ=UTC zip -q -X -D "$name.zip" -@
    sha256sum "$name.zip" >"$name.zip.sha256"
)
rm -rf "$stage"
echo "packed $package/$name.zip:"
zip -sf "$package/$name.zip" | sed -n 's/^  */  /p'
cat "$package/$name.zip.sha256" "$package"/*.msi.sha256
