"""The install cycle's reading of what Wine shows: msiexec's end, Add/Remove Programs' listing and
the installed task definition."""
import unittest

from quenmoor_release import msi_cycle

PROGRAM = "C:\\Program Files\\Quenmoor Update\\quenmoor-update.exe"
UNINSTALL = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
DEFINITION = """<Task version="1.2">
  <RegistrationInfo>
    <Author>Ostrel Ltd</Author>
  </RegistrationInfo>
  <Triggers>
    <BootTrigger>
    </BootTrigger>
    <CalendarTrigger>
    </CalendarTrigger>
  </Triggers>
  <Principals>
    <Principal id="LocalService">
      <UserId>S-1-5-19</UserId>
    </Principal>
  </Principals>
  <Actions Context="LocalService">
    <Exec>
      <Command>"%ProgramFiles%\\Quenmoor Update\\quenmoor-update.exe"</Command>
    </Exec>
  </Actions>
</Task>
""".replace("\n", "\r\n")


class MsiexecTest(unittest.TestCase):
    def test_end(self):
        for expected, status, output, faults in (
                (0, 0, b"", []), (1603, 67, b"", []), (1627, 91, b"", []),
                (1603, 1, b"", ["msiexec /i x.msi ended 1, not 1603 modulo 256"]),
                (0, 67, b"", ["msiexec /i x.msi ended 67, not 0 modulo 256"]),
                (0, 0, b"no such file\n", ["msiexec /i x.msi printed: no such file"]),
                (0, 0, b"x" * 400, ["msiexec /i x.msi printed: " + "x" * 300])):
            with self.subTest(expected=expected, status=status, output=output):
                self.assertEqual(msi_cycle.msiexec_faults("/i x.msi", expected, status, output), faults)


class ProductsTest(unittest.TestCase):
    def test_listing(self):
        def key(code, *values):
            return [f"{UNINSTALL}\\{code}"] + [f"    {name}    REG_SZ    {value}" for name, value in values] + [""]
        ours = key("{B2}", ("DisplayName", "Quenmoor Update"), ("DisplayVersion", "1.0.0.0"),
                   ("Publisher", "Ostrel Ltd"), ("UninstallString", "msiexec /x {B2}"))
        older = key("{A1}", ("Publisher", "Ostrel"), ("DisplayName", "Quenmoor Update (other build)"),
                    ("DisplayVersion", "0.9.0.0"))
        others = key("{C3}", ("DisplayName", "Wine Mono"), ("DisplayVersion", "9.0"), ("Publisher", "Ostrel"))
        for listing, listed in (
                ([], []), (others, []), (ours + others, ["{B2} 1.0.0.0 Ostrel Ltd"]),
                (others + ours + older, ["{A1} 0.9.0.0 Ostrel", "{B2} 1.0.0.0 Ostrel Ltd"]),
                (key("{D4}", ("DisplayName", "The Quenmoor Update")), []),
                (key("{E5}", ("DisplayName", "Quenmoor Update")) + ["    Publisher    REG_SZ"], ["{E5}  "])):
            with self.subTest(listing=listing):
                self.assertEqual(msi_cycle.products("\r\n".join([UNINSTALL, ""] + listing), "Quenmoor Update"),
                                 listed)


class DefinitionTest(unittest.TestCase):
    def test_definition(self):
        for change, faults in (
                ((), []),
                (("%ProgramFiles%", "%ProgramFiles(x86)%"), ["the task's command is '%ProgramFiles(x86)%"]),
                (("\\quenmoor-update.exe", "\\quenmoor-check.exe"), ["the task's command is"]),
                (("<Exec>", "<Exec>\r\n<Command>\"x.exe\"</Command>"), ["the task's command is 'x.exe\n"]),
                (("<BootTrigger>", "<TimeTrigger>"), ["no BootTrigger"]),
                (("<CalendarTrigger>", "<LogonTrigger>"), ["no CalendarTrigger", "at every logon"]),
                (("<Author>Ostrel Ltd", "<Author>Ostrel"), ["does not name Ostrel Ltd"]),
                (("    <Author>", "<Author>"), ["does not name Ostrel Ltd"]),
                (("S-1-5-19", "S-1-5-18"), ["LOCAL SERVICE"]),
                (("<UserId>", "<UserId>x"), ["LOCAL SERVICE"])):
            with self.subTest(change=change):
                found = msi_cycle.definition_faults(DEFINITION.replace(*change) if change else DEFINITION,
                                                    "C:\\Program Files", PROGRAM, "Ostrel Ltd")
                self.assertEqual(len(found), len(faults), found)
                for fault, part in zip(found, faults):
                    self.assertIn(part, fault)


if __name__ == "__main__":
    unittest.main()
