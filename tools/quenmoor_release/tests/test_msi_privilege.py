"""Conditions evaluated against property sets, and the rule on code run as SYSTEM."""
import unittest

from quenmoor_release import msi_condition, msi_privilege

HEADER = [["Action", "Type"], ["s72", "i2"], ["CustomAction", "Action"]]
SEQUENCE_HEADER = [["Action", "Condition", "Sequence"], ["s72", "S255", "I2"], ["InstallExecuteSequence", "Action"]]


class ConditionTest(unittest.TestCase):
    def test_conditions(self):
        properties = {"Installed": "1", "REMOVE": "ALL", "VersionNT": "601", "Name": "Quenmoor"}
        for condition, expected in (
                ("", True), ("Installed", True), ("REINSTALL", False), ("NOT Installed", False),
                ('REMOVE="ALL"', True), ('REMOVE="all"', False), ('REMOVE~="all"', True), ('REMOVE<>"ALL"', False),
                ("VersionNT >= 601", True), ("VersionNT > 601", False), ("VersionNT < 700", True),
                ('VersionNT = "601"', False), ('Name >< "moo"', True), ('Name << "Que"', True), ('Name >> "x"', False),
                ('NOT Installed AND NOT REMOVE="ALL"', False), ("Installed AND REINSTALL OR REMOVE", True),
                ("Installed AND (REINSTALL OR REMOVE)", True), ("NOT (Installed OR REINSTALL)", False),
                ("Installed XOR REMOVE", False), ("REINSTALL IMP Installed", True), ("Installed EQV REINSTALL", False),
                ("NOT NOT Installed", True), ("installed", False)):
            with self.subTest(condition=condition):
                self.assertIs(msi_condition.holds(condition, properties), expected)

    def test_what_it_cannot_read_is_an_error(self):
        for condition in ("&Complete = 3", "$Program > 2", "Installed AND", "(Installed", "Installed)", "%PATH", '"a'):
            with self.subTest(condition=condition), self.assertRaises(msi_condition.ConditionError):
                msi_condition.holds(condition, {})


class SystemRuleTest(unittest.TestCase):
    def test_which_types_run_code_as_system(self):
        for action_type, system in ((3122, True), (3442, True), (3074, True), (3078, True), (3073, True),
                                    (1074, True), (17458, False), (34, False), (1122 | 0x4000, False),
                                    (3123, False), (51, False), (19, False)):
            with self.subTest(action_type=action_type):
                self.assertIs(msi_privilege.runs_as_system(action_type), system)

    def faults(self, action_type, condition, required=None):
        return msi_privilege.faults(HEADER + [["A", str(action_type)]],
                                    {"InstallExecuteSequence": SEQUENCE_HEADER + [["A", condition, "4000"]]},
                                    required or {})

    def test_code_as_system_on_a_repair_or_for_a_standard_user_fails(self):
        for condition, caught in (("", "runs as SYSTEM on a repair by an administrator"),
                                  ('NOT REMOVE="ALL"', "runs as SYSTEM on a repair by a standard user"),
                                  ("NOT Installed", "runs as SYSTEM on a first installation by a standard user"),
                                  ('REMOVE="ALL"', "runs as SYSTEM on a removal by a standard user"),
                                  ("REINSTALL", "runs as SYSTEM on a repair of one file"),
                                  ("$Program = 3", "cannot read")):
            with self.subTest(condition=condition):
                self.assertTrue(any(caught in fault for fault in self.faults(3122, condition)), self.faults(3122, condition))

    def test_the_shipped_conditions_and_other_actions_pass(self):
        for action_type, condition in ((3122, 'NOT Installed AND NOT REMOVE="ALL" AND AdminUser'),
                                       (3442, 'REMOVE="ALL" AND AdminUser'), (51, ""), (1122 | 0x4000, "")):
            with self.subTest(condition=condition):
                self.assertEqual(self.faults(action_type, condition), [])

    def test_a_required_action_runs_exactly_where_it_must(self):
        upgrade = ["a first installation by an administrator", "an upgrade by an administrator"]
        self.assertEqual(self.faults(3122, "NOT Installed AND AdminUser", {"A": upgrade}), [])
        missed = self.faults(3122, "NOT Installed AND AdminUser AND NOT WIX_UPGRADE_DETECTED", {"A": upgrade})
        self.assertEqual(missed, ["InstallExecuteSequence: A (condition 'NOT Installed AND AdminUser AND NOT "
                                  "WIX_UPGRADE_DETECTED') does not run on an upgrade by an administrator"])
        self.assertEqual(msi_privilege.faults(HEADER, {"InstallExecuteSequence": SEQUENCE_HEADER}, {"A": upgrade}),
                         ["InstallExecuteSequence: A is missing"])


if __name__ == "__main__":
    unittest.main()
