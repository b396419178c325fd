#!/usr/bin/env bash
# Proves what an administrator is told about the release, on the committed sources (HEAD):
# 1. Reproducible: two fresh clones, in folders of different names, packed one after the other,
#    give byte-identical programs, task definitions, checksums and ZIP.
# 2. Signed: tools/package.sh, given a code-signing certificate (a throwaway self-signed one made
#    here), signs both programs of the first clone; the signatures verify against that
#    certificate, the signed programs pass the checks under Wine (package.sh runs them on the
#    files as shipped), and with the signature removed each program is byte for byte the
#    second clone's unsigned build: the check an administrator can make by rebuilding.
# The signed package is then copied to build/package.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-dependencies.sh >/dev/null
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "note: uncommitted changes are not part of the release checks: they build HEAD"
fi

work=build/release-check
rm -rf "$work"
mkdir -p "$work"
unset QUENMOOR_SIGN_PKCS12 QUENMOOR_SIGN_PASSWORD QUENMOOR_SIGN_TIMESTAMP_URL

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
    echo "FAIL: two builds of the same commit differ (above: first, then second)" >&2
    exit 1
fi
echo "reproducible: both builds are byte-identical"

echo "== signing with a throwaway certificate"
key="$work/signing"
mkdir -m 0700 "$key"
openssl req -x509 -newkey rsa:3072 -sha256 -days 2 -nodes -subj "/CN=Quenmoor CI throwaway" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
    -addext "basicConstraints=critical,CA:FALSE" \
    -keyout "$key/key.pem" -out "$key/certificate.pem" 2>/dev/null
password=$(openssl rand -hex 16)
openssl pkcs12 -export -inkey "$key/key.pem" -in "$key/certificate.pem" \
    -out "$key/certificate.p12" -passout fd:3 3<<<"$password"
QUENMOOR_SIGN_PKCS12="$PWD/$key/certificate.p12" QUENMOOR_SIGN_PASSWORD="$password" \
    bash "$work/first/tools/package.sh"

signed="$work/signed"
mkdir "$signed"
unzip -q "$work"/first/build/package/*.zip -d "$signed"
for arch in x86 x64; do
    exe=$(echo "$signed"/*/"$arch"/quenmoor-update.exe)
    if ! osslsigncode verify -in "$exe" -CAfile "$key/certificate.pem" >"$exe.verify" 2>&1; then
        cat "$exe.verify"
        echo "FAIL: the signature of $arch/quenmoor-update.exe does not verify" >&2
        exit 1
    fi
    osslsigncode remove-signature -in "$exe" -out "$exe.stripped" >/dev/null
    rebuilt=$(echo "$work"/second-build-folder/unpacked/*/"$arch"/quenmoor-update.exe)
    if ! cmp -s "$exe.stripped" "$rebuilt"; then
        echo "FAIL: $arch/quenmoor-update.exe without its signature differs from the rebuild" >&2
        exit 1
    fi
    echo "$arch: signature valid for the throwaway certificate; unsigned, identical to the rebuild"
done
for msi in "$work"/first/build/package/*.msi; do
    if ! osslsigncode verify -in "$msi" -CAfile "$key/certificate.pem" >"$msi.verify" 2>&1; then
        cat "$msi.verify"
        echo "FAIL: the signature of ${msi##*/} does not verify" >&2
        exit 1
    fi
    echo "${msi##*/}: signature valid for the throwaway certificate"
done
(cd "$signed"/* && sha256sum --quiet -c SHA256SUMS) || {
    echo "FAIL: SHA256SUMS does not match the signed files" >&2
    exit 1
}
rm -rf build/package
cp -r "$work/first/build/package" build/package
echo "release checks passed; the signed package is in build/package"
