"""The package's inputs: versions Windows Installer accepts, the name-based codes and the
package's copy of the task definition."""
import os
import tempfile
import unittest

from quenmoor_release import msi_build, msi_common

NAMESPACE = "5B1F0C2A-8E47-4D93-A6C1-3F9E7D20B854"


class VersionTest(unittest.TestCase):
    def test_versions(self):
        for version, refused in (("1.0.0.0", None), ("255.255.65535.0", None), ("0.9.0.0", None),
                                 ("256.0.0.0", "not four numbers"), ("1.256.0.0", "not four numbers"),
                                 ("1.0.65536.0", "not four numbers"), ("1.0.0", "not four numbers"),
                                 ("1.0.0.0.0", "not four numbers"), ("1.0.x.0", "not four numbers"),
                                 ("1.0.0.0 ", "not four numbers"), ("1.0.0.1", "a downgrade to 1.0.0.0 would not be refused")):
            with self.subTest(version=version):
                fault = msi_build.version_fault(version)
                self.assertEqual(fault is None, refused is None, fault)
                if refused:
                    self.assertIn(refused, fault)


class FolderFilesTest(unittest.TestCase):
    def test_the_shipped_files_names_in_the_package(self):
        self.assertEqual(msi_common.folder_files(["quenmoor-update", "quenmoor-check", "quenmoor-fix-links"]), [
            ("Program", "quenmoor-update.exe", "QUENMO~1.EXE"), ("Check", "quenmoor-check.exe", "QUENMO~2.EXE"),
            ("FixLinks", "quenmoor-fix-links.exe", "QUENMO~3.EXE"),
            ("FolderCheck", "Test-QuenmoorFolders.ps1", "TEST-Q~1.PS1"),
            ("TaskDefinition", "quenmoor-update.task.xml", "QUENMO~1.XML")])
        self.assertEqual(msi_common.folder_files(["quenmoor-update"], "x86")[-2:], [
            ("TaskDefinition", "quenmoor-update.task.xml", "QUENMO~1.XML"),
            ("TaskDefinitionWow64", "quenmoor-update-wow64.task.xml", "QUENMO~2.XML")])

    def test_short_names(self):
        for name, taken, short in (("Quenmoor Update", set(), "QUENMO~1"), ("a.b.json", set(), "AB~1.JSO"),
                                   ("x+y=z[1].exe", {"XYZ1~1.EXE"}, "XYZ1~2.EXE"), ("q.exe", {"Q~1.TXT"}, "Q~1.EXE")):
            with self.subTest(name=name):
                self.assertEqual(msi_common.short_name(name, taken), short)
                self.assertIn(short, taken)


class AboutLinkTest(unittest.TestCase):
    def test_the_about_link_is_the_help_links_site(self):
        for help_link, about in (("https://www.ostrel.example/faq/", "https://www.ostrel.example/"),
                                 ("https://help.maker.com:8443/a/b?c=d", "https://help.maker.com:8443/"),
                                 ("", ""), ("faq", "")):
            with self.subTest(help_link=help_link):
                self.assertEqual(msi_common.about_link(help_link), about)


class TaskFolderScriptTest(unittest.TestCase):
    def test_the_script_deletes_the_tasks_folder_and_nothing_the_installer_would_format(self):
        for task, folder in (("\\Quenmoor\\Quenmoor update", "Quenmoor"), ("\\A\\B\\t", "A\\\\B")):
            with self.subTest(task=task):
                script = msi_common.delete_task_folder(task)
                self.assertIn(f'GetFolder("\\\\{folder}")', script)
                self.assertIn(f'DeleteFolder("{folder}",0)', script)
                self.assertFalse(set("[]{}") & set(script))


class CodesTest(unittest.TestCase):
    COMPONENTS = msi_build.program_components(msi_common.folder_files(["quenmoor-update", "quenmoor-check"])[:2])[0] | msi_build.COMPONENTS
    INPUTS = {"arch": "x64", "version": "1.0.0.0", "publisher": "Ostrel", "test_build": "",
              "fail_after_task": False, "files_sum": "0" * 64}

    def codes(self, **changes):
        return msi_build.package_codes(NAMESPACE, self.COMPONENTS, **dict(self.INPUTS, **changes))

    def test_any_change_of_the_inputs_is_another_product_and_package(self):
        same = self.codes()
        self.assertEqual(same, self.codes())
        self.assertNotEqual(same["ProductCode"], same["package"])
        for name, value in (("arch", "x86"), ("version", "1.0.1.0"), ("publisher", "Ostrel Ltd"),
                            ("test_build", "test"), ("fail_after_task", True), ("files_sum", "1" * 64)):
            with self.subTest(changed=name):
                changed = self.codes(**{name: value})
                self.assertNotEqual(changed["ProductCode"], same["ProductCode"])
                self.assertNotEqual(changed["package"], same["package"])

    def test_components_keep_their_codes_across_builds_of_an_architecture(self):
        same, newer, other = self.codes(), self.codes(version="2.0.0.0", files_sum="1" * 64), self.codes(arch="x86")
        for component in self.COMPONENTS:
            self.assertEqual(newer[component], same[component])
            self.assertNotEqual(other[component], same[component])
        self.assertEqual(len(set(same.values())), 7)

    def test_the_files_checksum_follows_content_and_names(self):
        with tempfile.TemporaryDirectory() as folder:
            def checksum(name, content):
                for old in os.listdir(folder):
                    os.remove(os.path.join(folder, old))
                with open(os.path.join(folder, name), "wb") as file:
                    file.write(content)
                return msi_build.files_checksum(folder)
            first = checksum("task.xml", b"a")
            self.assertEqual(checksum("task.xml", b"a"), first)
            self.assertNotEqual(checksum("task.xml", b"b"), first)
            self.assertNotEqual(checksum("task-wow64.xml", b"a"), first)


class TaskDefinitionTest(unittest.TestCase):
    COMMAND = '<Command>"%ProgramFiles(x86)%\\Quenmoor Update\\quenmoor-update.exe"</Command>'

    def test_the_command_names_the_installed_program_in_utf16_with_crlf(self):
        for name, shipped in (
                ("UTF-16, CRLF", b"\xff\xfe" + "<Task>\r\n  <Command>C:\\x.exe</Command>\r\n</Task>\r\n".encode("utf-16-le")),
                ("UTF-8, LF", b"<Task>\n  <Command>C:\\x.exe</Command>\n</Task>\n"),
                ("UTF-8, CR CR LF", b"<Task>\r\r\n  <Command>C:\\x.exe</Command>\n</Task>\n")):
            with self.subTest(name):
                edited = msi_build.task_definition(shipped, "ProgramFiles(x86)", "Quenmoor Update")
                self.assertEqual(edited[:2], b"\xff\xfe")
                self.assertEqual(edited[2:].decode("utf-16-le"),
                                 f"<Task>\r\n  {self.COMMAND}\r\n</Task>\r\n")

    def test_a_last_line_without_its_end_gets_a_carriage_return_only(self):
        edited = msi_build.task_definition(b"<Command>a</Command>", "ProgramFiles", "Quenmoor Update")
        self.assertEqual(edited[2:].decode("utf-16-le"), self.COMMAND.replace("(x86)", "") + "\r")

    def test_a_definition_needs_exactly_one_command(self):
        for shipped in b"<Task/>\n", b"<Command>a</Command>\n<Command>b</Command>\n":
            with self.subTest(shipped=shipped), self.assertRaises(ValueError):
                msi_build.task_definition(shipped, "ProgramFiles", "Quenmoor Update")


if __name__ == "__main__":
    unittest.main()
