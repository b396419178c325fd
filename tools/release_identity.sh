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

# The qualifiers of a package's name: "-unconfigured" when a link host is reserved, then
# "-testsigned" when the signing certificate is its own issuer (self-signed).
# Usage: release_qualifiers FAQ_HOST PORTAL_HOST SUBJECT ISSUER   (SUBJECT and ISSUER empty when
# the package is unsigned)
release_qualifiers() {
    local qualifiers=""
    if reserved_host "$1" || reserved_host "$2"; then
        qualifiers+="-unconfigured"
    fi
    if [ -n "$3" ] && [ "$3" = "$4" ]; then
        qualifiers+="-testsigned"
    fi
    printf '%s' "$qualifiers"
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
