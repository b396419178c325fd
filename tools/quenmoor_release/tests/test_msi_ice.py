"""The validation rules' finer distinctions over small tables (each rule's planted fault in a
built package is msi_faults' job)."""
import unittest

from quenmoor_release import msi_ice

HEADERS = {"Component": (["Component", "ComponentId", "Directory_", "Attributes", "Condition", "KeyPath"],
                         ["s72", "S38", "s72", "i2", "S255", "S72"]),
           "File": (["File", "Component_", "FileName", "FileSize", "Version", "Language", "Attributes", "Sequence"],
                    ["s72", "s72", "l255", "i4", "S72", "S20", "I2", "i4"]),
           "Directory": (["Directory", "Directory_Parent", "DefaultDir"], ["s72", "S72", "l255"]),
           "Property": (["Property", "Value"], ["s72", "l0"]),
           "Upgrade": (["UpgradeCode", "VersionMin", "VersionMax", "Language", "Attributes", "Remove", "ActionProperty"],
                       ["s38", "S20", "S20", "S255", "i4", "S255", "s72"])}
CODE = "{7C4D2E61-3B0A-4F8E-9D15-6A2C8B3E0F41}"


def tables(**rows):
    base = {"Directory": [["TARGETDIR", "", "SourceDir"], ["ProgramFilesFolder", "TARGETDIR", "."],
                          ["App", "ProgramFilesFolder", "APP~1|App"]],
            "Property": [["ProductVersion", "1.0.0.0"], ["UpgradeCode", CODE],
                         ["SecureCustomProperties", "FOUND"]]} | rows
    raw = {name: [names, types, [name, names[0]], *base.get(name, [])] for name, (names, types) in HEADERS.items()}
    return msi_ice.Tables(lambda table: raw.get(table, [[""]]))


def component(name, condition="", attributes="0"):
    return [name, "{00000000-0000-0000-0000-00000000000" + name[-1] + "}", "App", attributes, condition, name]


class RulesTest(unittest.TestCase):
    def test_ice30_one_name_twice_in_one_folder(self):
        for conditions, files, expected in (
                (("", ""), ("A~1.TXT|a.txt", "A~2.TXT|a.txt"), ["LFN", "(error)"]),
                (("VersionNT64", ""), ("A~1.TXT|a.txt", "A~1.TXT|b.txt"), ["SFN", "(error)"]),
                (("VersionNT64", "NOT VersionNT64"), ("A~1.TXT|a.txt", "A~2.TXT|a.txt"), ["LFN", "warning"]),
                (("", ""), ("A~1.TXT|a.txt", "B~1.TXT|b.txt"), None)):
            with self.subTest(conditions=conditions, files=files):
                found = msi_ice.ice30(tables(
                    Component=[component("C1", conditions[0]), component("C2", conditions[1])],
                    File=[["F1", "C1", files[0], "1", "", "", "512", "1"], ["F2", "C2", files[1], "1", "", "", "512", "2"]]))
                self.assertEqual(len(found), 0 if expected is None else 1, found)
                for part in expected or []:
                    self.assertIn(part, found[0])

    def test_ice61_which_versions_a_row_removes(self):
        for attributes, low, high, expected in ((513, "", "1.0.0.0", "removes versions up to the package's own (1.0.0.0 inclusive)"), (1, "", "1.0.0.0", None),
                                                (1, "", "1.0.1.0", "removes newer versions"), (3, "", "2.0.0", None),
                                                (1, "1.0", "0.9", "cannot be less"), (1, "", "1.x", "not a product version")):
            with self.subTest(attributes=attributes, low=low, high=high):
                found = msi_ice.ice61(tables(Upgrade=[[CODE, low, high, "", str(attributes), "", "FOUND"]]))
                self.assertEqual(len(found), 0 if expected is None else 1, found)
                if expected:
                    self.assertIn(expected, found[0])

    def test_ice60_versioned_files_need_a_language_unless_companions(self):
        for version, language, faults in (("1.0.0.0", "", 1), ("1.0.0.0", "1033", 0), ("F2", "", 0), ("", "", 0)):
            with self.subTest(version=version, language=language):
                found = msi_ice.ice60(tables(File=[["F1", "C1", "A~1.EXE|a.exe", "1", version, language, "512", "1"],
                                                   ["F2", "C1", "B~1.EXE|b.exe", "1", "", "", "512", "2"]]))
                self.assertEqual(len(found), faults, found)

    def test_ice03_kinds(self):
        for kind, value, valid in (("filename", "QUENMO~1.EXE|quenmoor-update.exe", True),
                                   ("filename", "QUENMOOR-UPDATE.EXE|quenmoor-update.exe", False),
                                   ("filename", "a|b|c", False), ("guid", CODE, True), ("guid", CODE.lower(), False),
                                   ("version", "1.0.0.0", True), ("version", "1.0.0.0.0", False),
                                   ("language", "1033,0", True), ("language", "en", False),
                                   ("defaultdir", "QUENMO~1|Quenmoor Update", True), ("condition", "NOT (A", False)):
            with self.subTest(kind=kind, value=value):
                self.assertEqual(msi_ice.kind_fault(kind, value, set()) is None, valid)

    def test_ice80_components_of_the_other_width(self):
        found = msi_ice.ice80(tables(Component=[component("C1", attributes="256")]))
        self.assertTrue(any("64-bit component C1 uses a 32-bit directory" in line for line in found), found)


if __name__ == "__main__":
    unittest.main()
