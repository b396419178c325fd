"""Which of a package's custom actions run code as SYSTEM, and on which kinds of installation.

An action runs code when its type's low three bits are a DLL (1), a program (2), JScript (5) or
VBScript (6); it runs as SYSTEM when it is written into the installation script (1024) without
impersonation (2048), or without the terminal-server flag (16384), which a per-machine
installation on a terminal server runs as SYSTEM too
(https://learn.microsoft.com/en-us/windows/win32/msi/custom-action-in-script-execution-options).
Such an action must not run on a repair, nor on anything a standard user starts; the actions
that must run (the task's registration, its deletion) must run where they belong. Each kind of
installation is a set of the properties Windows Installer sets for it."""
from quenmoor_release import msi_condition

CODE_TYPES = (1, 2, 5, 6)
SEQUENCES = ("InstallExecuteSequence", "AdminExecuteSequence", "AdvtExecuteSequence")
ADMIN = {"AdminUser": "1", "Privileged": "1"}
# A standard user of a managed (assigned) product runs elevated: Privileged without AdminUser.
STANDARD_USER = {"Privileged": "1"}
UPGRADE = {"WIX_UPGRADE_DETECTED": "{00000000-0000-0000-0000-000000000000}"}
REPAIR = {"Installed": "1", "REINSTALL": "ALL", "REINSTALLMODE": "omus"}
REMOVAL = {"Installed": "1", "REMOVE": "ALL"}
INSTALLATIONS = {
    "a first installation by an administrator": ADMIN,
    "an upgrade by an administrator": {**ADMIN, **UPGRADE},
    "a removal by an administrator": {**ADMIN, **REMOVAL},
    "the removal of the older build inside an upgrade": {**ADMIN, **REMOVAL, "UPGRADINGPRODUCTCODE": "{0}"},
    "a repair by an administrator": {**ADMIN, **REPAIR},
    "a repair of one file by an administrator": {**ADMIN, "Installed": "1", "REINSTALL": "Complete"},
    "a repair by a standard user": {**STANDARD_USER, **REPAIR},
    "a maintenance installation by a standard user": {**STANDARD_USER, "Installed": "1"},
    "a first installation by a standard user": STANDARD_USER,
    "an upgrade by a standard user": {**STANDARD_USER, **UPGRADE},
    "a removal by a standard user": {**STANDARD_USER, **REMOVAL},
}
FORBIDDEN = [name for name in INSTALLATIONS if "repair" in name or "standard user" in name]


def runs_as_system(action_type):
    """Whether an action of this type runs code (a DLL, a program or a script) as SYSTEM."""
    in_script = action_type & 0x400
    return (action_type & 7) in CODE_TYPES and bool(in_script) and bool(action_type & 0x800 or not action_type & 0x4000)


def faults(custom_actions, sequences, required):
    """What breaks the rule, given the CustomAction rows (name, type, ...), each sequence table's
    rows (action, condition, number) by its name, and, for the actions whose place is known,
    the kinds of installation on which each runs (on every other it must not)."""
    types = {row[0]: int(row[1]) for row in custom_actions[3:] if len(row) > 1 and row[1].lstrip("-").isdigit()}
    found = []
    for table, rows in sequences.items():
        for action, condition, *_ in (row for row in rows[3:] if len(row) >= 2):
            system = action in types and runs_as_system(types[action])
            known = action in required and table == "InstallExecuteSequence"
            for installation in INSTALLATIONS if known else FORBIDDEN if system else []:
                try:
                    runs = msi_condition.holds(condition, INSTALLATIONS[installation])
                except msi_condition.ConditionError as error:
                    found.append(f"{table}: {action}'s condition '{condition}': {error}")
                    break
                if system and runs and installation in FORBIDDEN:
                    found.append(f"{table}: {action} (type {types[action]}, condition '{condition}') "
                                 f"runs as SYSTEM on {installation}")
                elif known and runs != (installation in required[action]):
                    found.append(f"{table}: {action} (condition '{condition}') "
                                 f"{'runs' if runs else 'does not run'} on {installation}")
    for action in required:
        if not any(row[0] == action for row in sequences.get("InstallExecuteSequence", [])[3:]):
            found.append(f"InstallExecuteSequence: {action} is missing")
    return found
