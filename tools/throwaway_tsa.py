#!/usr/bin/env python3
"""A throwaway RFC 3161 time-stamp authority on the loopback interface, for the release check:
it answers osslsigncode's time-stamp requests with `openssl ts -reply`, so that a package can be
signed and time-stamped as a real release is, with nothing leaving the machine.

Usage: throwaway_tsa.py FOLDER
FOLDER receives the authority's key and certificate (tsa.pem, which verifiers are given as the
time-stamp CA) and, once it listens, the file `url` with the address to hand to the signer. It
answers until it is killed."""

import http.server
import pathlib
import subprocess
import sys
import tempfile

CONFIG = """\
[tsa]
default_tsa = throwaway
[throwaway]
serial = {folder}/serial
signer_cert = {folder}/tsa.pem
signer_key = {folder}/tsa-key.pem
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_chain = no
ess_cert_id_alg = sha256
"""


def make_authority(folder: pathlib.Path) -> None:
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-sha256", "-days", "2", "-nodes",
         "-subj", "/CN=Quenmoor CI throwaway time-stamp authority",
         "-addext", "extendedKeyUsage=critical,timeStamping",
         "-addext", "keyUsage=critical,digitalSignature",
         "-keyout", str(folder / "tsa-key.pem"), "-out", str(folder / "tsa.pem")],
        check=True, capture_output=True)
    (folder / "serial").write_text("01\n")
    (folder / "tsa.cnf").write_text(CONFIG.format(folder=folder))


class TimeStampHandler(http.server.BaseHTTPRequestHandler):
    folder: pathlib.Path

    def do_POST(self) -> None:  # noqa: N802 (the name http.server calls)
        query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        with tempfile.TemporaryDirectory() as work:
            request = pathlib.Path(work, "request.tsq")
            reply = pathlib.Path(work, "reply.tsr")
            request.write_bytes(query)
            answered = subprocess.run(
                ["openssl", "ts", "-reply", "-config", str(self.folder / "tsa.cnf"),
                 "-queryfile", str(request), "-out", str(reply)],
                capture_output=True).returncode == 0
            body = reply.read_bytes() if answered else b""
        self.send_response(200 if answered else 400)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, format: str, *args: object) -> None:  # noqa: A002
        pass  # the release check's output stays its own


def main() -> None:
    folder = pathlib.Path(sys.argv[1]).resolve()
    folder.mkdir(parents=True, exist_ok=True)
    make_authority(folder)
    TimeStampHandler.folder = folder
    server = http.server.HTTPServer(("127.0.0.1", 0), TimeStampHandler)
    (folder / "url").write_text(f"http://127.0.0.1:{server.server_port}/\n")
    server.serve_forever()


if __name__ == "__main__":
    main()
