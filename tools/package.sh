#!/usr/bin/env bash
# Builds quenmoor-update.exe and the read-only quenmoor-check.exe for 32-bit (x86) and 64-bit
# (x64) Windows, signs them when a certificate is given, checks the very files that ship (PE headers, manifest and version record,
# the links against the release record, the end-to-end cases and the task definition under Wine)
# and packs them with the deployment kit (the note, the task definition, the folder check
# Test-QuenmoorFolders.ps1, the monitoring scripts of docs/monitoring/) into
#   build/package/quenmoor-update-VERSION[QUALIFIERS]-windows.zip   and   ...zip.sha256
#
# The name says what cannot be deployed (tools/release_identity.sh): "-unconfigured" when a link
# host lies in a reserved domain (the defaults are www.ostrel.example and portal.ostrel.example),
# "-unsigned", "-testsigned" for a self-signed certificate, "-notimestamp" for a signature without
# a time stamp; the MSI packages of such a build are named "Quenmoor Update (unconfigured)" or
# "(test)" in Add/Remove Programs. A certificate whose organisation is not the publisher stops the
# packing. The ZIP's RELEASE.txt records the commit, the links, the signer, the tools and the
# MSI packages' product and upgrade codes.
#
# Extra arguments go to CMake's configure step of both builds, e.g. -DQUENMOOR_FAQ_HOST=www.maker.com.
# They are kept in the build folders' caches for later runs, so the links used are printed below.
#
# Signing (Authenticode, with osslsigncode) happens when QUENMOOR_SIGN_PKCS12 is set:
#   QUENMOOR_SIGN_PKCS12          the PKCS#12 file holding the code-signing certificate and key
#   QUENMOOR_SIGN_PASSWORD        its password (handed to osslsigncode and openssl through a
#                                 pipe, never on a command line)
#   QUENMOOR_SIGN_TIMESTAMP_URL   optional: an RFC 3161 time-stamp server
#
# The same commit always gives the same unsigned bytes: the builds carry no time stamp and no
# build path, and the ZIP's file times are SOURCE_DATE_EPOCH (by default the commit's time).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/release_identity.sh

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

# The release's facts as each build's configuration wrote them (cmake/ReleaseFacts.cmake).
facts() { python3 tools/facts.py "build/${preset[$1]}/quenmoor-facts.json" "${@:2}"; }
for fact in version faq_link portal_link publisher programs; do
    if [ "$(facts x86 "$fact")" != "$(facts x64 "$fact")" ]; then
        echo "the two builds differ in $fact; configure both alike" >&2
        exit 1
    fi
done
version=$(facts x64 version)
faq_host=$(facts x64 faq_host)
portal_host=$(facts x64 portal_host)
faq=$(facts x64 faq_link)
portal=$(facts x64 portal_link)
mapfile -t programs < <(facts x64 programs)
echo "quenmoor-update $version"
echo "  FAQ link:    $faq"
echo "  portal link: $portal"
if reserved_host "$faq_host" || reserved_host "$portal_host"; then
    echo "  a link host is reserved for examples: the package is named unconfigured"
fi

commit=$(git rev-parse HEAD 2>/dev/null) || commit="unknown (not a git checkout)"
if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
    commit+=" with uncommitted changes"
fi

publisher=$(facts x64 publisher)
CERTIFICATE_SUBJECT="" CERTIFICATE_ISSUER="" CERTIFICATE_SHA1="" timestamped=no
if [ -n "${QUENMOOR_SIGN_PKCS12:-}" ]; then
    read_signing_certificate "$QUENMOOR_SIGN_PKCS12" < <(printf '%s' "${QUENMOOR_SIGN_PASSWORD:-}") || {
        echo "cannot read the certificate in $QUENMOOR_SIGN_PKCS12 (wrong file or password?)" >&2
        exit 1
    }
    # Windows shows the signer's organisation as the publisher; the programs' version record
    # and the packages must name the same one.
    organisation=$(subject_organisation "$CERTIFICATE_SUBJECT")
    if [ "$organisation" != "$publisher" ]; then
        echo "the certificate names the organisation '$organisation' ($CERTIFICATE_SUBJECT)," \
            "but the build's publisher is '$publisher' (QUENMOOR_PUBLISHER); nothing was packed" >&2
        exit 1
    fi
    [ -z "${QUENMOOR_SIGN_TIMESTAMP_URL:-}" ] || timestamped=yes
fi

qualifiers=$(release_qualifiers "$faq_host" "$portal_host" "$CERTIFICATE_SUBJECT" \
    "$CERTIFICATE_ISSUER" "$timestamped")
name="quenmoor-update-$version$qualifiers-windows"
# What Add/Remove Programs shows of a package not to deploy.
case $qualifiers in
"") test_build=() ;;
-unconfigured*) test_build=(--test-build=unconfigured) ;;
*) test_build=(--test-build=test) ;;
esac
package=build/package
stage="$package/$name"
rm -rf "$package"
mkdir -p "$stage"

# Plain text for Windows: CRLF line ends, so that every Notepad shows the lines.
crlf() { sed 's/\r*$/\r/' "$@"; }
crlf docs/DEPLOYMENT.md >"$stage/DEPLOYMENT.txt"
crlf docs/Test-QuenmoorFolders.ps1 >"$stage/Test-QuenmoorFolders.ps1"
# The monitoring scripts for Configuration Manager and Intune (DEPLOYMENT.txt, "Where each shop
# stands"); tools/check-monitoring-scripts.sh checks them and, below, the ZIP's copies.
monitoring_scripts=(Quenmoor-ConfigMgr-Discovery.ps1 Quenmoor-Intune-Detection.ps1 Quenmoor-Intune-Remediation.ps1)
mkdir "$stage/monitoring"
for script in "${monitoring_scripts[@]}"; do
    crlf "docs/monitoring/$script" >"$stage/monitoring/$script"
done
bash tools/third-party-notices.sh | crlf >"$stage/THIRD-PARTY-NOTICES.txt"
for arch in "${architectures[@]}"; do
    mkdir "$stage/$arch"
    for program in "${programs[@]}"; do
        cp "build/${preset[$arch]}/app/$program.exe" "$stage/$arch/"
    done
    # Task Scheduler writes its definitions as UTF-16 with a byte-order mark and CRLF line ends;
    # shipped the same way, the file suits every schtasks that reads them.
    { printf '\xff\xfe' && sed "s|<Author>[^<]*</Author>|<Author>${publisher//|/\\|}</Author>|" \
        docs/quenmoor-update.task.xml | crlf | iconv -f UTF-8 -t UTF-16LE; } \
        >"$stage/$arch/quenmoor-update.task.xml"
done

timestamp=()
# Signs FILE in place with Authenticode under the name DESCRIPTION (the password through a pipe).
sign() {
    osslsigncode sign -pkcs12 "$QUENMOOR_SIGN_PKCS12" \
        -readpass <(printf '%s' "${QUENMOOR_SIGN_PASSWORD:-}") -h sha256 -n "$2" \
        "${timestamp[@]}" -in "$1" -out "$1.signed" >/dev/null && mv "$1.signed" "$1"
}
if [ -n "${QUENMOOR_SIGN_PKCS12:-}" ]; then
    [ -z "${QUENMOOR_SIGN_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$QUENMOOR_SIGN_TIMESTAMP_URL")
    # Each program under its own description, the one its version record carries.
    for arch in "${architectures[@]}"; do
        for program in "${programs[@]}"; do
            sign "$stage/$arch/$program.exe" "$(facts "$arch" description "$program")"
        done
    done
    echo "signed the programs as $CERTIFICATE_SUBJECT (SHA-1 $CERTIFICATE_SHA1)"
else
    echo "unsigned: set QUENMOOR_SIGN_PKCS12 (and QUENMOOR_SIGN_PASSWORD) to sign the programs"
fi

package_version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || echo "not installed"; }
{
    echo "quenmoor-update $version"
    echo
    echo "Commit:         $commit"
    echo "Commit time:    $(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%dT%H:%M:%SZ)"
    echo "FAQ link:       $faq"
    echo "Portal link:    $portal"
    if [ -n "$CERTIFICATE_SHA1" ]; then
        echo "Signed by:      $CERTIFICATE_SUBJECT"
        echo "Issued by:      $CERTIFICATE_ISSUER"
        echo "Thumbprint:     $CERTIFICATE_SHA1 (SHA-1)"
        if [ "${#timestamp[@]}" -gt 0 ]; then
            echo "Time stamp:     applied by $QUENMOOR_SIGN_TIMESTAMP_URL"
        else
            echo "Time stamp:     none (the signature is valid while the certificate is)"
        fi
        echo "osslsigncode:   $(osslsigncode --version 2>&1 | head -1 | sed 's/,.*//')"
    else
        echo "Signed by:      unsigned"
        echo "Time stamp:     none"
        echo "osslsigncode:   not used"
    fi
    for arch in "${architectures[@]}"; do
        compiler=$(facts "$arch" cxx_compiler)
        compiler_package=$(dpkg-query -S "$compiler" 2>/dev/null | cut -d: -f1 | head -1)
        echo "Compiler $arch:   $(basename "$compiler"), $compiler_package $(package_version "$compiler_package")"
    done
    echo "mingw-w64:      $(package_version mingw-w64-common)"
    echo "Notices:        THIRD-PARTY-NOTICES.txt (the runtime libraries linked into the programs)"
} | crlf >"$stage/RELEASE.txt"

# The release record must tell the truth: its links are the ones built into each program (as
# UTF-16 text) and the ones an end-to-end run writes into a profile.
record_value() { sed -n "s/^$1: *//p" "$stage/RELEASE.txt" | tr -d '\r'; }
record_faq=$(record_value "FAQ link")
record_portal=$(record_value "Portal link")

# The checks run on the files as they ship, signature included.
# 32-bit Wine runs natively or, where the kernel runs no 32-bit programs, under qemu-i386
# (tests/windows/bin/wine); after tools/install-dependencies.sh it has no reason not to run.
x86_wine=$(bash tests/windows/host_runs_32bit.sh) || {
    echo "the x86 release cannot be checked under Wine on this host; nothing was packed" >&2
    exit 1
}
echo "32-bit Wine on this host: $x86_wine"
run_under_wine=()
for arch in "${architectures[@]}"; do
    for exe in "$stage/$arch"/*.exe; do
        cmake -D "OBJDUMP=$(facts "$arch" objdump)" -D "PROGRAM=$exe" -D "ARCH=$arch" \
            -D NOTE=docs/DEPLOYMENT.md -P tests/windows/check_pe_headers.cmake
        built_in=$(strings -el "$exe" | grep '^https://' | LC_ALL=C sort)
        if [ "$built_in" != "$(printf '%s\n' "$record_faq" "$record_portal" | LC_ALL=C sort)" ]; then
            echo "FAIL: the links in $arch/${exe##*/} are not those of RELEASE.txt:" >&2
            echo "$built_in" >&2
            exit 1
        fi
    done
    exe="$stage/$arch/quenmoor-update.exe"
    run_under_wine+=("$arch")
    status=0
    bash tests/windows/check_on_wine.sh "$arch" "build/${preset[$arch]}/wineprefix" "$exe" \
        "$stage/$arch/quenmoor-update.task.xml" "build/${preset[$arch]}/quenmoor-facts.json" || status=$?
    case $status in
    0) ;;
    *)
        echo "the $arch release failed its checks under Wine; nothing was packed" >&2
        exit 1
        ;;
    esac
done
echo "RELEASE.txt names the links built into every program and written under Wine by:" \
    "${run_under_wine[*]:-none}"

# Windows Installer packages, one per architecture, beside the ZIP and named like it: built from
# the files as they ship, signed like the programs, then installed, upgraded and removed under
# Wine (tests/windows/msi_cycle.sh; QUENMOOR_MSI_CYCLE=0 leaves the cycle out).
for arch in "${architectures[@]}"; do
    # The package's codes and names (tools/build-msi.sh, tools/check-msi.sh, the cycle).
    export QUENMOOR_FACTS="$PWD/build/${preset[$arch]}/quenmoor-facts.json"
    msi="$package/$name-$arch.msi"
    bash tools/build-msi.sh "${test_build[@]}" --help-link="$faq" "$arch" "$stage/$arch/quenmoor-update.exe" \
        "$stage/$arch/quenmoor-update.task.xml" "$stage/Test-QuenmoorFolders.ps1" "$version" "$publisher" "$msi" ||
        { rm -f "$package"/*.msi*; exit 1; }
    if [ -n "${QUENMOOR_SIGN_PKCS12:-}" ]; then
        sign "$msi" "Quenmoor Update" || { rm -f "$package"/*.msi*; exit 1; }
    fi
    other=()
    [ "$arch" != x64 ] || other=("$package/$name-x86.msi")
    if [ "${QUENMOOR_MSI_CYCLE:-1}" = 0 ]; then
        :
    elif ! bash tests/windows/msi_cycle.sh "$arch" "build/${preset[$arch]}/msi-wineprefix" "$msi" \
        "build/${preset[$arch]}/quenmoor-facts.json" "${other[@]}"; then
        echo "the $arch MSI package failed its install cycle under Wine; no package was left" >&2
        rm -f "$package"/*.msi*
        exit 1
    fi
    (cd "$package" && sha256sum "${msi##*/}" | crlf >"${msi##*/}.sha256")
    # Detection rules and upgrades find the package by these codes.
    for code in ProductCode UpgradeCode; do
        printf '%-21s%s\n' "MSI $arch $code:" "$(msiinfo export "$msi" Property | tr -d '\r' |
            awk -F '\t' -v p="$code" '$1 == p { print $2 }')"
    done | crlf >>"$stage/RELEASE.txt"
done

# A ZIP of the same files is the same bytes: fixed order, times, permissions and time zone, and
# no extra fields (owner ids, precise times) or folder entries.
(
    cd "$stage"
    files=(DEPLOYMENT.txt RELEASE.txt THIRD-PARTY-NOTICES.txt Test-QuenmoorFolders.ps1)
    files+=("${monitoring_scripts[@]/#/monitoring/}")
    mapfile -t shipped < <(printf '%s\n' "${programs[@]/%/.exe}" quenmoor-update.task.xml | LC_ALL=C sort)
    for arch in "${architectures[@]}"; do
        files+=("${shipped[@]/#/$arch/}")
    done
    sha256sum "${files[@]}" | crlf >SHA256SUMS
    files+=(SHA256SUMS)
    chmod 0644 "${files[@]}"
    touch -h -d "@$SOURCE_DATE_EPOCH" "${files[@]}"
    cd ..
    for file in "${files[@]}"; do
        echo "$name/$file"
    done | LC_ALL=C sort | TZ=UTC zip -q -X -D "$name.zip" -@
    sha256sum "$name.zip" | crlf >"$name.zip.sha256"
)
bash tools/check-monitoring-scripts.sh "$package/$name.zip" || { rm -f "$package/$name.zip"*; exit 1; }
rm -rf "$stage"
echo "packed $package/$name.zip:"
zip -sf "$package/$name.zip" | sed -n 's/^  */  /p'
cat "$package/$name.zip.sha256" "$package"/*.msi.sha256
