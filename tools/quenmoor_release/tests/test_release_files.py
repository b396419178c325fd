"""The ZIP's text files, its list of files, the checksum lines and the release record."""
import os
import tempfile
import unittest

from quenmoor_release import identity, release_files


class TextTest(unittest.TestCase):
    def test_crlf(self):
        for given, shipped in ((b"a\nb\n", b"a\r\nb\r\n"), (b"a\r\nb\r\r\n", b"a\r\nb\r\n"), (b"a\nb", b"a\r\nb\r"),
                               (b"a\n\n", b"a\r\n\r\n"), (b"", b""), (b"\n", b"\r\n"), (b"a\rb\n", b"a\rb\r\n")):
            with self.subTest(given=given):
                self.assertEqual(release_files.crlf(given), shipped)

    def test_the_task_definition_names_the_publisher_in_utf16(self):
        source = "<Task>\n  <Author>Someone</Author> <Author>x</Author>\n  <Description>é</Description>\n</Task>\n"
        shipped = release_files.task_definition(source.encode(), "Ostrel & Söhne")
        self.assertEqual(shipped[:2], b"\xff\xfe")
        self.assertEqual(shipped[2:].decode("utf-16-le"),
                         "<Task>\r\n  <Author>Ostrel & Söhne</Author> <Author>x</Author>\r\n"
                         "  <Description>é</Description>\r\n</Task>\r\n")


class ChecksumTest(unittest.TestCase):
    def test_a_line_as_sha256sum_writes_it(self):
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "f"), "wb") as file:
                file.write(b"abc")
            self.assertEqual(release_files.sha256_line(os.path.join(folder, "f"), "x64/a b.exe"),
                             "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  x64/a b.exe\n")


class ZipTest(unittest.TestCase):
    def test_files_and_members(self):
        # Code point order, whatever the locale: capitals before small letters, "-" before ".".
        files = release_files.zip_files(["quenmoor-update", "quenmoor-check", "quenmoor-a-longer-name", "Quenmoor-z"],
                                        ("x86", "x64"))
        monitoring = [f"monitoring/{script}" for script in release_files.MONITORING_SCRIPTS]
        per_arch = ["Quenmoor-z.exe", "quenmoor-a-longer-name.exe", "quenmoor-check.exe", "quenmoor-update.exe",
                    "quenmoor-update.task.xml"]
        self.assertEqual(files, ["DEPLOYMENT.txt", "RELEASE.txt", "THIRD-PARTY-NOTICES.txt", "Test-QuenmoorFolders.ps1",
                                 *monitoring, *(f"x86/{n}" for n in per_arch), *(f"x64/{n}" for n in per_arch)])
        self.assertEqual(release_files.zip_members("n", files + ["SHA256SUMS"]),
                         [f"n/{f}" for f in ("DEPLOYMENT.txt", "RELEASE.txt", "SHA256SUMS", "THIRD-PARTY-NOTICES.txt",
                                             "Test-QuenmoorFolders.ps1", *monitoring,
                                             *(f"x64/{n}" for n in per_arch), *(f"x86/{n}" for n in per_arch))])


class RecordTest(unittest.TestCase):
    ARGUMENTS = dict(version="1.0.0.0", commit="abc", commit_time="2025-12-06T05:46:40Z", faq="https://f/",
                     portal="https://p/", timestamp_url="", osslsigncode="osslsigncode 2.5",
                     compilers=[("x86", "i686-w64-mingw32-g++", "g++-mingw-w64-i686-posix 12"),
                                ("x64", "x86_64-w64-mingw32-g++", "g++-mingw-w64-x86-64-posix 12")],
                     mingw="10.0.0-3")

    def record(self, **changes):
        return release_files.release_record(**dict(self.ARGUMENTS, **changes))

    def test_unsigned(self):
        self.assertEqual(self.record(certificate=None), [
            "quenmoor-update 1.0.0.0", "", "Commit:         abc", "Commit time:    2025-12-06T05:46:40Z",
            "FAQ link:       https://f/", "Portal link:    https://p/", "Signed by:      unsigned",
            "Time stamp:     none", "osslsigncode:   not used",
            "Compiler x86:   i686-w64-mingw32-g++, g++-mingw-w64-i686-posix 12",
            "Compiler x64:   x86_64-w64-mingw32-g++, g++-mingw-w64-x86-64-posix 12",
            "mingw-w64:      10.0.0-3",
            "Notices:        THIRD-PARTY-NOTICES.txt (the runtime libraries linked into the programs)"])

    def test_signed(self):
        certificate = identity.Certificate("O=Ostrel,CN=s", "CN=ca", "AB12")
        signer = ["Signed by:      O=Ostrel,CN=s", "Issued by:      CN=ca", "Thumbprint:     AB12 (SHA-1)"]
        for url, stamp in (("", "Time stamp:     none (the signature is valid while the certificate is)"),
                           ("http://tsa/", "Time stamp:     applied by http://tsa/")):
            with self.subTest(url=url):
                self.assertEqual(self.record(certificate=certificate, timestamp_url=url)[6:11],
                                 signer + [stamp, "osslsigncode:   osslsigncode 2.5"])

    def test_values_read_back_from_the_shipped_record(self):
        shipped = release_files.crlf("".join(f"{line}\n" for line in self.record(certificate=None)).encode()).decode()
        shipped += release_files.msi_code_line("x64", "ProductCode", "{A}") + "\r\n"
        for key, value in (("Commit", "abc"), ("Portal link", "https://p/"), ("MSI x64 ProductCode", "{A}"),
                           ("Portal", None), ("Thumbprint", None)):
            with self.subTest(key=key):
                self.assertEqual(release_files.record_value(shipped, key), value)

    def test_msi_code_lines_align(self):
        self.assertEqual(release_files.msi_code_line("x86", "ProductCode", "{A}"), "MSI x86 ProductCode: {A}")
        self.assertEqual(release_files.msi_code_line("x64", "UpgradeCode", "{B}"), "MSI x64 UpgradeCode: {B}")


if __name__ == "__main__":
    unittest.main()
