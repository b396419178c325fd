"""The comparison of a package's tables with the rows and the order they must have."""
import contextlib
import io
import unittest

from quenmoor_release import msi_check

TABLES = {
    "Property": [["Property", "Value"], ["s72", "l0"], ["Property", "Property"],
                 ["ProductVersion", "1.0.0.0"], ["ALLUSERS", "1"]],
    "InstallExecuteSequence": [["Action", "Condition", "Sequence"], ["s72", "S255", "I2"],
                               ["InstallExecuteSequence", "Action"], ["InstallInitialize", "", "1500"],
                               ["RemoveExistingProducts", "", "1501"], ["InstallFinalize", "", "6600"]],
}


def failures(check):
    """The FAIL lines that a check of TABLES writes."""
    expect = msi_check.Expectations("p.msi", lambda table: TABLES.get(table, []))
    with contextlib.redirect_stderr(io.StringIO()) as errors:
        check(expect)
    lines = errors.getvalue().splitlines()
    assert len(lines) == expect.failures
    return lines


class ExpectationsTest(unittest.TestCase):
    def test_rows(self):
        for columns, failed in ((("Property", "ALLUSERS", "1"), []),
                                (("Property", "ProductVersion", "1.0.0.0"), []),
                                (("Property", "ProductVersion", "1.0.0"),
                                 ["FAIL (p.msi): why: no row 'ProductVersion | 1.0.0' in table Property"]),
                                (("Property", "ALLUSERS"), ["FAIL (p.msi): why: no row 'ALLUSERS' in table Property"]),
                                (("Property", "ALLUSERS", "1", ""), ["FAIL (p.msi): why: no row 'ALLUSERS | 1 | ' in table Property"]),
                                (("Upgrade", "ALLUSERS", "1"), ["FAIL (p.msi): why: no row 'ALLUSERS | 1' in table Upgrade"])):
            with self.subTest(columns=columns):
                table, *row = columns
                self.assertEqual(failures(lambda expect: expect.row(table, "why", *row)), failed)

    def test_order(self):
        for actions, failed in (
                (("InstallInitialize", "RemoveExistingProducts", "InstallFinalize"), []),
                (("RemoveExistingProducts", "InstallInitialize"),
                 ["FAIL (p.msi): InstallInitialize (1500) must run after RemoveExistingProducts (1501)"]),
                (("InstallInitialize", "InstallInitialize"),
                 ["FAIL (p.msi): InstallInitialize (1500) must run after InstallInitialize (1500)"]),
                (("InstallInitialize", "RegisterTask", "InstallFinalize"),
                 ["FAIL (p.msi): RegisterTask is not in the installation sequence"]),
                (("InstallFinalize", "RegisterTask", "RemoveExistingProducts"),
                 ["FAIL (p.msi): RegisterTask is not in the installation sequence",
                  "FAIL (p.msi): RemoveExistingProducts (1501) must run after RegisterTask (6600)"])):
            with self.subTest(actions=actions):
                self.assertEqual(failures(lambda expect: expect.order(*actions)), failed)

    def test_summary(self):
        good = ("Template: Intel;1033\nRevision number (UUID): {D064CE1F-9C65-5489-924A-445E90E126E9}\n"
                "Created: Sat Dec  6 05:46:40 2025\nLast saved: Sat Dec  6 05:46:40 2025\n")
        for summary, epoch, failed in (
                (good, "1765000000", []), (good, None, []),
                (good, "1765000001", ["Created is not", "Last saved is not"]),
                (good.replace("Intel", "x64"), "1765000000", ["platform is not Intel;1033"]),
                (good.replace("{D0", "{d0"), "1765000000", ["no package code"])):
            with self.subTest(summary=summary, epoch=epoch):
                lines = failures(lambda expect: msi_check.check_summary(expect, "Intel;1033", summary, epoch))
                self.assertEqual(len(lines), len(failed))
                for line, part in zip(lines, failed):
                    self.assertIn(part, line)


if __name__ == "__main__":
    unittest.main()
