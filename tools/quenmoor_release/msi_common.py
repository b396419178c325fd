"""What building and checking a package share: the build's facts, each architecture's names,
the tables as msiinfo exports them and the name-based codes."""
import json
import re
import subprocess
import urllib.parse
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


# The program that the task definition runs: the package's "Program" component.
TASK_PROGRAM = "quenmoor-update"
# The install folder's other files: the read-only check of the folders' rights and the task's
# definition (one component per Windows it fits, one file name).
FOLDER_CHECK = "Test-QuenmoorFolders.ps1"
TASK_DEFINITION = "quenmoor-update.task.xml"
# The x86 package's definition for 64-bit Windows, under a name of its own (one folder never holds
# one name twice, ICE30), and the property that names the one to register.
TASK_DEFINITION_WOW64 = "quenmoor-update-wow64.task.xml"
DEFINITION_PROPERTY = "TaskDefinitionFile"
# The language of the programs' version records (app/program_resources.rc.in: Translation 0x0409),
# which the File table gives the versioned files (ICE60).
PROGRAM_LANGUAGE = "1033"

# When the task's registration and its deletion (and their rollbacks) run: a first installation
# or an upgrade (a new product: Installed unset), and a removal, each by an administrator; never
# on a repair. A standard user may repair, nothing more (the launch condition).
REGISTER_WHEN = 'NOT Installed AND NOT REMOVE="ALL" AND AdminUser'
DELETE_WHEN = 'REMOVE="ALL" AND AdminUser'
ADMINISTRATOR_ONLY = 'AdminUser OR (Installed AND NOT REMOVE="ALL")'


def delete_task_folder(task_name):
    """JScript that deletes the task's Task Scheduler folder when it holds no task (hidden ones
    counted) and no folder; it fails, deleting nothing, when the folder is missing. No braces or
    brackets, which the installer's formatting of the text would read."""
    folder = task_name.strip("\\").rpartition("\\")[0].replace("\\", "\\\\")
    return ('var s=new ActiveXObject("Schedule.Service");s.Connect();'
            f'var f=s.GetFolder("\\\\{folder}");'
            f'if(f.GetTasks(1).Count==0&&f.GetFolders(0).Count==0)s.GetFolder("\\\\").DeleteFolder("{folder}",0);')


def about_link(help_link):
    """The link that Add/Remove Programs shows as the product's "about" (ARPURLINFOABOUT): the
    site of the help link (the FAQ), its scheme and host; none without a help link."""
    parts = urllib.parse.urlsplit(help_link)
    return f"{parts.scheme}://{parts.netloc}/" if parts.scheme and parts.netloc else ""


def short_name(long_name, taken):
    """The 8.3 form of a file name beside the long one, as the name columns want it (ICE03): six
    characters of the name, ~N for the first N not in `taken` (the folder's short names so far,
    to which it is added), three of the extension, in capitals."""
    stem, _, extension = long_name.rpartition(".") if "." in long_name else (long_name, "", "")

    def kept(text, size):
        return re.sub(r"[^A-Z0-9_^$!#%&{}@'()-]", "", text.upper())[:size]

    number = 1
    while (short := f"{kept(stem, 6)}~{number}" + (f".{kept(extension, 3)}" if extension else "")) in taken:
        number += 1
    taken.add(short)
    return short


def folder_files(programs, arch="x64"):
    """The install folder's files as (table name, file name, 8.3 name), in the order they are packed:
    every shipped program as the build lists them, the folder check, then the task definition,
    and in the x86 package the definition for 64-bit Windows. The task's program keeps the table
    name "Program"; every other is named by its name's last words ("quenmoor-check" is "Check")."""
    taken = set()
    files = [("Program" if name == TASK_PROGRAM else
              "".join(word.capitalize() for word in name.split("-")[1:] or [name]), f"{name}.exe")
             for name in programs]
    files += [("FolderCheck", FOLDER_CHECK), ("TaskDefinition", TASK_DEFINITION)]
    files += [("TaskDefinitionWow64", TASK_DEFINITION_WOW64)] if arch == "x86" else []
    return [(table_name, name, short_name(name, taken)) for table_name, name in files]


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

    def programs(self):
        """The shipped programs' names, in the order the build lists them."""
        return self["programs"].split("\n")


def codes(namespace, *names):
    """A name-based code (UUID version 5) per name, in capitals as Windows Installer writes them."""
    space = uuid.UUID(namespace)
    return [str(uuid.uuid5(space, name)).upper() for name in names]


def rows(package, table):
    """The table's lines as msiinfo exports them (three header lines, then a row a line), each
    split at its tabs, without carriage returns; none when msiinfo cannot export it."""
    result = subprocess.run(["msiinfo", "export", package, table], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            encoding="utf-8", errors="surrogateescape", check=False)
    return [line.split("\t") for line in result.stdout.replace("\r", "").split("\n")]


def column(table_rows, key, index):
    """Column `index` of the first row whose first column is `key`, or ""."""
    return next((row[index] for row in table_rows if row[0] == key and len(row) > index), "")
