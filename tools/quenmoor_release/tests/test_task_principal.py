"""The task definition's check: the shipped definition passes, each thing it must not hold fails."""
import os
import unittest

import check_task_principal

SHIPPED = open(os.path.join(os.path.dirname(__file__), "..", "..", "..", "docs", "quenmoor-update.task.xml"),
               encoding="utf-8").read()
COMMAND = '<Command>"C:\\Program Files\\Quenmoor Update\\quenmoor-update.exe"</Command>'
EXEC = f"<Exec>\n      {COMMAND}\n    </Exec>"
PRINCIPAL = "<UserId>S-1-5-19</UserId>"


def faults(*edits):
    text = SHIPPED
    for old, new in edits:
        assert text.count(old) == 1, old
        text = text.replace(old, new)
    return check_task_principal.faults(check_task_principal.parse(text))


def trigger(name):
    return ("<BootTrigger>", f"<{name}><Enabled>true</Enabled></{name}>\n    <BootTrigger>")


class TaskDefinitionTest(unittest.TestCase):
    def test_the_shipped_definition_passes_under_each_program_files_name(self):
        for root in "C:\\Program Files", "%ProgramFiles%", "%ProgramFiles(x86)%":
            with self.subTest(root=root):
                self.assertEqual(faults((COMMAND, COMMAND.replace("C:\\Program Files", root))), [])

    def test_each_thing_the_release_does_not_ship_fails(self):
        for name, edits, fault in (
                ("logon trigger", [trigger("LogonTrigger")], "LogonTrigger is not one"),
                ("session-state trigger", [trigger("SessionStateChangeTrigger")], "SessionStateChangeTrigger"),
                ("event trigger", [trigger("EventTrigger")], "EventTrigger is not one"),
                ("idle trigger", [trigger("IdleTrigger")], "IdleTrigger is not one"),
                ("registration trigger", [trigger("RegistrationTrigger")], "RegistrationTrigger is not one"),
                ("no boot trigger", [("<BootTrigger>", "<X>"), ("</BootTrigger>", "</X>")], "X is not one"),
                ("two calendar triggers", [("</Triggers>", "<CalendarTrigger/></Triggers>")], "2 CalendarTrigger"),
                ("no missed start", [("<StartWhenAvailable>true", "<StartWhenAvailable>false")], "StartWhenAvailable"),
                ("COM handler", [(EXEC, "<ComHandler><ClassId>{00000000-0000-0000-0000-000000000000}</ClassId>"
                                        "</ComHandler>")], "not one Exec"),
                ("two actions", [(EXEC, EXEC + EXEC)], "not one Exec"),
                ("arguments", [(COMMAND, COMMAND + "<Arguments>/x</Arguments>")], "has Arguments"),
                ("another program", [(COMMAND, COMMAND.replace("update.exe", "check.exe"))], "is not the update"),
                ("another folder", [(COMMAND, COMMAND.replace("Files\\", "Files\\Other\\"))], "is not the update"),
                ("actions in no principal's context", [(' Context="LocalService"', "")], "run as 'None'"),
                ("interactive token", [(PRINCIPAL, PRINCIPAL + "<LogonType>InteractiveToken</LogonType>")],
                 "has LogonType"),
                ("password", [(PRINCIPAL, PRINCIPAL + "<LogonType>Password</LogonType>")], "has LogonType"),
                ("S4U", [(PRINCIPAL, PRINCIPAL + "<LogonType>S4U</LogonType>")], "has LogonType"),
                ("a group", [(PRINCIPAL, "<GroupId>S-1-5-32-545</GroupId>")], "has GroupId"),
                ("NETWORK SERVICE", [(PRINCIPAL, "<UserId>S-1-5-20</UserId>")], "not LOCAL SERVICE"),
                ("no run level", [("<RunLevel>LeastPrivilege</RunLevel>", "")], "not LeastPrivilege"),
                ("SYSTEM's SID", [(PRINCIPAL, "<UserId>S-1-5-18</UserId>")], "UserId names 'S-1-5-18'"),
                ("SYSTEM by name", [("<Author>Ostrel", "<Author>SYSTEM")], "Author names 'SYSTEM'"),
                ("LocalSystem", [("<Principal id=\"LocalService\"", "<Principal id=\"LocalSystem\""),
                                 ('Context="LocalService"', 'Context="LocalSystem"')], "names 'LocalSystem'"),
                ("highest run level", [("LeastPrivilege", "HighestAvailable")], "names 'HighestAvailable'"),
                ("two principals", [("</Principals>", "<Principal id=\"b\">" + PRINCIPAL + "</Principal></Principals>")],
                 "2 principals")):
            with self.subTest(name):
                found = faults(*edits)
                self.assertTrue(any(fault in line for line in found), found)


if __name__ == "__main__":
    unittest.main()
