#!/usr/bin/env python3
"""Prints one fact of a build's quenmoor-facts.json (written by CMake, cmake/ReleaseFacts.cmake)
for the release scripts, which read the facts from there instead of repeating them.

Usage: facts.py FILE KEY          the value of KEY; a dotted KEY reaches inside (upgrade_codes.x64)
       facts.py FILE programs     the shipped programs' names, one a line, in the order they ship
       facts.py FILE description PROGRAM   the description that PROGRAM's version record carries
Exits 1, naming what is missing, when the file has no such fact.
"""
import json
import sys


def fact(facts, key, program=None):
    if key == "programs":
        return "\n".join(entry["name"] for entry in facts["programs"])
    if key == "description":
        return next(entry["description"] for entry in facts["programs"] if entry["name"] == program)
    value = facts
    for part in key.split("."):
        value = value[part]
    if not isinstance(value, str):
        raise KeyError(key)
    return value


def main(argv):
    if len(argv) not in (3, 4) or (argv[2] == "description") != (len(argv) == 4):
        sys.exit(__doc__.split("\n\n")[1])
    with open(argv[1], encoding="utf-8") as file:
        facts = json.load(file)
    try:
        print(fact(facts, *argv[2:]))
    except (KeyError, StopIteration):
        sys.exit(f"{argv[1]} has no fact {' '.join(argv[2:])}")


if __name__ == "__main__":
    main(sys.argv)
