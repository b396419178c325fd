# What a release package says about itself, for tools/package.sh and tools/check-release.sh to
# source: the words in its name that keep a test build from passing for a release, and the facts
# of the certificate that signs it.

# True when HOST lies in a top-level domain reserved for examples and tests (RFC 2606, RFC 6761):
# such a link resolves nowhere, so a package carrying it must never be deployed.
reserved_host() {
    case ${1,,} in
    *.example | *.invalid | *.test | *.localhost | example | invalid | test | localhost) return 0 ;;
    *) return 1 ;;
    esac
}

# The qualifiers of a package's name: "-unconfigured" when a link host is reserved; then
# "-unsigned" without a certificate, or "-testsigned" when the certificate is its own issuer
# (self-signed); then "-notimestamp" for a signature without a time stamp, which stops
# validating when the certificate expires. Only a configured package, signed by a certificate
# that another issued and time-stamped, carries the plain name.
# Usage: release_qualifiers FAQ_HOST PORTAL_HOST SUBJECT ISSUER TIMESTAMPED
#   SUBJECT and ISSUER are empty when the package is unsigned; TIMESTAMPED is "yes" or "no"
release_qualifiers() {
    local qualifiers=""
    if reserved_host "$1" || reserved_host "$2"; then
        qualifiers+="-unconfigured"
    fi
    if [ -z "$3" ]; then
        qualifiers+="-unsigned"
    else
        [ "$3" != "$4" ] || qualifiers+="-testsigned"
        [ "$5" = yes ] || qualifiers+="-notimestamp"
    fi
    printf '%s' "$qualifiers"
}

# The organisation (O=) of an RFC 2253 subject such as "CN=Ostrel Code Signing,O=Ostrel,C=BR",
# with RFC 2253's escapes undone; empty when it names none.
subject_organisation() {
    python3 - "$1" <<'PY'
import re, sys
for part in re.split(r'(?<!\\),', sys.argv[1]):
    key, _, value = part.partition("=")
    if key.strip().upper() == "O":
        print(re.sub(r"\\(.)", r"\1", value.strip()))
        break
PY
}

# Reads the end-entity certificate of a PKCS#12 file (its password on standard input) and sets
# CERTIFICATE_SUBJECT, CERTIFICATE_ISSUER and CERTIFICATE_SHA1 (the thumbprint as Windows shows
# it: 40 upper-case hexadecimal digits). Returns non-zero when the file cannot be read.
read_signing_certificate() {
    local p12=$1 password pem facts
    password=$(cat)
    # Files exported by older tools use ciphers that OpenSSL 3 keeps in its legacy provider.
    pem=$(openssl pkcs12 -in "$p12" -clcerts -nokeys -passin fd:3 3<<<"$password" 2>/dev/null) ||
        pem=$(openssl pkcs12 -legacy -in "$p12" -clcerts -nokeys -passin fd:3 3<<<"$password" \
            2>/dev/null) || return 1
    facts=$(openssl x509 -noout -subject -issuer -fingerprint -sha1 -nameopt RFC2253 \
        <<<"$pem") || return 1
    CERTIFICATE_SUBJECT=$(sed -n 's/^subject=//p' <<<"$facts")
    CERTIFICATE_ISSUER=$(sed -n 's/^issuer=//p' <<<"$facts")
    CERTIFICATE_SHA1=$(sed -n 's/^[Ss][Hh][Aa]1 Fingerprint=//p' <<<"$facts" | tr -d ':')
    [ -n "$CERTIFICATE_SUBJECT" ] && [ -n "$CERTIFICATE_SHA1" ]
}
