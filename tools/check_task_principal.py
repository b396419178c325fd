#!/usr/bin/env python3
"""Fails unless every Task Scheduler definition given is the task the release ships.

A definition passes when:
- its triggers are one BootTrigger and one CalendarTrigger and nothing else (no logon,
  session-state, event, idle, registration or time trigger), and its settings start a missed
  run when the machine is on again (StartWhenAvailable true);
- its actions, in the context of its one principal, are one Exec whose only element is the
  Command, the update program in the product's folder under Program Files, as the ZIP names it
  (C:\\Program Files\\...) or as the MSI packages do (%ProgramFiles%, %ProgramFiles(x86)%), with
  no arguments or working folder (a ComHandler, or a second action of any kind, fails);
- its one principal holds exactly a UserId, LOCAL SERVICE by its SID S-1-5-19, and the run level
  LeastPrivilege: no LogonType (the schema's values, S4U, Password, InteractiveToken and
  InteractiveTokenOrPassword, are each a logon of a user; a service account is named by its SID
  without one) and no GroupId;
- no element or attribute names SYSTEM (S-1-5-18, LocalSystem, SYSTEM) or the highest run
  level anywhere. Comments do not count.
Definitions are read as Task Scheduler writes them (UTF-16 with a byte-order mark) or as UTF-8.

Usage: check_task_principal.py [--folder=NAME] DEFINITION...
  --folder=NAME  the product's folder under Program Files (default "Quenmoor Update")
Prints one line per fault and exits 1 when any definition has one.
"""
import re
import sys
import xml.etree.ElementTree as ElementTree

NAMESPACE = "{http://schemas.microsoft.com/windows/2004/02/mit/task}"
LOCAL_SERVICE = "S-1-5-19"
SYSTEM_NAMES = ("S-1-5-18", "LOCALSYSTEM", "SYSTEM", "NT AUTHORITY\\SYSTEM", "HIGHESTAVAILABLE")
TRIGGERS = ["BootTrigger", "CalendarTrigger"]
PROGRAM = "quenmoor-update.exe"
PROGRAM_FILES = ("C:\\Program Files", "%ProgramFiles%", "%ProgramFiles(x86)%")


def read(path):
    data = open(path, "rb").read()
    return parse(data.decode("utf-16") if data[:2] == b"\xff\xfe" else data.decode("utf-8"))


def parse(text):
    # The declaration names the encoding of the bytes, which are text by now.
    return ElementTree.fromstring(re.sub(r"^\ufeff?<\?xml[^>]*\?>", "", text.lstrip()))


def tags(element):
    return [child.tag.replace(NAMESPACE, "") for child in (element if element is not None else [])]


def trigger_faults(task):
    found = tags(task.find(f"{NAMESPACE}Triggers"))
    faults = [f"the trigger {name} is not one the release ships" for name in found if name not in TRIGGERS]
    faults += [f"{found.count(name)} {name} elements, not one" for name in TRIGGERS if found.count(name) != 1]
    if task.findtext(f"{NAMESPACE}Settings/{NAMESPACE}StartWhenAvailable", "").strip() != "true":
        faults.append("StartWhenAvailable is not true: a missed daily run waits for the next day")
    return faults


def action_faults(task, principal, folder):
    actions = task.find(f"{NAMESPACE}Actions")
    faults = []
    if actions is None or actions.get("Context") != principal.get("id"):
        context = None if actions is None else actions.get("Context")
        faults.append(f"the actions run as '{context}', not the principal '{principal.get('id')}'")
    found = tags(actions)
    if found != ["Exec"]:
        return faults + [f"the actions are {found or 'none'}, not one Exec"]
    exec_action = actions.find(f"{NAMESPACE}Exec")
    faults += [f"the Exec action has {name}: the program takes nothing but its name"
               for name in tags(exec_action) if name != "Command"]
    command = exec_action.findtext(f"{NAMESPACE}Command", "").strip()
    if command not in [f'"{root}\\{folder}\\{PROGRAM}"' for root in PROGRAM_FILES]:
        faults.append(f"the command {command!r} is not the update program in {folder} under Program Files")
    return faults


def principal_faults(principal):
    faults = [f"the principal has {name}, which a service account's principal lacks"
              for name in tags(principal) if name not in ("UserId", "RunLevel")]
    user = principal.findtext(f"{NAMESPACE}UserId", "").strip()
    if user != LOCAL_SERVICE:
        faults.append(f"the principal's user is '{user}', not LOCAL SERVICE ({LOCAL_SERVICE})")
    if principal.findtext(f"{NAMESPACE}RunLevel", "").strip() != "LeastPrivilege":
        faults.append("the principal's run level is not LeastPrivilege")
    return faults


def faults(task, folder="Quenmoor Update"):
    principals = task.findall(f"{NAMESPACE}Principals/{NAMESPACE}Principal")
    if len(principals) != 1:
        return [f"{len(principals)} principals, not one"]
    found = trigger_faults(task) + action_faults(task, principals[0], folder) + principal_faults(principals[0])
    for element in task.iter():
        for value in [element.text or "", *element.attrib.values()]:
            if value.strip().upper() in SYSTEM_NAMES or "S-1-5-18" in value:
                found.append(f"{element.tag.replace(NAMESPACE, '')} names '{value.strip()}'")
    return found


def main(arguments):
    folder, paths = "Quenmoor Update", list(arguments)
    if paths and paths[0].startswith("--folder="):
        folder = paths.pop(0).partition("=")[2]
    if not paths:
        print("usage: check_task_principal.py [--folder=NAME] DEFINITION...", file=sys.stderr)
        return 2
    failed = False
    for path in paths:
        try:
            found = faults(read(path), folder)
        except (OSError, UnicodeDecodeError, ElementTree.ParseError) as error:
            found = [f"cannot be read: {error}"]
        for fault in found:
            print(f"FAIL: {path}: {fault}", file=sys.stderr)
        failed = failed or bool(found)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
