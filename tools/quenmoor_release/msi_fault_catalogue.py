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
]
