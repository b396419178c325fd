"""What a release package says about itself: the words in its name that keep a test build from
passing for a release, and the facts of the certificate that signs it."""
import os
import re
import subprocess

# Top-level domains reserved for examples and tests (RFC 2606, RFC 6761): a link there resolves
# nowhere, so a package carrying one must never be deployed.
RESERVED_DOMAINS = ("example", "invalid", "test", "localhost")


def reserved_host(host):
    host = host.lower()
    return any(host == domain or host.endswith("." + domain) for domain in RESERVED_DOMAINS)


def release_qualifiers(faq_host, portal_host, subject, issuer, timestamped):
    """The qualifiers of a package's name: "-unconfigured" when a link host is reserved; then
    "-unsigned" without a certificate (an empty subject), or "-testsigned" when the certificate
    is its own issuer; then "-notimestamp" for a signature without a time stamp, which stops
    validating when the certificate expires. Only a configured package, signed by a certificate
    that another issued and time-stamped, carries the plain name."""
    qualifiers = "-unconfigured" if reserved_host(faq_host) or reserved_host(portal_host) else ""
    if not subject:
        return qualifiers + "-unsigned"
    if subject == issuer:
        qualifiers += "-testsigned"
    return qualifiers if timestamped else qualifiers + "-notimestamp"


def test_build_word(qualifiers):
    """What Add/Remove Programs adds to the name of a package not to deploy, or ""."""
    if not qualifiers:
        return ""
    return "unconfigured" if qualifiers.startswith("-unconfigured") else "test"


def _rdn_attributes(name):
    """The (type, value) pairs of an RFC 2253 name, its escapes undone: "\\," and the like stand
    for the character, "\\C3\\A9" for the bytes of a UTF-8 character."""
    pairs, text, raw = [], "", bytearray()

    def flush():
        nonlocal text, raw
        text += raw.decode("utf-8", errors="replace")
        raw = bytearray()

    position = 0
    while position <= len(name):
        char = name[position] if position < len(name) else ","
        if char == "\\" and re.fullmatch(r"[0-9A-Fa-f]{2}", name[position + 1:position + 3]):
            raw.append(int(name[position + 1:position + 3], 16))
            position += 3
            continue
        flush()
        if char == "\\" and position + 1 < len(name):
            text += name[position + 1]
            position += 2
            continue
        if char in ",+":  # between attributes, or between the parts of a multi-valued one
            key, _, value = text.partition("=")
            pairs.append((key.strip().upper(), value.strip()))
            text = ""
        else:
            text += char
        position += 1
    return pairs


def subject_organisation(subject):
    """The organisation (O=) of an RFC 2253 subject such as "CN=Ostrel Code Signing,O=Ostrel,C=BR";
    empty when it names none."""
    return next((value for key, value in _rdn_attributes(subject) if key == "O"), "")


class Certificate:
    """The end-entity certificate of a PKCS#12 file: its subject and issuer (RFC 2253) and its
    thumbprint as Windows shows it, 40 upper-case hexadecimal digits."""

    def __init__(self, subject, issuer, sha1):
        self.subject, self.issuer, self.sha1 = subject, issuer, sha1


def _openssl(arguments, password=None, given=None):
    """Runs openssl, the password (if any) through a pipe named by fd:N; its output, or None."""
    pass_fds, reader = (), None
    if password is not None:
        reader, writer = os.pipe()
        os.write(writer, password.encode() + b"\n")  # a line, far below the pipe's capacity
        os.close(writer)
        pass_fds, arguments = (reader,), arguments + ["-passin", f"fd:{reader}"]
    try:
        result = subprocess.run(["openssl", *arguments], input=given, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, pass_fds=pass_fds, check=False)
    finally:
        if reader is not None:
            os.close(reader)
    return result.stdout if result.returncode == 0 else None


def read_signing_certificate(p12, password):
    """The Certificate of the PKCS#12 file, or None when it cannot be read (wrong file or
    password)."""
    password = password.rstrip("\n")
    pem = _openssl(["pkcs12", "-in", p12, "-clcerts", "-nokeys"], password)
    if pem is None:
        # Files exported by older tools use ciphers that OpenSSL 3 keeps in its legacy provider.
        pem = _openssl(["pkcs12", "-legacy", "-in", p12, "-clcerts", "-nokeys"], password)
    if pem is None:
        return None
    facts = _openssl(["x509", "-noout", "-subject", "-issuer", "-fingerprint", "-sha1",
                      "-nameopt", "RFC2253"], given=pem)
    if facts is None:
        return None
    fields = {}
    for line in facts.decode("utf-8", errors="replace").splitlines():
        name, _, value = line.partition("=")
        fields.setdefault(name.lower(), value)
    subject, sha1 = fields.get("subject", ""), fields.get("sha1 fingerprint", "").replace(":", "")
    if not subject or not sha1:
        return None
    return Certificate(subject, fields.get("issuer", ""), sha1)
