"""Windows Installer's validation rules (ICE,
https://learn.microsoft.com/en-us/windows/win32/msi/ice-reference) that concern the tables these
packages fill, applied to the tables as `msiinfo export` gives them, since Microsoft's
validation suite does not run here. Each rule returns its findings as "ICEnn: ..." lines; an
error and a warning both fail the release (no waiver), except the one warning that stays by
design (ALLOWED, said in docs/release.md)."""
import collections
import re

from quenmoor_release import msi_condition, msi_schema

# ICE61's warning on the row that replaces another build of the package's own version.
ALLOWED = ("ICE61: the Upgrade row for WIX_UPGRADE_DETECTED removes versions up to the package's own",)
RULES = ("ICE03", "ICE04", "ICE06", "ICE08", "ICE16", "ICE21", "ICE30", "ICE57", "ICE60", "ICE61", "ICE63", "ICE77",
         "ICE80", "ICE82")


class Tables:
    """A package's tables by name, from a function giving msiinfo's export lines of a table."""

    def __init__(self, rows, summary=""):
        self.raw, self.summary = rows, summary

    def columns(self, table):
        lines = self.raw(table)
        return lines[0] if len(lines) >= 3 and lines[0] != [""] else None

    def header(self, table):
        lines = self.raw(table)
        return lines[1], lines[2][1:]

    def records(self, table):
        names = self.columns(table)
        if names is None:
            return []
        return [dict(zip(names, row)) for row in self.raw(table)[3:] if row != [""]]

    def property(self, name):
        return next((r["Value"] for r in self.records("Property") if r["Property"] == name), "")


def version(text):
    return tuple(int(n) for n in text.split(".")) if re.fullmatch(r"[0-9]+(\.[0-9]+){0,3}", text) else None


def kind_fault(kind, value, file_keys):
    """Why a value is not of its column's kind, or None."""
    checks = {
        "identifier": lambda v: re.fullmatch(r"[A-Za-z_][A-Za-z0-9_.]*", v),
        "guid": lambda v: re.fullmatch(r"\{[0-9A-F]{8}-([0-9A-F]{4}-){3}[0-9A-F]{12}\}", v),
        "version": lambda v: v in file_keys or (version(v) and all(n <= 65535 for n in version(v))),
        "language": lambda v: re.fullmatch(r"[0-9]+(,[0-9]+)*", v) and all(int(n) <= 65535 for n in v.split(",")),
        "filename": lambda v: all(short_name_ok(p) if i == 0 and "|" in v else p and not re.search(r'[\\/:*?"<>|]', p)
                                  for i, p in enumerate(v.split("|"))) and v.count("|") <= 1,
        "defaultdir": lambda v: all(name in (".", "SourceDir") or kind_fault("filename", name, file_keys) is None
                                    for name in v.split(":")),
    }
    if kind == "condition":
        try:
            msi_condition.holds(value, {})
            return None
        except msi_condition.ConditionError as error:
            return f"not a condition this check reads ({error})"
    return None if checks[kind](value) else f"not a valid {kind}"


def short_name_ok(name):
    stem, _, extension = name.partition(".")
    return (0 < len(stem) <= 8 and len(extension) <= 3 and "." not in extension
            and not re.search(r'[\\/:*?"<>|+,;=\[\] ]', name))


def ice03(t):
    """Keys, null columns, sizes, integers, references and the kinds of the stated columns."""
    found, file_keys = [], {r["File"] for r in t.records("File")}
    for table in msi_schema.COLUMNS:
        names = t.columns(table)
        if names is None:
            continue
        types, keys = t.header(table)
        seen = set()
        for row in t.records(table):
            key = tuple(row[k] for k in keys)
            if key in seen:
                found.append(f"ICE03: {table}: duplicate primary key {'/'.join(key)}")
            seen.add(key)
            for name, kind in zip(names, types):
                value = row[name]
                if value == "" and kind[0].islower():
                    found.append(f"ICE03: {table}.{name} is null in row {'/'.join(key)}, and may not be")
                elif value and kind[0] in "sSlL" and int(kind[1:]) and len(value) > int(kind[1:]):
                    found.append(f"ICE03: {table}.{name} is longer than {kind[1:]} in row {'/'.join(key)}")
                elif value and kind[0] in "iI" and not (re.fullmatch(r"-?[0-9]+", value)
                                                        and abs(int(value)) <= (32767 if kind[1:] == "2" else 2**31 - 1)):
                    found.append(f"ICE03: {table}.{name} '{value}' is not an integer of {kind[1:]} bytes")
                elif value and (target := msi_schema.FOREIGN_KEYS.get((table, name))) and \
                        value not in {r[t.header(target)[1][0]] for r in t.records(target)}:
                    found.append(f"ICE03: {table}.{name} '{value}' names no row of {target}")
                elif value and (stated := msi_schema.KINDS.get((table, name))) and \
                        (fault := kind_fault(stated, value, file_keys)):
                    found.append(f"ICE03: {table}.{name} '{value}' is {fault}")
    return found


def ice04(t):
    last = max((int(r["LastSequence"]) for r in t.records("Media")), default=0)
    return [f"ICE04: File {r['File']} has sequence {r['Sequence']}, beyond the last medium's {last}"
            for r in t.records("File") if int(r["Sequence"] or 0) > last]


def ice06(t):
    found = []
    for table, expected in msi_schema.COLUMNS.items():
        names = t.columns(table)
        if names is not None:
            found += [f"ICE06: column {c} of table {table} is not defined in the database" for c in expected if c not in names]
    return found


def ice08(t):
    codes = collections.Counter(r["ComponentId"] for r in t.records("Component") if r["ComponentId"])
    return [f"ICE08: components share the GUID {code}" for code, count in codes.items() if count > 1]


def ice16(t):
    name = t.property("ProductName")
    return [f"ICE16: ProductName is {len(name)} characters, more than 63"] if len(name) > 63 else []


def ice63(t):
    """RemoveExistingProducts between InstallValidate and InstallInitialize, right after
    InstallInitialize, or after InstallFinalize."""
    order = sorted((int(r["Sequence"]), r["Action"]) for r in t.records("InstallExecuteSequence") if r["Sequence"])
    actions = [action for _, action in order]
    if "RemoveExistingProducts" not in actions:
        return []
    at = actions.index("RemoveExistingProducts")
    place = {a: actions.index(a) for a in ("InstallValidate", "InstallInitialize", "InstallFinalize") if a in actions}
    fits = (place.get("InstallValidate", -1) < at < place.get("InstallInitialize", -1)
            or at == place.get("InstallInitialize", -2) + 1 or at > place.get("InstallFinalize", len(actions)))
    return [] if fits else [f"ICE63: RemoveExistingProducts follows {actions[at - 1]}, where an upgrade cannot use it"]


def ice21(t):
    featured = {r["Component_"] for r in t.records("FeatureComponents")}
    return [f"ICE21: component {r['Component']} belongs to no feature" for r in t.records("Component")
            if r["Component"] not in featured]


def directory_paths(t):
    """Each folder's path, long and short (ICE30 resolves no property)."""
    rows = {r["Directory"]: r for r in t.records("Directory")}
    paths = {}

    def path(name, short, depth=0):
        row = rows.get(name)
        if row is None or depth > len(rows):
            return name
        target = row["DefaultDir"].split(":")[0]
        parts = target.split("|")
        own = parts[0] if short or len(parts) == 1 else parts[1]
        parent = row["Directory_Parent"]
        if not parent or parent == name:
            return name
        base = path(parent, short, depth + 1)
        return base if own == "." else f"{base}\\{own}"
    for name in rows:
        paths[name] = (path(name, False).upper(), path(name, True).upper())
    return paths


def ice30(t):
    paths, components = directory_paths(t), {r["Component"]: r for r in t.records("Component")}
    placed = collections.defaultdict(list)
    for row in t.records("File"):
        component = components.get(row["Component_"])
        if component is None:
            continue
        names = row["FileName"].split("|")
        folder = paths.get(component["Directory_"], ("", ""))
        for system, name, where in (("LFN", names[-1], folder[0]), ("SFN", names[0], folder[1])):
            placed[(system, where, name.upper())].append(component)
    found = []
    for (system, where, name), holders in placed.items():
        for a, b in ((a, b) for i, a in enumerate(holders) for b in holders[i + 1:] if a["Component"] != b["Component"]):
            level = "warning, if the conditions are not exclusive" if a["Condition"] and b["Condition"] else "error"
            found.append(f"ICE30: {name} is installed in {where} by two components on an {system} system: "
                         f"{a['Component']} and {b['Component']} ({level})")
    return found


def ancestors(t, name):
    rows, chain = {r["Directory"]: r for r in t.records("Directory")}, []
    while name in rows and name not in chain:
        chain.append(name)
        name = rows[name]["Directory_Parent"]
    return chain


def ice57(t):
    """No component holds both per-user and per-machine data."""
    per_machine_allusers = t.property("ALLUSERS") in ("1", "2")

    def scope(chain):
        if msi_schema.PER_USER_FOLDERS & set(chain):
            return "user"
        return "user" if msi_schema.ALLUSERS_FOLDERS & set(chain) and not per_machine_allusers else "machine"
    held = collections.defaultdict(set)
    components = {r["Component"]: r for r in t.records("Component")}
    for row in t.records("File"):
        if row["Component_"] in components:
            held[row["Component_"]].add(scope(ancestors(t, components[row["Component_"]]["Directory_"])))
    for row in t.records("Registry"):
        root = int(row["Root"])
        held[row["Component_"]].add("user" if root == 1 or (root == -1 and not per_machine_allusers) else "machine")
    for name, row in components.items():
        if not row["KeyPath"]:
            held[name].add(scope(ancestors(t, row["Directory_"])))
    return [f"ICE57: component {name} has both per-user and per-machine data" for name, scopes in held.items()
            if len(scopes) > 1]


def ice60(t):
    fonts = {r.get("File_") for r in t.records("Font")}
    keys = {r["File"] for r in t.records("File")}
    versioned = {r["File"] for r in t.records("File") if r["Version"] and r["Version"] not in keys}
    found = [f"ICE60: the file {r['File']} is not a font, and its version is not a companion file reference: "
             "it should have a language" for r in t.records("File")
             if r["File"] in versioned and r["File"] not in fonts and not r["Language"]]
    found += [f"ICE60: the file {r['File_']} is versioned; it cannot be hashed" for r in t.records("MsiFileHash")
              if r["File_"] in versioned]
    return found


def ice61(t):
    found, own = [], version(t.property("ProductVersion")) or ()
    secure = set(t.property("SecureCustomProperties").split(";"))
    authored = {r["Property"] for r in t.records("Property")}
    counted = collections.Counter(r["ActionProperty"] for r in t.records("Upgrade"))
    for row in t.records("Upgrade"):
        prop, attributes = row["ActionProperty"], int(row["Attributes"] or 0)
        low, high = version(row["VersionMin"] or "0"), version(row["VersionMax"] or "0")
        found += [f"ICE61: {why} ({prop})" for why, broken in (
            ("the Upgrade table's action property is authored in the Property table", prop in authored),
            ("the Upgrade table's action property must not contain lowercase letters", prop != prop.upper()),
            ("the Upgrade table's action property must be in SecureCustomProperties", prop not in secure),
            ("the Upgrade table's action property may be used in only one record", counted[prop] > 1),
            ("Upgrade.VersionMin or VersionMax is not a product version",
             (row["VersionMin"] and not low) or (row["VersionMax"] and not high)),
            ("Upgrade.VersionMax cannot be less than Upgrade.VersionMin",
             row["VersionMin"] and row["VersionMax"] and low and high and high < low)) if broken]
        if row["UpgradeCode"] == t.property("UpgradeCode") and not attributes & 2 and row["VersionMax"] and high:
            top, inclusive = high[:3], attributes & 512
            if top > own[:3] or (top == own[:3] and inclusive):
                found.append(f"ICE61: the Upgrade row for {prop} removes versions up to the package's own "
                             f"({row['VersionMax']}{' inclusive' if inclusive else ''})" if top == own[:3] else
                             f"ICE61: the Upgrade row for {prop} removes newer versions ({row['VersionMax']})")
    return found


def ice77(t):
    """Actions in the installation script lie between InstallInitialize and InstallFinalize."""
    types = {r["Action"]: int(r["Type"]) for r in t.records("CustomAction") if re.fullmatch(r"-?[0-9]+", r["Type"])}
    found = []
    for table in ("InstallExecuteSequence", "AdminExecuteSequence", "AdvtExecuteSequence"):
        numbers = {r["Action"]: int(r["Sequence"]) for r in t.records(table) if r["Sequence"]}
        start, end = numbers.get("InstallInitialize"), numbers.get("InstallFinalize")
        found += [f"ICE77: {action} is in the script but not between InstallInitialize and InstallFinalize in {table}"
                  for action, number in numbers.items() if types.get(action, 0) & 0x400
                  and not (start is not None and end is not None and start < number < end)]
    return found


def ice80(t):
    template = re.search(r"^Template: (.*)$", t.summary, re.M)
    pages = re.search(r"^Version: ([0-9]+)", t.summary, re.M)
    platform, _, languages = (template[1] if template else "").partition(";")
    wide = platform in ("x64", "Intel64", "Arm64")
    found = [] if template and pages else ["ICE80: bad value in the summary information (template or page count)"]
    least = {"Intel64": 150, "x64": 200, "Arm64": 500}.get(platform, 0)
    if pages and int(pages[1]) < least:
        found.append(f"ICE80: this package is marked {platform}, but its schema is less than {least}")
    if t.property("ProductLanguage") not in languages.split(","):
        found.append("ICE80: ProductLanguage is not in the template summary property")
    for row in t.records("Component"):
        bits, chain = int(row["Attributes"] or 0) & 256, set(ancestors(t, row["Directory_"]))
        if bits and not wide:
            found.append(f"ICE80: this package contains the 64-bit component {row['Component']}, but its template is {platform}")
        if bits and chain & msi_schema.FOLDERS_32:
            found.append(f"ICE80: the 64-bit component {row['Component']} uses a 32-bit directory")
        if not bits and chain & msi_schema.FOLDERS_64:
            found.append(f"ICE80: the 32-bit component {row['Component']} uses a 64-bit directory")
    if not wide:
        used = {r["Directory"] for r in t.records("Directory")} | {r["Property"] for r in t.records("Property")}
        found += [f"ICE80: this 32-bit package uses the 64-bit property {name}" for name in sorted(used & msi_schema.FOLDERS_64)]
    return found


def ice82(t):
    found = []
    for table in msi_schema.SEQUENCES:
        by_number = collections.defaultdict(list)
        for row in t.records(table):
            if row["Sequence"] and int(row["Sequence"]) > 0:
                by_number[row["Sequence"]].append(row["Action"])
        found += [f"ICE82: the action {action} has duplicate sequence number {number} in the table {table}"
                  for number, actions in by_number.items() if len(actions) > 1 for action in actions]
    registration = ("RegisterProduct", "RegisterUser", "PublishProduct", "PublishFeatures")
    present = [a for a in registration if any(r["Action"] == a for r in t.records("InstallExecuteSequence"))]
    if len(present) != len(registration):
        found.append(f"ICE82: the InstallExecuteSequence should contain all of {', '.join(registration)} "
                     f"({'none' if not present else 'only ' + ', '.join(present)} present)")
    return found


def faults(tables):
    """Every finding of every rule, the allowed warning left out."""
    found = []
    for rule in RULES:
        found += [line for line in globals()[rule.lower()](tables) if not line.startswith(ALLOWED)]
    return found
