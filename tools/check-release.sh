#!/usr/bin/env bash
# Proves what an administrator is told about the release, on the committed sources (HEAD):
# 1. Reproducible: two fresh clones, in folders of different names, packed one after the other,
#    give byte-identical programs, task definitions, checksums, ZIP and MSI packages.
# 2. Signed: tools/package.sh, given a code-signing certificate (a throwaway self-signed one made
#    here), signs the programs and both MSI packages of the first clone; the signatures verify
#    against that certificate, the signed programs pass the checks under Wine and the signed
#    MSI packages their install cycle (package.sh runs them on the files as shipped; the other
#    packings leave the cycle out), and with the signature removed each program is byte for
#    byte the second clone's unsigned build: the check an administrator can make by rebuilding.
# 3. Named for what it is (the ZIP and the MSI packages alike): "-unconfigured" for reserved link
#    hosts, "-unsigned", "-testsigned" (self-signed) and "-notimestamp" as they apply; the plain
#    name only for configured hosts, signed by a certificate that another issued (a throwaway
#    authority here) and time-stamped (by a throwaway time-stamp authority on the loopback
#    interface, tools/throwaway_tsa.py), with a release record naming those hosts, the commit and
#    both MSI codes. A certificate whose organisation is not the build's publisher stops the
#    packing. The three packings (unconfigured unsigned, test-signed, configured) have three
#    product codes, and only the configured one is named "Quenmoor Update" in Add/Remove
#    Programs. A fourth version field other than 0 is refused.
# Every packing also refuses a task definition, in the ZIP or in an MSI package, that does not run
# the program as LOCAL SERVICE or that names SYSTEM (tools/build-msi.sh), so each proves that too.
# Nothing is left in build/package: every package made here is a test package.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/release_identity.sh

bash tools/install-dependencies.sh >/dev/null
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "note: uncommitted changes are not part of the release checks: they build HEAD"
fi

work=build/release-check
rm -rf "$work"
mkdir -p "$work"
unset QUENMOOR_SIGN_PKCS12 QUENMOOR_SIGN_PASSWORD QUENMOOR_SIGN_TIMESTAMP_URL
commit=$(git rev-parse HEAD)

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The one ZIP and the two MSI packages that the last packing of the clone in FOLDER made, which
# must be named NAME.zip, NAME-x86.msi and NAME-x64.msi.
expect_package() {
    local folder=$1 name=$2 zips msis
    zips=("$folder"/build/package/*.zip)
    msis=("$folder"/build/package/*.msi)
    [ "${#zips[@]}" -eq 1 ] && [ "$(basename "${zips[0]}")" = "$name.zip" ] &&
        [ "${msis[*]##*/}" = "$name-x64.msi $name-x86.msi" ] ||
        fail "expected the packages $name.zip, $name-x64.msi and $name-x86.msi, found: $(cd "$folder/build/package" && echo *)"
}

# Packs a fresh clone of HEAD in FOLDER and unpacks its ZIP into FOLDER/unpacked.
pack_clone() {
    local folder=$1
    git clone -q --no-local . "$folder"
    echo "== packing a fresh clone in $folder ($(date +%T))"
    # The MSI install cycle runs once, on the signed packages below.
    QUENMOOR_MSI_CYCLE=0 bash "$folder/tools/package.sh" >"$folder.log" 2>&1 || {
        cat "$folder.log"
        exit 1
    }
    expect_package "$folder" quenmoor-update-1.0.0.0-unconfigured-unsigned-windows
    (cd "$folder/build/package" && sha256sum -- *.zip *.zip.sha256 *.msi *.msi.sha256) >"$folder.sums"
    mkdir "$folder/unpacked"
    unzip -q "$folder"/build/package/*.zip -d "$folder/unpacked"
    (cd "$folder/unpacked" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum) \
        >>"$folder.sums"
}

pack_clone "$work/first"
pack_clone "$work/second-build-folder"
echo "== SHA-256 of every artifact:"
cat "$work/first.sums"
if ! diff "$work/first.sums" "$work/second-build-folder.sums"; then
    fail "two builds of the same commit differ (above: first, then second)"
fi
echo "reproducible: both builds are byte-identical; the default build is named unconfigured"

# A throwaway code-signing certificate in KEY/NAME.p12, with the password in KEY/password:
# self-signed, or issued by the certificate authority KEY/ca when ISSUED is "issued"; its
# organisation is ORGANISATION, by default the build's publisher.
key="$work/signing"
mkdir -m 0700 "$key"
openssl rand -hex 16 >"$key/password"
make_certificate() {
    local name=$1 issued=${2:-} organisation=${3:-Ostrel} issuer=()
    local usage=(-addext "keyUsage=critical,digitalSignature"
        -addext "extendedKeyUsage=codeSigning" -addext "basicConstraints=critical,CA:FALSE")
    if [ "$issued" = issued ]; then
        [ -f "$key/ca.pem" ] || openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes \
            -subj "/CN=Quenmoor CI throwaway authority" -keyout "$key/ca-key.pem" \
            -out "$key/ca.pem" 2>/dev/null
        issuer=(-CA "$key/ca.pem" -CAkey "$key/ca-key.pem")
    fi
    openssl req -x509 -newkey rsa:3072 -sha256 -days 2 -nodes -subj "/CN=Quenmoor CI $name/O=$organisation" \
        "${usage[@]}" "${issuer[@]}" -keyout "$key/$name-key.pem" -out "$key/$name.pem" \
        2>/dev/null
    openssl pkcs12 -export -inkey "$key/$name-key.pem" -in "$key/$name.pem" \
        -out "$key/$name.p12" -passout "file:$key/password"
}

echo "== the qualifiers of a package's name"
make_certificate selfsigned
make_certificate issued issued
make_certificate foreign issued "Someone Else"
while read -r faq_host certificate timestamped expected; do
    subject="" issuer=""
    if [ "$certificate" != none ]; then
        read_signing_certificate "$key/$certificate.p12" <"$key/password" ||
            fail "cannot read $certificate.p12"
        subject=$CERTIFICATE_SUBJECT issuer=$CERTIFICATE_ISSUER
    fi
    got=$(release_qualifiers "$faq_host" portal.maker.com "$subject" "$issuer" "$timestamped")
    [ "$got" = "${expected#=}" ] ||
        fail "hosts $faq_host, certificate $certificate, time stamp $timestamped: qualifiers '$got', not '${expected#=}'"
done <<'TABLE'
www.maker.com          issued      yes  =
www.maker.com          issued      no   =-notimestamp
www.maker.com          none        no   =-unsigned
www.maker.com          selfsigned  yes  =-testsigned
www.ostrel.example     none        no   =-unconfigured-unsigned
help.maker.test        issued      yes  =-unconfigured
www.ostrel.example     selfsigned  no   =-unconfigured-testsigned-notimestamp
TABLE
echo "only configured, issued and time-stamped packages have the plain name"

# The product code of the x64 package of the clone's last packing, from its release record.
product_code() { tr -d '\r' <"$1"/*/RELEASE.txt | sed -n 's/^MSI x64 ProductCode: *//p'; }
unsigned="$work/unsigned"
mkdir "$unsigned"
unzip -q "$work"/first/build/package/*.zip -d "$unsigned"

echo "== signing with a throwaway self-signed certificate"
QUENMOOR_SIGN_PKCS12="$PWD/$key/selfsigned.p12" QUENMOOR_SIGN_PASSWORD="$(cat "$key/password")" \
    bash "$work/first/tools/package.sh"
expect_package "$work/first" quenmoor-update-1.0.0.0-unconfigured-testsigned-notimestamp-windows

signed="$work/signed"
mkdir "$signed"
unzip -q "$work"/first/build/package/*.zip -d "$signed"
# The shipped programs and their descriptions, as the clone's build wrote them down.
export QUENMOOR_FACTS="$PWD/$work/first/build/windows-release/quenmoor-facts.json"
facts() { python3 tools/facts.py "$QUENMOOR_FACTS" "$@"; }
mapfile -t programs < <(facts programs)
for program in "${programs[@]/#/x86/}" "${programs[@]/#/x64/}"; do
    description=$(facts description "${program#*/}")
    program+=.exe
    exe=$(echo "$signed"/*/"$program")
    if ! osslsigncode verify -in "$exe" -CAfile "$key/selfsigned.pem" >"$exe.verify" 2>&1; then
        cat "$exe.verify"
        fail "the signature of $program does not verify"
    fi
    grep -qx $'\tText description: '"$description" "$exe.verify" ||
        fail "$program is not signed under its own description '$description'"
    osslsigncode remove-signature -in "$exe" -out "$exe.stripped" >/dev/null
    rebuilt=$(echo "$work"/second-build-folder/unpacked/*/"$program")
    cmp -s "$exe.stripped" "$rebuilt" ||
        fail "$program without its signature differs from the rebuild"
    echo "$program: signature valid for the throwaway certificate; unsigned, identical to the rebuild"
done
for msi in "$work"/first/build/package/*.msi; do
    if ! osslsigncode verify -in "$msi" -CAfile "$key/selfsigned.pem" >"$msi.verify" 2>&1; then
        cat "$msi.verify"
        fail "the signature of ${msi##*/} does not verify"
    fi
    echo "${msi##*/}: signature valid for the throwaway certificate"
done
(cd "$signed"/* && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the signed files"
thumbprint=$(openssl x509 -in "$key/selfsigned.pem" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
grep -q "^Thumbprint: *$thumbprint (SHA-1)" "$signed"/*/RELEASE.txt ||
    fail "RELEASE.txt of the signed package does not name the certificate's thumbprint $thumbprint"

testsigned="$work/testsigned"
mkdir "$testsigned"
unzip -q "$work"/first/build/package/*.zip -d "$testsigned"

echo "== a certificate of another organisation than the publisher"
if QUENMOOR_MSI_CYCLE=0 QUENMOOR_SIGN_PKCS12="$PWD/$key/foreign.p12" \
    QUENMOOR_SIGN_PASSWORD="$(cat "$key/password")" bash "$work/first/tools/package.sh" \
    >"$work/foreign.log" 2>&1; then
    fail "a certificate of 'Someone Else' signed a release whose publisher is Ostrel"
fi
grep -q "organisation 'Someone Else'" "$work/foreign.log" || {
    cat "$work/foreign.log"
    fail "the packing with a foreign certificate failed for another reason (above)"
}
echo "refused: the certificate's organisation is not the publisher"

echo "== configured link hosts, an issued certificate and a time stamp"
python3 tools/throwaway_tsa.py "$work/tsa" &
tsa=$!
trap 'kill "$tsa" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s "$work/tsa/url" ] && break || sleep 0.1; done
[ -s "$work/tsa/url" ] || fail "the throwaway time-stamp authority did not start"
QUENMOOR_MSI_CYCLE=0 QUENMOOR_SIGN_PKCS12="$PWD/$key/issued.p12" \
    QUENMOOR_SIGN_PASSWORD="$(cat "$key/password")" QUENMOOR_SIGN_TIMESTAMP_URL="$(cat "$work/tsa/url")" \
    bash "$work/first/tools/package.sh" -DQUENMOOR_FAQ_HOST=help.quenmoor-check.net \
    -DQUENMOOR_PORTAL_HOST=portal.quenmoor-check.net >"$work/configured.log" 2>&1 || {
    cat "$work/configured.log"
    exit 1
}
expect_package "$work/first" quenmoor-update-1.0.0.0-windows
configured="$work/configured"
mkdir "$configured"
unzip -q "$work"/first/build/package/*.zip -d "$configured"
for signed_file in "$configured"/*/*/*.exe "$work"/first/build/package/*.msi; do
    osslsigncode verify -in "$signed_file" -CAfile "$key/ca.pem" -TSA-CAfile "$work/tsa/tsa.pem" \
        >"$work/verify.log" 2>&1 && grep -q "Timestamp time:" "$work/verify.log" || {
        cat "$work/verify.log"
        fail "${signed_file##*/} has no valid signature with a time stamp"
    }
done
# The upgrade code is written out here on purpose, beside the facts file's: changed, it would
# leave every installed copy behind.
for line in "Commit: *$commit\$" "FAQ link: *https://help.quenmoor-check.net/faq/\$" \
    "Portal link: *https://portal.quenmoor-check.net/?h=%hash%&u=%user%\$" \
    "Signed by: *O=Ostrel,CN=Quenmoor CI issued\$" "Time stamp: *applied by " \
    "MSI x86 ProductCode: *{" "MSI x64 UpgradeCode: *{2E9B5A73-C61D-4A07-8F3E-B4D0C9152A68}\$"; do
    tr -d '\r' <"$configured"/*/RELEASE.txt | grep -q "^$line" ||
        fail "RELEASE.txt of the configured package lacks a line '$line'"
done
[ -s "$configured"/*/THIRD-PARTY-NOTICES.txt ] || fail "the package has no third-party notices"
msi_property() { msiinfo export "$1" Property | tr -d '\r' | awk -F '\t' -v p="$2" '$1 == p { print $2 }'; }
for msi in "$work"/first/build/package/*.msi; do
    [ "$(msi_property "$msi" ProductName)" = "Quenmoor Update" ] ||
        fail "${msi##*/} is named '$(msi_property "$msi" ProductName)' in Add/Remove Programs"
done
echo "configured, issued and time-stamped: plain name, RELEASE.txt names the hosts, the commit and the MSI codes"

echo "== every build its own product"
codes=("$(product_code "$unsigned")" "$(product_code "$testsigned")" "$(product_code "$configured")")
[ "$(printf '%s\n' "${codes[@]}" | grep -c '^{')" -eq 3 ] && [ "$(printf '%s\n' "${codes[@]}" | sort -u | wc -l)" -eq 3 ] ||
    fail "the unconfigured, test-signed and configured x64 packages have the product codes ${codes[*]}"
echo "x64 product codes: unconfigured ${codes[0]}, test-signed ${codes[1]}, configured ${codes[2]}"
SOURCE_DATE_EPOCH=0 bash tools/build-msi.sh x64 "$configured"/*/x64/quenmoor-update.exe \
    "$configured"/*/x64/quenmoor-update.task.xml "$configured"/*/Test-QuenmoorFolders.ps1 1.0.0.1 Ostrel \
    "$work/fourth-field.msi" >"$work/fourth-field.log" 2>&1 && fail "version 1.0.0.1 was packed"
grep -q "ignores the fourth number" "$work/fourth-field.log" || {
    cat "$work/fourth-field.log"
    fail "version 1.0.0.1 was refused for another reason (above)"
}
echo "refused: a fourth version field other than 0"
echo "release checks passed; the packages made here are in $work"
