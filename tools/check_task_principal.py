#!/usr/bin/env python3
"""Fails unless every Task Scheduler definition given runs the program as LOCAL SERVICE.

A definition passes when it has one principal, whose user is LOCAL SERVICE by its SID S-1-5-19
(the same in every language of Windows), that does not ask for the highest run level, and the
actions run in that principal's context; and when no element or attribute names SYSTEM
(S-1-5-18, LocalSystem, SYSTEM) or the highest run level anywhere else. Comments do not count.
Definitions are read as Task Scheduler writes them (UTF-16 with a byte-order mark) or as UTF-8.

Usage: check_task_principal.py DEFINITION...
Prints one line per fault and exits 1 when any definition has one.
"""
import re
import sys
import xml.etree.ElementTree as ElementTree

NAMESPACE = "{http://schemas.microsoft.com/windows/2004/02/mit/task}"
LOCAL_SERVICE = "S-1-5-19"
SYSTEM_NAMES = ("S-1-5-18", "LOCALSYSTEM", "SYSTEM", "NT AUTHORITY\\SYSTEM", "HIGHESTAVAILABLE")


def read(path):
    data = open(path, "rb").read()
    text = data.decode("utf-16") if data[:2] == b"\xff\xfe" else data.decode("utf-8")
    # The declaration names the encoding of the bytes, which are text by now.
    return ElementTree.fromstring(re.sub(r"^\ufeff?<\?xml[^>]*\?>", "", text.lstrip()))


def faults(task):
    principals = task.findall(f"{NAMESPACE}Principals/{NAMESPACE}Principal")
    if len(principals) != 1:
        return [f"{len(principals)} principals, not one"]
    principal = principals[0]
    found = []
    user = principal.findtext(f"{NAMESPACE}UserId", "").strip()
    if user != LOCAL_SERVICE:
        found.append(f"the principal's user is '{user}', not LOCAL SERVICE ({LOCAL_SERVICE})")
    actions = task.find(f"{NAMESPACE}Actions")
    context = actions.get("Context") if actions is not None else None
    if context != principal.get("id"):
        found.append(f"the actions run as '{context}', not the principal '{principal.get('id')}'")
    for element in task.iter():
        for value in [element.text or "", *element.attrib.values()]:
            if value.strip().upper() in SYSTEM_NAMES or "S-1-5-18" in value:
                found.append(f"{element.tag.replace(NAMESPACE, '')} names '{value.strip()}'")
    return found


def main(paths):
    if not paths:
        print("usage: check_task_principal.py DEFINITION...", file=sys.stderr)
        return 2
    failed = False
    for path in paths:
        try:
            found = faults(read(path))
        except (OSError, UnicodeDecodeError, ElementTree.ParseError) as error:
            found = [f"cannot be read: {error}"]
        for fault in found:
            print(f"FAIL: {path}: {fault}", file=sys.stderr)
        failed = failed or bool(found)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
