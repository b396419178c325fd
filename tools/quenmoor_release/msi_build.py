"""Builds the Windows Installer package of one architecture with wixl from the files as they ship
in the ZIP, completes its tables with msibuild and checks them (msi_check); tools/build-msi.sh
says how to call it. The same inputs and SOURCE_DATE_EPOCH give the same bytes: the product and
package codes are derived from every input and the packed files' checksums, the summary times
are SOURCE_DATE_EPOCH."""
import hashlib
import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile

import check_task_principal
from quenmoor_release import msi_check, msi_common, msi_times, release_files

USAGE = ("usage: build-msi.sh [--test-build=WORD] [--help-link=URL] [--fail-after-task] "
         "x86|x64 PROGRAM TASK_XML FOLDER_CHECK VERSION PUBLISHER OUTPUT")
# wixl's names of the components' codes, and the names the codes are derived from; each shipped
# program adds its own (component_codes).
COMPONENTS = {"TaskComponent": "task", "TaskWow64Component": "task wow64", "FolderCheckComponent": "folder check"}
WXS = os.path.normpath(os.path.join(__file__, "..", "..", "..", "packaging", "quenmoor-update.wxs"))


class Failure(Exception):
    pass


def version_fault(version):
    """Why Windows Installer cannot take the version, or None: major and minor at most 255,
    build at most 65535, and a fourth number of 0: Windows Installer compares only the first
    three, so builds that differ in the fourth cannot be told older or newer."""
    numbers = re.fullmatch(r"([0-9]+)\.([0-9]+)\.([0-9]+)\.([0-9]+)", version)
    if not numbers or any(int(n) > most for n, most in zip(numbers.groups(), (255, 255, 65535))):
        return f"version {version} is not four numbers that Windows Installer accepts (255.255.65535.N at most)"
    if int(numbers[4]):
        same = f"{version.rsplit('.', 1)[0]}.0"
        return (f"version {version}: Windows Installer compares only the first three numbers, so this "
                f"package and {same} would each replace the other as another build of the same version, "
                f"and a downgrade to {same} would not be refused; raise the third")
    return None


def task_definition(shipped, program_files, folder):
    """The package's task definition from the shipped one (UTF-16 with its mark, or UTF-8): its
    one <Command> names the program in `folder` through the Program Files variable `program_files`; written
    in UTF-16 with its mark and CRLF line ends, as Task Scheduler writes definitions."""
    text = shipped.decode("utf-16") if shipped[:2] == b"\xff\xfe" else shipped.decode("utf-8")
    lines = text.split("\n")
    command = re.compile("<Command>.*</Command>")
    if sum(1 for line in lines if command.search(line)) != 1:
        raise ValueError("must have exactly one <Command> line")
    path = f'<Command>"%{program_files}%\\{folder}\\{msi_common.TASK_PROGRAM}.exe"</Command>'
    return release_files.utf16_crlf("\n".join(command.sub(lambda _: path, line, count=1) for line in lines))


def files_checksum(folder):
    """The SHA-256 of the list of the folder's files and their SHA-256 (sha256sum's lines), in the
    order of the names' code points, whatever the caller's locale."""
    listing = "".join(release_files.sha256_line(os.path.join(folder, name), name) for name in sorted(os.listdir(folder)))
    return hashlib.sha256(listing.encode()).hexdigest()


def program_components(shipped_files):
    """The shipped programs' components, from their rows of msi_common.folder_files, as the
    package's source names them: one file each, its code from the program's name, so the same in
    every version."""
    components = {}
    lines = ["<Include>"]
    for table, name, _ in shipped_files:
        components[f"{table}Component"] = table.lower()
        lines += [f'  <Component Id="{table}" Guid="$(var.{table}Component)" Win64="$(var.Win64)">',
                  f'    <File Id="{table}" Name="{name}" Source="{name}" KeyPath="yes" />',
                  "  </Component>"]
    refs = ["<Include>", *(f'  <ComponentRef Id="{table[:-len("Component")]}" />' for table in components)]
    return components, "\n".join(lines + ["</Include>\n"]), "\n".join(refs + ["</Include>\n"])


def package_codes(namespace, components, arch, version, publisher, test_build, fail_after_task, files_sum):
    """ProductCode and the package code, new for any change of the package's inputs, and the
    components' codes by wixl's names, the same in every version of an architecture's package."""
    build = f"{arch} {version} {publisher} {test_build} {str(fail_after_task).lower()} {files_sum}"
    names = [f"product {build}", f"package {build}"] + [f"component {arch} {c}" for c in components.values()]
    return dict(zip(["ProductCode", "package", *components], msi_common.codes(namespace, *names)))


def insert(table, **row):
    """An SQL statement adding the row: numbers as they are, text quoted."""
    values = ", ".join(str(v) if isinstance(v, int) else "'" + v.replace("'", "''") + "'" for v in row.values())
    return f"INSERT INTO {table} ({', '.join(row)}) VALUES ({values})"


def msibuild(package, queries, *options):
    """Runs the queries on the package, then msibuild's other options; True when it succeeded."""
    return subprocess.run(["msibuild", package, *(a for q in queries for a in ("-q", q)), *options],
                          check=False).returncode == 0


def build(options, arch, program, task, folder_check, version, publisher, output, work):
    """Builds the package in the folder `work`, then moves it to `output`; raises Failure."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "")
    for tool in "wixl", "msibuild", "msiinfo":
        if not shutil.which(tool):
            raise Failure(f"{tool} not found: tools/install-dependencies.sh installs it (Debian's wixl and msitools)")
    if not epoch:
        raise Failure("SOURCE_DATE_EPOCH is not set (the release's time, in seconds)")
    for path, what in (program, "program"), (task, "task definition"), (folder_check, "folder check"):
        if not os.path.isfile(path):
            raise Failure(f"no {what} at {path}")
    for fault in version_fault(version), None if publisher else "no publisher":
        if fault:
            raise Failure(fault)
    if not os.path.isfile(os.environ.get("QUENMOOR_FACTS", "")):
        raise Failure("QUENMOOR_FACTS must name the build's quenmoor-facts.json")
    facts = msi_common.Facts(os.environ["QUENMOOR_FACTS"])
    task_name, product_name = facts["task_name"], facts["product_name"]
    programs = facts.programs()
    if msi_common.TASK_PROGRAM not in programs:
        raise Failure(f"the release does not ship {msi_common.TASK_PROGRAM}, the program the task runs")
    if arch not in msi_common.ARCHITECTURES:
        raise Failure("unknown architecture (x86 or x64)")
    names = msi_common.ARCHITECTURES[arch]
    shown_name = product_name + (f" ({test_build})" if (test_build := options["test_build"]) else "")

    files = os.path.join(work, "files")
    os.mkdir(files)
    # PROGRAM is the task's program; every other shipped program lies beside it.
    folder = msi_common.folder_files(programs, arch)
    shipped_files = folder[:len(programs)]
    sources = {name: program if name == f"{msi_common.TASK_PROGRAM}.exe" else os.path.join(os.path.dirname(program), name)
               for _, name, _ in shipped_files}
    for source, name in *((source, name) for name, source in sources.items()), (folder_check, msi_common.FOLDER_CHECK):
        if not os.path.isfile(source):
            raise Failure(f"no {name} beside {program}")
        shutil.copy(source, os.path.join(files, name))
    # The package's task definitions: the x86 package has one for 64-bit Windows too.
    definitions = {"task.xml": "ProgramFiles", **({"task-wow64.xml": "ProgramFiles(x86)"} if arch == "x86" else {})}
    try:
        for name, variable in definitions.items():
            pathlib.Path(files, name).write_bytes(task_definition(pathlib.Path(task).read_bytes(), variable, product_name))
    except ValueError as error:  # UnicodeDecodeError too
        raise Failure(f"{task}: {error}") from None
    packed = [os.path.join(files, name) for name in sorted(definitions)]
    if check_task_principal.main([f"--folder={product_name}", task, *packed]):
        raise Failure("a task definition does not run the program as LOCAL SERVICE (above)")
    # The cabinet keeps each file's time; TZ fixes how it is written down.
    for name in os.listdir(files):
        os.utime(os.path.join(files, name), (int(epoch), int(epoch)))
    components, component_source, component_refs = program_components(shipped_files)
    for name, text in ("programs.wxi", component_source), ("program-refs.wxi", component_refs):
        pathlib.Path(work, name).write_text(text, encoding="utf-8")
    codes = package_codes(facts["code_namespace"], components | COMPONENTS, arch, version, publisher, test_build,
                          options["fail_after_task"], files_checksum(files))
    package_code = codes.pop("package")
    upgrade_code = facts.upgrade_code(arch)

    # wixl takes the files' paths relative to the folder it runs in.
    package = os.path.join(work, "package.msi")
    defines = dict(codes, Arch=arch, BaseName=product_name, Version=version, Manufacturer=publisher, TaskName=task_name,
                   ProductName=shown_name, UpgradeCode=upgrade_code,
                   OtherUpgradeCode=facts.upgrade_code(names["other"]),
                   ProgramFilesFolder=names["program_files"], SystemFolder=names["system"],
                   Win64=names["win64"], FolderCheck=msi_common.FOLDER_CHECK, Task="task.xml",
                   TaskWow64="task-wow64.xml", TaskWow64Name=msi_common.TASK_DEFINITION_WOW64,
                   DefinitionProperty=msi_common.DEFINITION_PROPERTY, RegisterWhen=msi_common.REGISTER_WHEN, DeleteWhen=msi_common.DELETE_WHEN)
    wixl = subprocess.run(["wixl", "--arch", arch, "-o", package, "-I", work,
                           *(a for d in defines.items() for a in ("-D", "=".join(d))), WXS],
                          cwd=files, env=dict(os.environ, TZ="UTC"), check=False,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    sys.stderr.write(wixl.stdout.decode(errors="replace"))
    if wixl.returncode:
        raise Failure(f"wixl could not build the package from {WXS}")
    # wixl writes warnings for what it ignores; an ignored attribute is a package that differs
    # from its source, so any is fatal.
    if wixl.stdout:
        raise Failure(f"wixl ignored parts of {WXS} (above)")

    # What wixl has no element for: the x86 package's two task definitions by the Windows they
    # fit, the launch conditions (Windows 7 as the oldest, not beside the other architecture's
    # package), the replacement of an installed build of the same version, the rollback of the
    # task's registration and deletion, short names and file versions, and the summary
    # information (package code, times).
    register = msi_common.column(msi_common.rows(package, "CustomAction"), "RegisterTask", 3)
    beside = ({"Condition": "Installed OR NOT OTHER_ARCHITECTURE_INSTALLED",
               "Description": f"{product_name} for x64 is installed. Remove it first: both would run the same task."}
              if arch == "x86" else
              {"Condition": "Installed OR NOT X86_NEWER_FOUND",
               "Description": f"A newer version of {product_name} for x86 is installed. Remove it first to install this one."})
    administrator_only = (f"An administrator must install and remove {product_name}: from an elevated Command Prompt, "
                          "or as SYSTEM by the distribution tool.")
    queries = [
        insert("LaunchCondition", Condition="Installed OR VersionNT >= 601",
               Description=f"{product_name} needs Windows 7 or later."),
        insert("LaunchCondition", **beside),
        # The programs keep version 1.0.0.0 while their links change; an installed build of the
        # same version (another product code) is replaced like an older one (VersionMaxInclusive
        # 512). (Attributes is part of the row's key, which cannot be updated in place.)
        "DELETE FROM Upgrade WHERE ActionProperty = 'WIX_UPGRADE_DETECTED'",
        insert("Upgrade", UpgradeCode=f"{{{upgrade_code}}}", VersionMin="", VersionMax=version,
               Attributes=513, ActionProperty="WIX_UPGRADE_DETECTED"),
        # Rollback (256) in the script (1024) as LocalSystem (2048), its failure ignored (64):
        # a failed first installation unregisters the task it registered; a failed removal
        # registers it again from the definition that the rollback has put back.
        insert("CustomAction", Action="RollbackRegisterTask", Type=3442, Source="SCHTASKS",
               Target=f'/Delete /F /TN "{task_name}"'),
        insert("CustomAction", Action="RollbackDeleteTask", Type=3442, Source="SCHTASKS", Target=register),
        # The task's folder, once it holds no task and no folder: a script (JScript 37, no
        # console) in the script (1024) as LocalSystem (2048), its failure ignored (64), after
        # the task's deletion; a failed removal's rollback registers the task, folder and all.
        insert("CustomAction", Action="DeleteTaskFolder", Type=3173, Target=msi_common.delete_task_folder(task_name)),
        insert("InstallExecuteSequence", Action="DeleteTaskFolder", Condition=msi_common.DELETE_WHEN, Sequence=3491),
        insert("InstallExecuteSequence", Action="RollbackRegisterTask", Condition=msi_common.REGISTER_WHEN, Sequence=4009),
        insert("InstallExecuteSequence", Action="RollbackDeleteTask", Condition=msi_common.DELETE_WHEN, Sequence=3489),
        # AdminUser from the account itself, not from the elevation that Windows Installer
        # grants a standard user for a managed product.
        insert("Property", Property="MSIUSEREALADMINDETECTION", Value="1"),
        insert("LaunchCondition", Condition=msi_common.ADMINISTRATOR_ONLY, Description=administrator_only),
        f"UPDATE Directory SET DefaultDir = '{msi_common.short_name(product_name, set())}|{product_name}' "
        "WHERE Directory = 'InstallFolder'",
        # Short names; the programs' version and language, and no hash, which Windows Installer
        # keeps for unversioned files only (ICE60).
        *(f"UPDATE File SET FileName = '{short}|{name}'"
          + (f", Version = '{version}', Language = '{msi_common.PROGRAM_LANGUAGE}'" if name.endswith(".exe") else "")
          + f" WHERE File = '{table}'" for table, name, short in folder),
        *(f"DELETE FROM MsiFileHash WHERE File_ = '{table}'" for table, name, _ in folder if name.endswith(".exe")),
        insert("Property", Property=msi_common.DEFINITION_PROPERTY, Value=msi_common.TASK_DEFINITION),
        insert("Property", Property="ARPCONTACT", Value=publisher)]
    if options["help_link"]:
        queries.append(insert("Property", Property="ARPHELPLINK", Value=options["help_link"]))
    if about := msi_common.about_link(options["help_link"]):
        queries.append(insert("Property", Property="ARPURLINFOABOUT", Value=about))
    if arch == "x64":
        # wixl drops IncludeMaximum: the x86 build of this very version is replaced too (256 + 512).
        queries += ["DELETE FROM Upgrade WHERE ActionProperty = 'X86_BUILD_FOUND'",
                    insert("Upgrade", UpgradeCode=f"{{{facts.upgrade_code('x86')}}}", VersionMin="0.0.0",
                           VersionMax=version, Attributes=768, ActionProperty="X86_BUILD_FOUND")]
    if arch == "x86":
        queries += ["UPDATE Component SET Condition = 'NOT VersionNT64' WHERE Component = 'TaskDefinition'",
                    "UPDATE Component SET Condition = 'VersionNT64' WHERE Component = 'TaskDefinitionWow64'",
                    # On 64-bit Windows the task is registered from the definition for it.
                    insert("CustomAction", Action="FindWow64Definition", Type=51, Source=msi_common.DEFINITION_PROPERTY,
                           Target=msi_common.TASK_DEFINITION_WOW64),
                    insert("InstallExecuteSequence", Action="FindWow64Definition", Condition="VersionNT64", Sequence=1009)]
    if not msibuild(package, queries, "-s", f"{shown_name} {version} ({arch})", publisher,
                    names["template"], f"{{{package_code}}}"):
        raise Failure("msibuild could not complete the package")
    try:
        msi_times.stamp(package, int(epoch))
    except (ValueError, struct.error, IndexError) as error:
        raise Failure(f"could not set the package's summary times: {error}") from None

    if msi_check.main([package, arch, version, publisher, shown_name, options["help_link"]]):
        raise Failure(f"the package failed its check (above); nothing was written to {output}")
    # cmd.exe of the package's architecture ends with status 1 after the task's registration, in
    # the script as LocalSystem, its failure checked (3122): the installation rolls back.
    if options["fail_after_task"] and not msibuild(package, [
            insert("CustomAction", Action="FindCmd", Type=51, Source="PLANTED_FAILURE", Target=f"[{names['system']}]cmd.exe"),
            insert("CustomAction", Action="PlantedFailure", Type=3122, Source="PLANTED_FAILURE", Target="/c exit 1"),
            insert("InstallExecuteSequence", Action="FindCmd", Condition="", Sequence=1011),
            insert("InstallExecuteSequence", Action="PlantedFailure", Condition='NOT REMOVE="ALL"', Sequence=4020)]):
        raise Failure("msibuild could not plant the failure")
    shutil.move(package, output)
    print(f"built {output} (product code {{{codes['ProductCode']}}})")


def main(argv):
    options = {"test_build": "", "help_link": "", "fail_after_task": False}
    while argv and (argv[0] == "--fail-after-task" or argv[0].startswith(("--test-build=", "--help-link="))):
        name, equals, value = argv.pop(0)[2:].partition("=")
        options[name.replace("-", "_")] = value if equals else True
    if len(argv) != 7:
        print(USAGE, file=sys.stderr)
        return 2
    # The package is moved to OUTPUT once built and checked: a failure leaves nothing there.
    if os.path.lexists(argv[6]):
        os.remove(argv[6])
    work = tempfile.mkdtemp()
    try:
        build(options, *argv, work)
        return 0
    except Failure as failure:
        print(f"build-msi ({argv[0]}): {failure}", file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
