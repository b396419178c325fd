"""Checks a Windows Installer package built by tools/build-msi.sh through its tables (msiinfo
export) and summary information; tools/check-msi.sh says how to call it. Every failed check is
named; the status is 1 when any failed."""
import functools
import os
import re
import subprocess
import sys
import time

from quenmoor_release import msi_common, msi_ice, msi_privilege

USAGE = "usage: check-msi.sh PACKAGE x86|x64 VERSION PUBLISHER [PRODUCT_NAME [HELP_LINK]]"


class Expectations:
    """Compares a package's tables, given as a function of the table's name, with the rows it
    must have, and names each one missing."""

    def __init__(self, package, table_rows):
        self.package = package
        self.rows = table_rows
        self.failures = 0

    def fail(self, why):
        print(f"FAIL ({self.package}): {why}", file=sys.stderr)
        self.failures += 1

    def row(self, table, why, *columns):
        if list(columns) not in self.rows(table):
            self.fail(f"{why}: no row '{' | '.join(columns)}' in table {table}")

    def sequence_of(self, action):
        return msi_common.column(self.rows("InstallExecuteSequence"), action, 2)

    def order(self, *actions):
        """The actions run in this order in the installation."""
        previous, previous_number = "", -1
        for action in actions:
            number = self.sequence_of(action)
            if not number:
                self.fail(f"{action} is not in the installation sequence")
            elif int(number) <= previous_number:
                self.fail(f"{action} ({number}) must run after {previous} ({previous_number})")
            previous, previous_number = action, int(number or previous_number)


def check(expect, arch, version, publisher, product_name, help_link, facts, summary):
    """The rows of the package's tables, the order of its actions and the validation rules."""
    names, base, task = msi_common.ARCHITECTURES[arch], facts["product_name"], facts["task_name"]
    # Fixed for ever: Windows Installer finds the installed product by them.
    code, other_code = ("{" + facts.upgrade_code(a) + "}" for a in (arch, names["other"]))
    components, files = expect.rows("Component"), expect.rows("File")
    register = f'/Create /F /TN "{task}" /XML "[InstallFolder][{msi_common.DEFINITION_PROPERTY}]"'
    delete = f'/Delete /F /TN "{task}"'

    def component(name, condition):
        return [name, msi_common.column(components, name, 1), "InstallFolder", names["component_bits"],
                condition, name]

    rows = [
        ("Property", "name shown by Add/Remove Programs", ["ProductName", product_name]),
        ("Property", "publisher shown by Add/Remove Programs", ["Manufacturer", publisher]),
        ("Property", "contact shown by Add/Remove Programs", ["ARPCONTACT", publisher]),
        ("Property", "support link shown by Add/Remove Programs", ["ARPHELPLINK", help_link] if help_link else None),
        ("Property", "about link shown by Add/Remove Programs",
         ["ARPURLINFOABOUT", msi_common.about_link(help_link)] if msi_common.about_link(help_link) else None),
        ("Property", "version", ["ProductVersion", version]),
        ("Property", "per-machine installation", ["ALLUSERS", "1"]),
        # Names in 8.3 form beside the long ones, as Windows Installer's name columns want them (ICE03).
        ("Directory", "installation folder",
         ["InstallFolder", names["program_files"], f"{msi_common.short_name(base, set())}|{base}"])]
    # Every shipped program, the task's first, the folder check and the task's definitions (the
    # x86 package's two for the Windows each fits), packed in that order; the programs carry the
    # version and the language of their version records.
    conditions = {"TaskDefinition": "NOT VersionNT64", "TaskDefinitionWow64": "VersionNT64"} if arch == "x86" else {}
    for number, (name, file, short) in enumerate(msi_common.folder_files(facts.programs(), arch), start=1):
        exe = file.endswith(".exe")
        rows += [("Component", f"the component of {file}", component(name, conditions.get(name, ""))),
                 ("File", file, [name, name, f"{short}|{file}", msi_common.column(files, name, 3),
                                 version if exe else "", msi_common.PROGRAM_LANGUAGE if exe else "", "512", str(number)])]
    rows += [
        ("Property", "the definition the task is registered from",
         [msi_common.DEFINITION_PROPERTY, msi_common.TASK_DEFINITION]),
        ("CustomAction", "on 64-bit Windows, the x86 package's definition for it",
         ["FindWow64Definition", "51", msi_common.DEFINITION_PROPERTY, msi_common.TASK_DEFINITION_WOW64, ""]
         if arch == "x86" else None),
        ("InstallExecuteSequence", "the definition for 64-bit Windows chosen there",
         ["FindWow64Definition", "VersionNT64", expect.sequence_of("FindWow64Definition")] if arch == "x86" else None),
        # The task: registered from the installed definition by LocalSystem (deferred 1024 + no
        # impersonation 2048 + program named by a property 50), deleted before the files go, with
        # a failed deletion (a task removed by hand) not stopping the removal (64).
        ("CustomAction", "schtasks.exe of the package's architecture",
         ["FindSchtasks", "51", "SCHTASKS", f"[{names['system']}]schtasks.exe", ""]),
        ("CustomAction", "the task's registration", ["RegisterTask", "3122", "SCHTASKS", register, ""]),
        ("CustomAction", "the task's deletion", ["DeleteTask", "3186", "SCHTASKS", delete, ""]),
        ("CustomAction", "the task folder's deletion when empty (JScript as LocalSystem, its failure ignored)",
         ["DeleteTaskFolder", "3173", "", msi_common.delete_task_folder(task), ""]),
        # Rollback: written into the script before the action it undoes (rollback 256 + in the
        # script 1024 + LocalSystem 2048 + its failure ignored 64). A failed first installation
        # deletes the task it registered; a failed removal registers it again.
        ("CustomAction", "the registration's rollback", ["RollbackRegisterTask", "3442", "SCHTASKS", delete, ""]),
        ("CustomAction", "the deletion's rollback", ["RollbackDeleteTask", "3442", "SCHTASKS", register, ""]),
        # Upgrades: an older version, or another build of this version, is removed (the version
        # inclusive, 512); a newer one refuses this package.
        ("Property", "the architecture's upgrade code", ["UpgradeCode", code]),
        ("Upgrade", "older versions and other builds of this one are upgraded",
         [code, "", version, "", "513", "", "WIX_UPGRADE_DETECTED"]),
        ("Upgrade", "newer versions are detected", [code, version, "", "", "2", "", "WIX_DOWNGRADE_DETECTED"]),
        ("LaunchCondition", "a downgrade is refused", ["NOT WIX_DOWNGRADE_DETECTED",
         f"A newer version of {base} is already installed. Remove it first to install this one."]),
        ("Property", "AdminUser is set by the account, not by a managed product's elevation",
         ["MSIUSEREALADMINDETECTION", "1"]),
        ("LaunchCondition", "only an administrator installs or removes; a standard user may repair",
         [msi_common.ADMINISTRATOR_ONLY, f"An administrator must install and remove {base}: from an elevated "
          "Command Prompt, or as SYSTEM by the distribution tool."]),
        ("LaunchCondition", "Windows 7 or later", ["Installed OR VersionNT >= 601", f"{base} needs Windows 7 or later."]),
        # The x86 package refuses to install beside the x64 one; the x64 package replaces the
        # x86 one of its version or older in its own installation and refuses a newer one.
        *([("Upgrade", "the x64 package is detected",
            [other_code, "0.0.0", "", "", "258", "", "OTHER_ARCHITECTURE_INSTALLED"]),
           ("LaunchCondition", "not beside the x64 package",
            ["Installed OR NOT OTHER_ARCHITECTURE_INSTALLED",
             f"{base} for x64 is installed. Remove it first: both would run the same task."])] if arch == "x86" else
          [("Upgrade", "the x86 package of this version or older is replaced",
            [other_code, "0.0.0", version, "", "768", "", "X86_BUILD_FOUND"]),
           ("Upgrade", "a newer x86 package is detected", [other_code, version, "", "", "2", "", "X86_NEWER_FOUND"]),
           ("LaunchCondition", "not over a newer x86 package",
            ["Installed OR NOT X86_NEWER_FOUND",
             f"A newer version of {base} for x86 is installed. Remove it first to install this one."])])]
    for table, why, columns in rows:
        if columns is not None:
            expect.row(table, why, *columns)
    # No restart of its own: the only one Windows Installer may ask for is a file in use (3010).
    for table in msi_privilege.SEQUENCES:
        for action in "ForceReboot", "ScheduleReboot":
            if any(row[:1] == [action] for row in expect.rows(table)[3:]):
                expect.fail(f"no restart of its own: {table} has {action}")
    # Windows Installer's validation rules (msi_ice).
    for fault in msi_ice.faults(msi_ice.Tables(expect.rows, summary)):
        expect.fail(fault)
    # Where the task's actions run, and that nothing else runs code as SYSTEM on a repair or for a
    # standard user (msi_privilege).
    register, delete = (["a first installation by an administrator", "an upgrade by an administrator"],
                        ["a removal by an administrator", "the removal of the older build inside an upgrade"])
    for fault in msi_privilege.faults(expect.rows("CustomAction"), {t: expect.rows(t) for t in msi_privilege.SEQUENCES},
                                      {"RegisterTask": register, "RollbackRegisterTask": register,
                                       "DeleteTask": delete, "RollbackDeleteTask": delete, "DeleteTaskFolder": delete}):
        expect.fail(f"no program as SYSTEM on a repair or for a standard user: {fault}")
    # The older build is removed inside the transaction, after InstallInitialize, so a failed
    # upgrade rolls that removal back too.
    expect.order("FindRelatedProducts", "LaunchConditions", "FindSchtasks", "InstallValidate",
                 "InstallInitialize", "RemoveExistingProducts", "RollbackDeleteTask", "DeleteTask",
                 "DeleteTaskFolder", "RemoveFiles", "InstallFiles", "RollbackRegisterTask", "RegisterTask", "InstallFinalize")


def check_summary(expect, template, summary, epoch):
    """The summary information as `msiinfo suminfo` prints it, times in UTC."""
    lines = summary.split("\n")
    if f"Template: {template}" not in lines:
        expect.fail(f"summary: platform is not {template}")
    if not any(re.fullmatch(r"Revision number \(UUID\): \{[0-9A-F-]{36}\}", line) for line in lines):
        expect.fail("summary: no package code")
    if epoch:
        stamp = time.strftime("%a %b %e %H:%M:%S %Y", time.gmtime(int(epoch)))
        for field in "Created", "Last saved":
            if f"{field}: {stamp}" not in lines:
                expect.fail(f"summary: {field} is not {stamp} (SOURCE_DATE_EPOCH)")


def main(argv):
    if not 4 <= len(argv) <= 6:
        print(USAGE, file=sys.stderr)
        return 2
    if not os.path.isfile(os.environ.get("QUENMOOR_FACTS", "")):
        print("QUENMOOR_FACTS must name the build's quenmoor-facts.json", file=sys.stderr)
        return 2
    facts = msi_common.Facts(os.environ["QUENMOOR_FACTS"])
    package, arch, version, publisher = argv[:4]
    product_name = (argv[4:5] or [""])[0] or facts["product_name"]
    help_link = (argv[5:6] or [""])[0]
    if arch not in msi_common.ARCHITECTURES:
        print(f"unknown architecture {arch}", file=sys.stderr)
        return 2
    if subprocess.run(["msiinfo", "tables", package], capture_output=True, check=False).returncode:
        print(f"FAIL: {package} is not a Windows Installer package", file=sys.stderr)
        return 1
    expect = Expectations(package, functools.lru_cache(None)(lambda table: msi_common.rows(package, table)))
    summary = subprocess.run(["msiinfo", "suminfo", package], env=dict(os.environ, TZ="UTC"),
                             stdout=subprocess.PIPE, encoding="utf-8", errors="surrogateescape",
                             check=False).stdout
    check(expect, arch, version, publisher, product_name, help_link, facts, summary)
    check_summary(expect, msi_common.ARCHITECTURES[arch]["template"], summary,
                  os.environ.get("SOURCE_DATE_EPOCH"))
    if expect.failures:
        return 1
    print(f"{package}: tables checked ({arch}, {version})")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
