"""Takes one architecture's Windows Installer package through the cycle a fleet puts it through,
under Wine in a fresh prefix; tests/windows/msi_cycle.sh says what the cycle does and how to call
it, and gives this module the Wine environment of tests/windows/wine_env.sh. Every failed check
is named as "FAIL [arch, step]: ..."; the status is 1 when any failed."""
import filecmp
import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import tempfile

from quenmoor_release import msi_common

USAGE = "usage: msi_cycle.sh x86|x64 PREFIX PACKAGE FACTS [OTHER_PACKAGE]"
ROOT = pathlib.Path(__file__).resolve().parents[2]
WINDOWS_TESTS = ROOT / "tests" / "windows"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
# Where 64-bit Windows lists the x86 package's product.
UNINSTALL_WOW64 = r"HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall"
UPDATE, CHECK = f"{msi_common.TASK_PROGRAM}.exe", "quenmoor-check.exe"
# The settings that Wine's Task Scheduler keeps of a registered task (it keeps no triggers,
# principal or actions, so those are read in the installed definition instead).
TASK_SETTINGS = ("<MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>",
                 "<ExecutionTimeLimit>PT10M</ExecutionTimeLimit>", "<Hidden>false</Hidden>")


class Abort(Exception):
    """The cycle cannot go on: its packages cannot be made or its prefix cannot start."""


def msiexec_faults(arguments, expected, status, output):
    """What is wrong with a quiet msiexec's end. Wine hands on the Windows exit code modulo 256,
    as a Linux exit status (1603 becomes 67); msiexec itself prints nothing."""
    faults = []
    if status != expected % 256:
        faults.append(f"msiexec {arguments} ended {status}, not {expected} modulo 256")
    if output:
        faults.append(f"msiexec {arguments} printed: {output[:300].decode(errors='replace').rstrip(chr(10))}")
    return faults


def products(listing, name):
    """The products that `reg query UNINSTALL /s` lists under a display name beginning with
    `name`, as "CODE VERSION PUBLISHER" lines, in the order of their codes."""
    values, key = {}, ""
    for line in listing.replace("\r", "").split("\n"):
        if line.startswith("HKEY_"):
            key = line.rpartition("\\")[2]
        elif match := re.fullmatch(r"\s+(DisplayName|DisplayVersion|Publisher)\s+REG_SZ(?: {4}(.*))?", line):
            values.setdefault(key, {})[match[1]] = match[2] or ""
    return sorted(f"{key} {value.get('DisplayVersion', '')} {value.get('Publisher', '')}"
                  for key, value in values.items() if value.get("DisplayName", "").startswith(name))


def definition_faults(definition, program_files, program_path, publisher, program_files_x86=""):
    """What is wrong with the installed task definition (its text): what it runs, as Task
    Scheduler reads it with %ProgramFiles% (and %ProgramFiles(x86)%, when given) expanded in the
    machine's environment, must be `program_path`; its triggers, its author and its account."""
    text = definition.replace("\r", "")
    lines = text.split("\n")
    command = "\n".join(re.findall(r'^ *<Command>"(.*)"</Command>$', text, re.M))
    command = command.replace("%ProgramFiles%", program_files)
    if program_files_x86:
        command = command.replace("%ProgramFiles(x86)%", program_files_x86)
    faults = [] if command == program_path else [f"the task's command is '{command}', not '{program_path}'"]
    faults += [f"the installed definition has no {trigger}" for trigger in ("BootTrigger", "CalendarTrigger")
               if f"<{trigger}>" not in text]
    if "<LogonTrigger>" in text:
        faults.append("the installed definition runs at every logon")
    if f"    <Author>{publisher}</Author>" not in lines:
        faults.append(f"the installed definition does not name {publisher} as its author")
    if not any(re.fullmatch(r" *<UserId>S-1-5-19</UserId>", line) for line in lines):
        faults.append("the installed definition does not run the program as LOCAL SERVICE (S-1-5-19)")
    return faults


def registered_tasks(tasks):
    """The task files of the project's name below Task Scheduler's folder, as task names, one a
    line. The task's folder stays when its last task is deleted, as in Task Scheduler."""
    names = (os.path.relpath(os.path.join(folder, file), tasks) for folder, _, files in os.walk(tasks)
             for file in files)
    return "\n".join(sorted("\\" + name.replace("/", "\\") for name in names if "Quenmoor" in name))


def wine(*arguments, **options):
    """A Wine program, with no input; Wine comes from the environment the entry point set."""
    return subprocess.run(["wine", *arguments], stdin=subprocess.DEVNULL, check=False, **options)


class Cycle:
    """The checks between the steps, counting what failed."""

    def __init__(self, arch, package, facts, programs):
        """`facts` give the product's and the task's names, `programs` the programs that ship."""
        self.arch, self.step, self.failures = arch, "checking the package", 0
        self.properties = msi_common.rows(package, "Property")
        self.publisher = self.property("Manufacturer")
        self.name = facts["product_name"]
        # Every program of the release, so that one added to it is checked too.
        self.installed = [f"{program}.exe" for program in programs] + [msi_common.FOLDER_CHECK]
        self.task_name = facts["task_name"]
        self.drive = pathlib.Path(os.environ["WINEPREFIX"], "drive_c")
        # The installation folder is named after the product.
        self.folder = self.drive / "Program Files" / self.name
        self.program_path = f"C:\\Program Files\\{self.name}\\{UPDATE}"
        self.tasks = self.drive / "windows" / "system32" / "tasks"
        self.shipped = None  # the folder of the package's own files, once extracted
        self.definition = msi_common.TASK_DEFINITION
        self.program_files = None

    def property(self, name, table=None):
        return msi_common.column(table or self.properties, name, 1)

    def fail(self, why):
        print(f"FAIL [{self.arch}, {self.step}]: {why}", file=sys.stderr)
        self.failures += 1

    def msiexec(self, expected, *arguments):
        """Quiet, logged to C:\\msiexec.log, and silent itself."""
        run = wine("msiexec", *arguments, "/qn", "/l*v", r"C:\msiexec.log",
                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        status = run.returncode if run.returncode >= 0 else 128 - run.returncode
        for fault in msiexec_faults(" ".join(arguments), expected, status, run.stdout):
            self.fail(fault)

    def products(self):
        listing = "".join(wine("reg", "query", key, "/s", stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               encoding="utf-8", errors="replace").stdout for key in (UNINSTALL, UNINSTALL_WOW64))
        return "\n".join(products(listing, self.name))

    def expect_product(self, code, version):
        """The only product of the program's name."""
        listed, expected = self.products(), f"{code} {version} {self.publisher}"
        if listed != expected:
            self.fail(f"Add/Remove Programs lists '{listed.replace(chr(10), '; ')}', not '{expected}'")

    def expect_installed(self):
        for file in self.installed:
            shipped, installed = self.shipped / file, self.folder / file
            if not (shipped.is_file() and installed.is_file() and filecmp.cmp(shipped, installed, shallow=False)):
                self.fail(f"{self.program_path} is not the package's program" if file == UPDATE
                          else f"the package's {file} is not installed beside the program")
        registered = registered_tasks(self.tasks)
        if registered != self.task_name:
            self.fail(f"registered tasks: '{registered or 'none'}', not the one task '{self.task_name}'")
            return
        task = (self.tasks / self.task_name.lstrip("\\").replace("\\", "/")).read_bytes()
        for setting in TASK_SETTINGS:
            if setting.encode() not in task:
                self.fail(f"the registered task lacks {setting}")
        if self.program_files is None:
            self.program_files = [wine("cmd", "/c", "echo", f"%{name}%", stdout=subprocess.PIPE, encoding="utf-8")
                                  .stdout.replace("\r", "").rstrip("\n") for name in ("ProgramFiles", "ProgramFiles(x86)")]
        definition = self.folder / self.definition
        if not definition.is_file():
            self.fail("the task definition is not installed beside the program")
            return
        definition = definition.read_bytes().decode("utf-16", errors="replace")
        for fault in definition_faults(definition, self.program_files[0], self.program_path, self.publisher,
                                       self.program_files[-1]):
            self.fail(fault)

    def task_file(self):
        """The registered task's file: its bytes and its time of change, or None."""
        path = self.tasks / self.task_name.lstrip("\\").replace("\\", "/")
        return (path.read_bytes(), path.stat().st_mtime_ns) if path.is_file() else None

    def expect_nothing_left(self):
        if self.folder.exists():
            left = sorted(str(path.relative_to(self.drive)) for path in [self.folder, *self.folder.rglob("*")])
            self.fail(f"left {' '.join(left)}")
        if left_tasks := registered_tasks(self.tasks):
            self.fail(f"left the task {left_tasks}")
        listed = self.products()
        if listed:
            self.fail(f"Add/Remove Programs still lists {listed}")


def extract(package, files, name):
    """The folder of the package's own files, extracted into `files`. msiextract names the
    folders after its own idea of each Program Files, so the files are found by the product's
    folder `name`."""
    files.mkdir()
    subprocess.run(["msiextract", package], cwd=files, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   check=False)
    found = [path for path in files.rglob(UPDATE) if path.parent.name == name]
    if len(found) != 1:
        raise Abort(f"msiextract found no {name}\\{UPDATE} in {package}")
    return found[0].parent


def make_packages(cycle, arch, package, work):
    """The package's own files, and packages of them: version 0.9.0.0, another build of the
    package's version and one whose installation fails after the task's registration."""
    cycle.shipped = extract(package, work / "files", cycle.name)
    version = cycle.property("ProductVersion")
    env = dict(os.environ, SOURCE_DATE_EPOCH=os.environ.get("SOURCE_DATE_EPOCH", "946684800"))
    for name, built_version, options in (("older", "0.9.0.0", []),
                                         ("other-build", version, ["--test-build=other build"]),
                                         ("failing", version, ["--fail-after-task"])):
        output = work / f"{name}.msi"
        if subprocess.run(["bash", ROOT / "tools" / "build-msi.sh", *options, arch, cycle.shipped / UPDATE,
                           cycle.shipped / msi_common.TASK_DEFINITION, cycle.shipped / msi_common.FOLDER_CHECK,
                           built_version, cycle.publisher, output],
                          env=env, stdout=subprocess.DEVNULL, check=False).returncode:
            raise Abort(f"tools/build-msi.sh could not build {output.name} of the package's files")
    return {name: cycle.property("ProductCode", msi_common.rows(work / f"{name}.msi", "Property"))
            for name in ("older", "other-build")}


def run_programs(cycle, facts_path):
    """The table of program-level cases on the installed update program and check."""
    if subprocess.run([sys.executable, ROOT / "tests" / "scenarios" / "run_scenarios.py", "--facts", facts_path,
                       "--wine", "--update", cycle.folder / UPDATE, "--check", cycle.folder / CHECK],
                      check=False).returncode:
        cycle.fail("tests/scenarios")


def x86_to_x64(cycle, other, facts_path, work):
    """In a 64-bit prefix: the x86 package as 64-bit Windows runs it (WoW64), then the x64
    package over it, which removes it inside its own installation, then the removal."""
    product, version = cycle.property("ProductCode"), cycle.property("ProductVersion")
    x86 = msi_common.rows(other, "Property")
    x64_layout = cycle.folder, cycle.program_path, cycle.definition, cycle.shipped
    cycle.step = "installing the x86 package on 64-bit Windows (WoW64)"
    cycle.folder = cycle.drive / "Program Files (x86)" / cycle.name
    cycle.program_path = f"C:\\Program Files (x86)\\{cycle.name}\\{UPDATE}"
    cycle.definition, cycle.shipped = msi_common.TASK_DEFINITION_WOW64, extract(other, work / "files-x86", cycle.name)
    cycle.msiexec(0, "/i", r"C:\quenmoor-update-other.msi")
    cycle.expect_product(cycle.property("ProductCode", x86), cycle.property("ProductVersion", x86))
    cycle.expect_installed()
    run_programs(cycle, facts_path)
    x86_folder = cycle.folder
    cycle.folder, cycle.program_path, cycle.definition, cycle.shipped = x64_layout

    cycle.step = "installing the x64 package over the x86 one"
    cycle.msiexec(0, "/i", r"C:\quenmoor-update.msi")
    cycle.expect_product(product, version)
    cycle.expect_installed()
    if x86_folder.exists():
        cycle.fail(f"the x86 package's folder is left: {sorted(p.name for p in x86_folder.iterdir())}")

    cycle.step = "removing the x64 package after the move"
    cycle.msiexec(0, "/x", r"C:\quenmoor-update.msi")
    cycle.expect_nothing_left()


def run(cycle, arch, package, facts_path, other, work):
    version, product = cycle.property("ProductVersion"), cycle.property("ProductCode")
    env = {name: value for name, value in os.environ.items() if name != "SOURCE_DATE_EPOCH"}
    if subprocess.run(["bash", ROOT / "tools" / "check-msi.sh", package, arch, version, cycle.publisher,
                       cycle.property("ProductName"), cycle.property("ARPHELPLINK")],
                      env=env, stdout=subprocess.DEVNULL, check=False).returncode:
        cycle.fail("tools/check-msi.sh")

    codes = make_packages(cycle, arch, package, work)
    if os.path.lexists(os.environ["WINEPREFIX"]):
        shutil.rmtree(os.environ["WINEPREFIX"])
    if subprocess.run(["bash", WINDOWS_TESTS / "wine_prefix.sh", "start"], check=False).returncode:
        raise Abort(f"could not start the Wine prefix {os.environ['WINEPREFIX']}")
    shutil.copyfile(package, cycle.drive / "quenmoor-update.msi")
    for name in "older", "other-build", "failing":
        shutil.copyfile(work / f"{name}.msi", cycle.drive / f"quenmoor-update-{name}.msi")
    if other:
        shutil.copyfile(other, cycle.drive / "quenmoor-update-other.msi")

    cycle.step = "installing version 0.9.0.0"
    cycle.msiexec(0, "/i", r"C:\quenmoor-update-older.msi")
    cycle.expect_product(codes["older"], "0.9.0.0")
    cycle.expect_installed()

    cycle.step = f"upgrading to another build of version {version}"
    cycle.msiexec(0, "/i", r"C:\quenmoor-update-other-build.msi")
    cycle.expect_product(codes["other-build"], version)
    cycle.expect_installed()

    cycle.step = "replacing that build with the package, of the same version"
    cycle.msiexec(0, "/i", r"C:\quenmoor-update.msi")
    cycle.expect_product(product, version)
    cycle.expect_installed()

    # The unreadable cases need a program to hold the profile open, which does not ship: they
    # are reported as not run.
    cycle.step = "the program-level cases on the installed programs"
    run_programs(cycle, facts_path)

    cycle.step = f"installing version {version} a second time"
    cycle.msiexec(0, "/i", r"C:\quenmoor-update.msi")
    cycle.expect_product(product, version)
    cycle.expect_installed()

    # Wine's msiexec cannot repair with /f (a product code is "not implemented yet"; a package
    # ends 1605, unknown product), so the repair is asked for by the properties /fa stands for.
    # A repair puts the program back and leaves the registered task as it is: schtasks, a
    # console program, runs as SYSTEM on no repair, so the task's file keeps its bytes and time.
    cycle.step = f"repairing version {version}, its program deleted"
    (cycle.folder / UPDATE).unlink(missing_ok=True)
    before = cycle.task_file()
    cycle.msiexec(0, "/i", r"C:\quenmoor-update.msi", "REINSTALL=ALL", "REINSTALLMODE=amus")
    cycle.expect_product(product, version)
    cycle.expect_installed()
    if cycle.task_file() != before:
        cycle.fail("the repair registered the task again (its file changed)")

    # The refusal's message is a launch condition (tools/check-msi.sh checks it); Wine's log of a
    # quiet installation does not show it.
    refusals = {f"installing version 0.9.0.0 over {version}": "older"}
    if other:
        refusals["installing the other architecture's package beside this one"] = "other"
    for step, name in refusals.items():
        cycle.step = step
        cycle.msiexec(1603, "/i", rf"C:\quenmoor-update-{name}.msi")
        cycle.expect_product(product, version)
        cycle.expect_installed()

    cycle.step = f"removing version {version}"
    cycle.msiexec(0, "/x", r"C:\quenmoor-update.msi")
    cycle.expect_nothing_left()

    # The failing build's last deferred action fails after the task's registration. Wine's
    # msiexec ends such an installation with 1627 (function failed), Windows with 1603.
    cycle.step = "a failed first installation"
    cycle.msiexec(1627, "/i", r"C:\quenmoor-update-failing.msi")
    cycle.expect_nothing_left()

    # Windows Installer rolls back an upgrade's removal of the older build, which runs inside the
    # transaction (after InstallInitialize), so the older build and its task stay. Wine's
    # installer removes the older build at once, before the transaction, so only this much is
    # the same everywhere: no task is left without its program.
    cycle.step = "a failed upgrade"
    cycle.msiexec(0, "/i", r"C:\quenmoor-update.msi")
    cycle.msiexec(1627, "/i", r"C:\quenmoor-update-failing.msi")
    if cycle.products():
        cycle.expect_product(product, version)
        cycle.expect_installed()
        cycle.msiexec(0, "/x", r"C:\quenmoor-update.msi")
    cycle.expect_nothing_left()

    if other:
        x86_to_x64(cycle, other, facts_path, work)


def main(argv):
    if len(argv) not in (4, 5) or argv[0] not in msi_common.ARCHITECTURES or "WINEPREFIX" not in os.environ:
        print(USAGE, file=sys.stderr)
        return 2
    if not os.environ.get("QUENMOOR_FACTS"):
        print("QUENMOOR_FACTS must name the quenmoor-facts.json of the build", file=sys.stderr)
        return 2
    arch, package, facts_path = argv[0], os.path.realpath(argv[2]), os.path.realpath(argv[3])
    # The children are Python programs of their own, with their own module path.
    os.environ.pop("PYTHONPATH", None)
    # A stopped cycle too stops the prefix's server and removes its files (the finally below).
    for stop in signal.SIGTERM, signal.SIGHUP:
        signal.signal(stop, lambda number, _: sys.exit(128 + number))
    work = pathlib.Path(tempfile.mkdtemp())
    try:
        cycle = Cycle(arch, package, msi_common.Facts(os.environ["QUENMOOR_FACTS"]),
                      msi_common.Facts(facts_path).programs())
        run(cycle, arch, package, facts_path, os.path.realpath(argv[4]) if argv[4:] else None, work)
    except Abort as abort:
        print(f"FAIL [{arch}]: {abort}", file=sys.stderr)
        return 1
    finally:
        subprocess.run(["bash", WINDOWS_TESTS / "wine_prefix.sh", "stop"], check=False)
        shutil.rmtree(work)
    if cycle.failures:
        print(f"the {arch} package failed {cycle.failures} check(s) of its install cycle under Wine", file=sys.stderr)
        return 1
    print(f"{arch} package: installed, upgraded, replaced at the same version, installed again, repaired, "
          "downgrade refused, removed, failed installation and upgrade rolled back under Wine"
          + ("; the x86 package on 64-bit Windows replaced by it in one step" if len(argv) == 5 else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
