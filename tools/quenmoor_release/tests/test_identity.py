"""The words a package's name carries and the signer's organisation."""
import unittest

from quenmoor_release import identity

SELF = "O=Ostrel,CN=Quenmoor CI selfsigned"
ISSUED, AUTHORITY = "O=Ostrel,CN=Quenmoor CI issued", "CN=Quenmoor CI throwaway authority"


class QualifiersTest(unittest.TestCase):
    def test_qualifiers(self):
        # FAQ host, subject, issuer, time-stamped; the portal host is always a configured one.
        for faq_host, subject, issuer, timestamped, expected in (
                ("www.maker.com", ISSUED, AUTHORITY, True, ""),
                ("www.maker.com", ISSUED, AUTHORITY, False, "-notimestamp"),
                ("www.maker.com", "", "", False, "-unsigned"),
                ("www.maker.com", "", "", True, "-unsigned"),
                ("www.maker.com", SELF, SELF, True, "-testsigned"),
                ("www.ostrel.example", "", "", False, "-unconfigured-unsigned"),
                ("help.maker.test", ISSUED, AUTHORITY, True, "-unconfigured"),
                ("www.ostrel.example", SELF, SELF, False, "-unconfigured-testsigned-notimestamp")):
            with self.subTest(faq_host=faq_host, subject=subject, timestamped=timestamped):
                self.assertEqual(identity.release_qualifiers(faq_host, "portal.maker.com", subject, issuer,
                                                             timestamped), expected)
        self.assertEqual(identity.release_qualifiers("www.maker.com", "portal.ostrel.example", ISSUED,
                                                     AUTHORITY, True), "-unconfigured")

    def test_reserved_hosts(self):
        for host, reserved in (("www.ostrel.example", True), ("WWW.OSTREL.EXAMPLE", True), ("example", True),
                               ("a.invalid", True), ("x.test", True), ("localhost", True), ("a.localhost", True),
                               ("www.maker.com", False), ("example.com", False), ("www.contest", False),
                               ("test.maker.com", False), ("www.ostrel.example.", False)):
            with self.subTest(host=host):
                self.assertEqual(identity.reserved_host(host), reserved)

    def test_the_test_build_word(self):
        for qualifiers, word in (("", ""), ("-unconfigured", "unconfigured"),
                                 ("-unconfigured-testsigned-notimestamp", "unconfigured"),
                                 ("-unsigned", "test"), ("-notimestamp", "test")):
            with self.subTest(qualifiers=qualifiers):
                self.assertEqual(identity.test_build_word(qualifiers), word)


class OrganisationTest(unittest.TestCase):
    def test_organisation_of_rfc2253_subjects(self):
        # As `openssl x509 -nameopt RFC2253` prints them: the last attribute first, special
        # characters escaped, bytes above ASCII as \XX.
        for subject, organisation in (
                ("O=Ostrel,CN=Quenmoor CI issued", "Ostrel"),
                ("C=BR,O=Ostrel,CN=Ostrel Code Signing", "Ostrel"),
                ("CN=Quenmoor CI issued", ""),
                ("", ""),
                ("CN=Foo\\, O=Evil,O=Ostrel", "Ostrel"),
                ("O=Ostrel\\, Inc.,CN=x", "Ostrel, Inc."),
                ("C=BR,O=Soci\\C3\\A9t\\C3\\A9 \\\"Ostrel\\\"\\, Inc.,CN=Code\\, Signing+OU=x",
                 "Soci\u00e9t\u00e9 \"Ostrel\", Inc."),
                ("O=Ostrel+OU=Signing,CN=x", "Ostrel"),
                ("OU=Ostrel,o= Ostrel Ltd ,CN=x", "Ostrel Ltd"),
                ("O=A\\\\,CN=x", "A\\"),
                ("O=\\2Bplus\\3B", "+plus;")):
            with self.subTest(subject=subject):
                self.assertEqual(identity.subject_organisation(subject), organisation)


if __name__ == "__main__":
    unittest.main()
