"""What building and checking a package share: the build's facts, each architecture's names,
the tables as msiinfo exports them and the name-based codes."""
import json
import subprocess
import uuid

import facts

# Per architecture: the other one, the summary's platform, Windows Installer's folders, and
# wixl's Win64 switch, which sets the components' 64-bit attribute (256).
ARCHITECTURES = {
    "x86": {"other": "x64", "template": "Intel;1033", "program_files": "ProgramFilesFolder",
            "system": "SystemFolder", "win64": "no", "component_bits": "0"},
    "x64": {"other": "x86", "template": "x64;1033", "program_files": "ProgramFiles64Folder",
            "system": "System64Folder", "win64": "yes", "component_bits": "256"},
}


class Facts:
    """The build's quenmoor-facts.json (cmake/ReleaseFacts.cmake)."""

    def __init__(self, path):
        self.path = path
        with open(path, encoding="utf-8") as file:
            self.facts = json.load(file)

    def __getitem__(self, key):
        try:
            return facts.fact(self.facts, key)
        except (KeyError, StopIteration):
            raise SystemExit(f"{self.path} has no fact {key}") from None

    def upgrade_code(self, arch):
        return self[f"upgrade_codes.{arch}"]


def codes(namespace, *names):
    """A name-based code (UUID version 5) per name, in capitals as Windows Installer writes them."""
    space = uuid.UUID(namespace)
    return [str(uuid.uuid5(space, name)).upper() for name in names]


def rows(package, table):
    """The table's lines as msiinfo exports them (three header lines, then a row a line), each
    split at its tabs, without carriage returns; none when msiinfo cannot export it."""
    result = subprocess.run(["msiinfo", "export", package, table], stdout=subprocess.PIPE,
                            encoding="utf-8", errors="surrogateescape", check=False)
    return [line.split("\t") for line in result.stdout.replace("\r", "").split("\n")]


def column(table_rows, key, index):
    """Column `index` of the first row whose first column is `key`, or ""."""
    return next((row[index] for row in table_rows if row[0] == key and len(row) > index), "")
