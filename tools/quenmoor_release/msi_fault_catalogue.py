"""The faults msi_faults plants into a built package, each as (the rule the check must name,
what the fault is, the msibuild queries that plant it, or a function of the architecture that
gives them). Each rule of the check has at least one."""
SYSTEM = "no program as SYSTEM on a repair or for a standard user"


def action(name, action_type, condition, target="/Run"):
    return [f"INSERT INTO CustomAction (Action, Type, Source, Target) VALUES ('{name}', {action_type}, 'SCHTASKS', '{target}')",
            f"INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('{name}', '{condition}', 4050)"]


FAULTS = [
    (SYSTEM, "the task registered again on every repair",
     ["UPDATE InstallExecuteSequence SET Condition = 'NOT REMOVE=\"ALL\"' WHERE Action = 'RegisterTask'"]),
    (SYSTEM, "the task deleted by a standard user's removal",
     ["UPDATE InstallExecuteSequence SET Condition = 'REMOVE=\"ALL\"' WHERE Action = 'DeleteTask'"]),
    (SYSTEM, "a rollback as SYSTEM on a repair", action("Planted", 3442, "REINSTALL")),
    (SYSTEM, "a program as SYSTEM with no condition", action("Planted", 3122, "")),
    (SYSTEM, "a deferred program without impersonation's flag, as SYSTEM on a terminal server", action("Planted", 1074, "")),
    (SYSTEM, "a DLL as SYSTEM on a repair", action("Planted", 3073, "Installed")),
    (SYSTEM, "the task folder's script on every installation",
     ["UPDATE InstallExecuteSequence SET Condition = '' WHERE Action = 'DeleteTaskFolder'"]),
    ("no restart of its own", "a restart scheduled at the end",
     ["INSERT INTO InstallExecuteSequence (Action, Condition, Sequence) VALUES ('ScheduleReboot', '', 6550)"]),
    ("about link shown by Add/Remove Programs", "no about link",
     ["DELETE FROM Property WHERE Property = 'ARPURLINFOABOUT'"]),
    # Windows Installer's validation rules (msi_ice), one fault each at least.
    ("ICE03", "a component in a folder the Directory table lacks",
     ["UPDATE Component SET Directory_ = 'NoSuchFolder' WHERE Component = 'FolderCheck'"]),
    ("ICE03", "a condition that is no condition",
     ["UPDATE Component SET Condition = 'VersionNT >=' WHERE Component = 'FolderCheck'"]),
    ("ICE04", "a file beyond the last medium", ["UPDATE File SET Sequence = 99 WHERE File = 'FolderCheck'"]),
    ("ICE06", "a table without one of its columns",
     ["DROP TABLE `LaunchCondition`",
      "CREATE TABLE `LaunchCondition` (`Condition` CHAR(255) NOT NULL PRIMARY KEY `Condition`)"]),
    ("ICE08", "two components with one GUID",
     ["UPDATE Component SET ComponentId = '{11111111-2222-3333-4444-555555555555}' "
      "WHERE Component = 'Program' OR Component = 'Check'"]),
    ("ICE16", "a product name longer than 63 characters",
     ["UPDATE Property SET Value = 'Quenmoor Update with a name far longer than Add/Remove Programs takes' "
      "WHERE Property = 'ProductName'"]),
    ("ICE63", "an action between InstallInitialize and RemoveExistingProducts",
     ["UPDATE InstallExecuteSequence SET Sequence = 1502 WHERE Action = 'RemoveExistingProducts'",
      "UPDATE InstallExecuteSequence SET Sequence = 1501 WHERE Action = 'ProcessComponents'"]),
    ("ICE21", "a component in no feature", ["DELETE FROM FeatureComponents WHERE Component_ = 'FolderCheck'"]),
    ("ICE30", "one file name twice in one folder",
     ["UPDATE File SET FileName = 'QUENMO~1.EXE|quenmoor-update.exe' WHERE File = 'Check'"]),
    ("ICE57", "per-user data in a per-machine component",
     ["INSERT INTO Registry (Registry, Root, `Key`, Name, Value, Component_) "
      "VALUES ('UserKey', 1, 'Software\\Quenmoor', 'x', '1', 'Program')"]),
    ("ICE60", "a versioned file without its language", ["UPDATE File SET Language = '' WHERE File = 'Program'"]),
    ("ICE60", "a versioned file hashed",
     ["INSERT INTO MsiFileHash (File_, Options, HashPart1, HashPart2, HashPart3, HashPart4) "
      "VALUES ('Program', 0, 1, 2, 3, 4)"]),
    ("ICE61", "an upgrade property in lower case, not secured",
     ["UPDATE Upgrade SET ActionProperty = 'downgrade_found' WHERE ActionProperty = 'WIX_DOWNGRADE_DETECTED'"]),
    ("ICE77", "an action of the script before InstallInitialize",
     ["UPDATE InstallExecuteSequence SET Sequence = 1450 WHERE Action = 'DeleteTask'"]),
    ("ICE80", "a component of the other width",
     lambda arch: [f"UPDATE Component SET Attributes = {256 if arch == 'x86' else 0} WHERE Component = 'FolderCheck'"]),
    ("ICE82", "two actions at one sequence number",
     ["UPDATE InstallExecuteSequence SET Sequence = 3500 WHERE Action = 'DeleteTaskFolder'"]),
]
