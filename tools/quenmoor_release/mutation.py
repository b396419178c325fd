"""Mutation testing, run through tools/mutate.sh (its notes give the command line): plants each
chosen fault of tests/mutation/catalogue.txt, one at a time, in a copy of the sources
(build/mutation/src), rebuilds that copy incrementally, runs the tests its entry names and
reports it killed, survived, not building or stale."""
import os
import pathlib
import re
import subprocess
import sys
import time

from quenmoor_release import mutation_catalogue as catalogue
from quenmoor_release import steps
from quenmoor_release.steps import run

CATALOGUE = "tests/mutation/catalogue.txt"
COPY = "build/mutation/src"
BUILD_LOG = "build/mutation/last-build.log"
TEST_LOG = "build/mutation/last-test.log"
PRESETS = {"native": "debug", "windows": "windows-debug"}
BUILDS = {"--native": ["native"], "--windows": ["windows"], "--all": ["native", "windows"]}
# Tests that run a program built by a target of another name.
TARGETS = {"program_asks_redirection_trust_wine": "quenmoor-update",
           "profile_random_edits": "profile_driver"}
# The first failing GoogleTest case, or CTest's line for a test that failed another way (its
# status may be two words: "Child aborted", "Not Run").
FAILED = re.compile(r"\[  FAILED  \] ([^ ,]+)|[0-9]+ - ([^ ]+ \([A-Za-z_ ]+\))")


def parse_args(args):
    """(builds, base, ids): base is None without --changed and "" for the default base."""
    builds = ["native"]
    if args[:1] and args[0] in BUILDS:
        builds, args = BUILDS[args[0]], args[1:]
    base = None
    if args[:1] and args[0].startswith("--changed"):
        base, args = args[0].removeprefix("--changed").removeprefix("="), args[1:]
    return builds, base, args


def git_names(command, *args):
    """The paths that a git command lists, taken whole (-z), whatever characters they hold."""
    return [name for name in run(["git", command, "-z", *args], stdout=subprocess.PIPE, text=True,
                                  errors="surrogateescape").split("\0") if name]


def is_commit(name):
    return subprocess.run(["git", "rev-parse", "-q", "--verify", name + "^{commit}"],
                          stdout=subprocess.DEVNULL, check=False).returncode == 0


def changed_files(base):
    """The files that differ between BASE and the working tree: committed since, uncommitted or
    new. By default BASE is where HEAD left origin/main (or main; with neither, HEAD~1), so that
    the whole of a branch's change counts however many commits it has."""
    if base and not is_commit(base):
        print(f"--changed={base}: not a commit", file=sys.stderr)
        sys.exit(2)
    if not base:
        branch = next((name for name in ("origin/main", "main") if is_commit(name)), None)
        base = "HEAD~1" if branch is None else run(
            ["git", "merge-base", branch, "HEAD"], stdout=subprocess.PIPE, text=True).strip()
    changed = set(git_names("diff", "--name-only", base, "--"))
    changed.update(git_names("ls-files", "--others", "--exclude-standard"))
    short = run(["git", "rev-parse", "--short", base], stdout=subprocess.PIPE, text=True).strip()
    print(f"== faults in the files changed since {short}")
    return changed


def refresh(name):
    """Copies a file of the working tree into the copy when the copy's differs; the copied file
    gets a new time stamp, so that the build sees it and only it changed."""
    source, target = pathlib.Path(name), pathlib.Path(COPY, name)
    data = source.read_bytes()
    if target.is_file() and target.read_bytes() == data:
        return
    target.parent.mkdir(parents=True, exist_ok=True)
    target.write_bytes(data)
    target.chmod(source.stat().st_mode & 0o777)


def glob_regex(globs):
    """A GoogleTest filter's ':'-separated globs as one alternation of regular expressions."""
    return globs.replace(".", r"\.").replace("*", ".*").replace("?", ".").replace(":", "|")


def ctest_selection(tests, gtest_filter):
    """CTest's include and exclude options for the CTest tests named in TESTS (comma-separated):
    the plain ones, and the cases of the GoogleTest programs named there (<program>.<Suite>.<Case>)
    that the GoogleTest filter (POSITIVE[-NEGATIVE]) selects."""
    programs = "(" + tests.replace(",", "|") + ")"
    positive, _, negative = gtest_filter.partition("-")
    include = f"^{programs}(\\..+)?$"
    if positive and positive != "*":
        include = f"^{programs}\\.({glob_regex(positive)})$"
    exclude = ["-E", f"^{programs}\\.({glob_regex(negative)})$"] if negative else []
    return ["-R", include, *exclude]


def targets(tests):
    """The build targets that the listed tests run."""
    return sorted({TARGETS.get(test, test) for test in tests.replace(",", " ").split()})


def killed_by(test_log):
    match = FAILED.search(test_log)
    return (match.group(1) or match.group(2)) if match else None


def run_tests(preset, tests, gtest_filter):
    """True when every selected test passes; CTest's output goes to the test log."""
    with open(TEST_LOG, "w", encoding="utf-8") as log:
        return subprocess.run(["timeout", "900", "ctest", "--preset", preset, "--timeout", "300",
                               *ctest_selection(tests, gtest_filter)],
                              cwd=COPY, stdout=log, stderr=subprocess.STDOUT, check=False).returncode == 0


def judge(entry, preset):
    """Plants the entry's fault in the copy, builds and tests it, and puts the file back:
    (kind, verdict), kind being one of the summary's counts."""
    try:
        if not os.path.isfile(entry.file):
            raise catalogue.Stale("the file does not exist")
        # newline="": the file's line ends stay as they are.
        with open(os.path.join(COPY, entry.file), encoding="utf-8", newline="") as file:
            text = catalogue.plant(file.read(), entry)
        with open(os.path.join(COPY, entry.file), "w", encoding="utf-8", newline="") as file:
            file.write(text)
    except catalogue.Stale as reason:
        # The sources moved on (a reworded line, a renamed file): this entry needs updating.
        return "stale", f"STALE: {entry.file}: {reason} (update the entry in {CATALOGUE})"
    try:
        with open(BUILD_LOG, "w", encoding="utf-8") as log:
            built = subprocess.run(["timeout", "600", "cmake", "--build", "--preset", preset,
                                    "--target", *targets(entry.tests)], cwd=COPY, stdout=log,
                                   stderr=subprocess.STDOUT, check=False).returncode == 0
        if not built:
            # A fault that does not compile proves nothing: its entry needs fixing.
            with open(BUILD_LOG, encoding="utf-8", errors="replace") as log:
                sys.stderr.writelines([line for line in log if "error" in line][:3])
            return "broken", "BROKEN"
        if run_tests(preset, entry.tests, entry.filter):
            return "survived", "SURVIVED"
        test = killed_by(pathlib.Path(TEST_LOG).read_text(encoding="utf-8", errors="replace"))
        if test is None:
            # CTest failed without a failing test (none found, or CTest itself stopped): no verdict.
            sys.exit(f"{entry.id}: the tests failed, but {TEST_LOG} names no failing test")
        return "killed", f"killed by {test}"
    finally:
        refresh(entry.file)


def main(args):
    builds, base, ids = parse_args(args)
    changed = None if base is None else changed_files(base)
    entries = catalogue.parse(pathlib.Path(CATALOGUE).read_text(encoding="utf-8"))
    if unknown := catalogue.unknown(entries, ids):
        print(f"{CATALOGUE} has no fault named {', '.join(unknown)}", file=sys.stderr)
        return 2
    # The copy holds every file that git knows or would add.
    for name in git_names("ls-files", "-co", "--exclude-standard"):
        if os.path.exists(name):
            refresh(name)
    started = time.monotonic()
    counts = dict.fromkeys(("killed", "survived", "broken", "stale"), 0)
    for build in builds:
        chosen = catalogue.choose(entries, build, ids, changed)
        if not chosen:
            continue
        preset = PRESETS[build]
        all_tests = ",".join(sorted({test for entry in chosen for test in entry.tests.split(",")}))
        print(f"== {build}: {len(chosen)} faults; baseline build and tests ({all_tests})")
        run(["cmake", "--preset", preset], cwd=COPY, stdout=subprocess.DEVNULL)
        run(["cmake", "--build", "--preset", preset], cwd=COPY, stdout=subprocess.DEVNULL)
        if not run_tests(preset, all_tests, catalogue.DEFAULT_FILTER):
            print(pathlib.Path(TEST_LOG).read_text(encoding="utf-8", errors="replace"), end="")
            print("the unchanged sources fail their tests: no fault can be judged", file=sys.stderr)
            return 1
        for entry in chosen:
            begin = time.monotonic()
            kind, verdict = judge(entry, preset)
            counts[kind] += 1
            print(f"{entry.id:<32} {round(time.monotonic() - begin):>3}s  {verdict}")
            if kind in ("killed", "survived"):
                print(f"       ran only: {entry.tests} (GTEST_FILTER={entry.filter})")
        # Back to the unchanged sources in this build too.
        run(["cmake", "--build", "--preset", preset], cwd=COPY, stdout=subprocess.DEVNULL)
    if not any(counts.values()):
        print(f"no fault of {CATALOGUE} was chosen")
    print(f"== {counts['killed']} killed, {counts['survived']} survived, {counts['broken']} not building, "
          f"{counts['stale']} stale, {round(time.monotonic() - started)} s")
    return 1 if counts["survived"] or counts["broken"] or counts["stale"] else 0


if __name__ == "__main__":
    sys.exit(steps.main(main, sys.argv[1:]))
