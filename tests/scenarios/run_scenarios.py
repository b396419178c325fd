#!/usr/bin/env python3
"""Runs the table of program-level cases (tests/scenarios/*.case) against one update program and
one check program at their real paths below a drive folder: natively, or under Wine on a build's,
the ZIP's or the installed MSI's programs.

For each case: the drive is made afresh, the profile written and the setup made; the check runs
and must print its line and end with its status without changing the drive (type, size, times
and bytes of every file and folder); the update program runs and must be silent and end with 0;
the profile, the copy and the listing are compared with the case; the check runs again and must
end with its status after.

Usage: run_scenarios.py --facts FACTS --update PROGRAM --check PROGRAM (--drive DIR | --wine)
                        [--holder HOLD_PROFILE_EXE] [CASE...]
  --facts   the build's quenmoor-facts.json: the links that fill {faq}, {portal} and {FAQ},
            and whether the check labels its lines as a test or unconfigured build
  --drive   the folder that stands for C:\\ (the native build's drive root)
  --wine    start the programs through tests/windows/bin/wine in the prefix that WINEPREFIX
            names; C:\\ is its drive_c, the profile is compared in kernel32's layout, read-only
            is the immutable flag and unreadable is a profile that --holder holds unshared
  CASE      case names (file names without .case) to run instead of all
Exits 0 when no case failed (cases that this host cannot set up are listed as not run), 1 when
one failed, 2 on a malformed case or call.
"""
import argparse
import difflib
import json
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
# The setups that a trust test refuses, a service's run then changing nothing.
UNTRUSTED = {"link-on-path", "others-may-write", "owned-by-other"}
SETUPS = {"none", "arguments", "copy-present", "no-profile", "folder-at-profile", "read-only",
          "unreadable", "held-shared", "target-folder-missing"} | UNTRUSTED
COPIES = {"same", "kept", "absent"}
OLD_COPY = b"old copy\r\n"
ARGUMENTS = ["--help", "/?", "-v"]
# Wine makes every folder's owner the Wine user, whatever is asked: the check refuses C:\Ostrel
# in every case, and the update, run as that ordinary user, acts as before. The check's other
# lines are compared natively.
WINE_CHECK_STATUS = 6
WINE_CHECK_LINE = (r"path not trusted: C:\\Ostrel is owned by S-1-5-21-[0-9-]+,"
                   r" not Administrators, SYSTEM or TrustedInstaller")


class NotRun(Exception):
    """A setup that this host or level cannot make."""


def unescape(text):
    """Profile text as written in a case: \\r, \\n, \\t, \\\\ and \\xNN (code point NN)."""
    def one(match):
        code = match.group(1)
        if code in {"r", "n", "t", "\\"}:
            return {"r": "\r", "n": "\n", "t": "\t", "\\": "\\"}[code]
        if re.fullmatch("x[0-9A-Fa-f]{2}", code):
            return chr(int(code[1:], 16))
        raise ValueError(f"unknown escape \\{code} in {text!r}")
    return re.sub(r"\\(x[0-9A-Fa-f]{2}|.?)", one, text)


def load_case(path, facts):
    fields = {}
    for number, line in enumerate(path.read_text(encoding="ascii").splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        key, _, value = line.partition(" ")
        if key not in {"setup", "encoding", "before", "after", "copy", "check", "then"}:
            raise ValueError(f"{path.name}:{number}: unknown field {key}")
        value = value.strip().replace("{faq}", facts["faq_link"])
        value = value.replace("{portal}", facts["portal_link"])
        value = value.replace("{FAQ}", facts["faq_link"].upper())
        # The profile's lines may be spread over several lines of the case.
        fields[key] = fields.get(key, "") + value if key in {"before", "after"} else value
    case = {"name": path.stem, "setup": fields.get("setup", "none"), "copy": fields.get("copy")}
    encoding = fields.get("encoding", "bytes")
    encode = {"bytes": lambda t: t.encode("latin-1"),
              "utf-16le": lambda t: ("\ufeff" + t).encode("utf-16-le")}[encoding]
    case["before"] = encode(unescape(fields["before"])) if "before" in fields else None
    after = fields.get("after", "unchanged")
    case["after"] = None if after == "unchanged" else encode(unescape(after))
    status, _, line = fields["check"].partition(" ")
    # A test or unconfigured build says so before every line, and an unconfigured one never
    # calls a machine current (status 7 instead of 0).
    words = ["test build"] * facts["test_build"] + ["unconfigured build (example links)"] * facts[
        "unconfigured"]
    case["label"] = ", ".join(words) + ": " if words else ""
    case["line"] = case["label"] + line
    never_current = {0: 7} if facts["unconfigured"] else {}
    case["status"] = never_current.get(int(status), int(status))
    case["then"] = never_current.get(int(fields["then"]), int(fields["then"]))
    if case["setup"] not in SETUPS or case["copy"] not in COPIES:
        raise ValueError(f"{path.name}: setup must be one of {sorted(SETUPS)},"
                         f" copy one of {sorted(COPIES)}")
    if (case["before"] is None) != (case["setup"] in {"no-profile", "folder-at-profile"}):
        raise ValueError(f"{path.name}: a profile 'before' exactly when there is a profile")
    return case


def snapshot(root):
    """Every file and folder below root: type, size, modification and change time, bytes."""
    entries = {}
    for folder, names, files in os.walk(root):
        for name in names + files:
            path = Path(folder, name)
            info = path.lstat()
            content = None
            if path.is_file() and not path.is_symlink():
                try:
                    content = path.read_bytes()
                except PermissionError:
                    content = "unreadable"
            entries[str(path.relative_to(root))] = (info.st_mode, info.st_size, info.st_mtime_ns,
                                                    info.st_ctime_ns, content)
    return entries


def read(path):
    """A file's bytes (None when it is no file), even when its permission bits forbid reading."""
    if not path.is_file():
        return None
    if os.access(path, os.R_OK):
        return path.read_bytes()
    mode = path.stat().st_mode
    path.chmod(0o600)
    try:
        return path.read_bytes()
    finally:
        path.chmod(mode)


def wine_layout(data):
    """A profile's lines as kernel32 leaves them comparable: without line ends, trailing blanks
    and the blank lines at the end that its rewrite may add or drop."""
    text = data[2:].decode("utf-16-le") if data.startswith(b"\xff\xfe") else data.decode("latin-1")
    return "\n".join(line.rstrip(" \t\r") for line in text.split("\n")).rstrip("\n")


def differences(actual, expected):
    """The lines that differ, each shown with its line end, '+' for the expected ones."""
    def lines(data):
        if data is None:
            return ["(no file)"]
        text = data.decode("utf-16-le") if data.startswith(b"\xff\xfe") else data.decode("latin-1")
        return [repr(line) for line in text.splitlines(keepends=True)]
    return "\n".join(difflib.unified_diff(lines(actual), lines(expected), "found", "expected",
                                           lineterm="", n=0))


class Level:
    def __init__(self, args):
        self.wine = args.wine
        self.root = Path(os.environ["WINEPREFIX"], "drive_c") if args.wine else Path(args.drive)
        self.launcher = [str(HERE.parent / "windows" / "bin" / "wine")] if args.wine else []
        self.update, self.check, self.holder = args.update, args.check, args.holder
        self.base = self.root / "Ostrel"
        self.source = self.base / "Tessarin" / "Palvendo" / "Suporte" / "Quenmoor.ini"
        self.target = self.base / "Tessarin" / "Programs" / "Quenmoor.ini"
        self.restricted, self.held = [], None

    def run(self, program, arguments=()):
        return subprocess.run(self.restricted + self.launcher + [program, *arguments],
                              stdin=subprocess.DEVNULL, capture_output=True, timeout=120)

    def fresh(self):
        self.let_go()
        if self.base.exists():
            if shutil.which("chattr"):
                subprocess.run(["chattr", "-R", "-i", str(self.base)], capture_output=True)
            shutil.rmtree(self.base)
        self.source.parent.mkdir(parents=True)
        self.target.parent.mkdir(parents=True)

    def hold(self, *options):
        if not self.holder:
            raise NotRun("no program to hold the profile open at this level (--holder)")
        self.held = subprocess.Popen(self.launcher + [self.holder, *options], text=True,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        if self.held.stdout.readline().strip() != "held":
            raise AssertionError("the holder could not hold the profile")

    def set_up(self, setup):
        if setup == "copy-present":
            self.target.write_bytes(OLD_COPY)
        elif setup == "folder-at-profile":
            self.source.mkdir()
        elif setup == "target-folder-missing":
            self.target.parent.rmdir()
        elif setup == "read-only" and not self.wine:
            self.source.chmod(0o444)  # the POSIX layer's read-only attribute, root included
        elif setup == "read-only":
            # Wine running as root ignores permission bits; the immutable flag refuses root too.
            if not shutil.which("chattr"):
                raise NotRun("chattr is missing")
            made = subprocess.run(["chattr", "+i", str(self.source)], capture_output=True)
            try:
                self.source.open("ab").close()
            except PermissionError:
                return
            raise NotRun(f"chattr +i does not make a file read-only here ({made.stderr!r})")
        elif setup == "unreadable" and self.wine:
            self.hold()
        elif setup == "unreadable":
            self.source.chmod(0)
            if os.geteuid() == 0:
                # Root reads any file; without these capabilities it obeys the permission bits.
                if not shutil.which("setpriv"):
                    raise NotRun("root would read the file, and setpriv is missing")
                self.restricted = ["setpriv", "--bounding-set", "-dac_override,-dac_read_search",
                                   "--"]
        elif setup == "held-shared":
            if not self.wine:
                raise NotRun("natively no other program's open file keeps a reader out")
            self.hold("--shared")
        elif setup in UNTRUSTED:
            self.untrust(setup)

    def untrust(self, setup):
        """A folder on the paths that someone else could change."""
        if self.wine:
            raise NotRun("a POSIX link, mode or owner is not what the Windows program tests")
        if os.geteuid() != 0:
            raise NotRun("natively the update refuses only under a service identity and only"
                         " root gives a folder away: the runner must be root")
        tessarin = self.base / "Tessarin"
        if setup == "link-on-path":
            tessarin.rename(self.base / "Tessarin.real")
            tessarin.symlink_to("Tessarin.real")
        elif setup == "others-may-write":
            (tessarin / "Palvendo").chmod(0o757)
        else:
            os.chown(self.source.parent, 65534, -1)

    def let_go(self):
        self.restricted = []
        if self.held:
            self.held.stdin.close()
            self.held.wait(timeout=60)
            self.held = None
        if self.source.is_file():
            if shutil.which("chattr"):
                subprocess.run(["chattr", "-i", str(self.source)], capture_output=True)
            self.source.chmod(0o644)

    def same_profile(self, actual, expected):
        return actual == expected or (self.wine and wine_layout(actual) == wine_layout(expected))

    def play(self, case):
        """The case's failures, as sentences."""
        failures = []
        self.fresh()
        if case["before"] is not None:
            self.source.write_bytes(case["before"])
        self.set_up(case["setup"])
        before = snapshot(self.base)
        checked = self.run(self.check)
        if self.wine and not checked.stdout and not checked.stderr:
            # Wine has been seen to hand over a program's status but none of its output. The check
            # changes nothing (the snapshot below proves it), so it is asked once more, and said;
            # a check that never prints still fails.
            print(f"note [{case['name']}]: the check printed nothing under Wine; asked once more")
            checked = self.run(self.check)
        end = "\r\n" if self.wine else "\n"
        status, line, then = case["status"], re.escape(case["line"]), case["then"]
        if self.wine:
            status, then = WINE_CHECK_STATUS, WINE_CHECK_STATUS
            line = re.escape(case["label"]) + WINE_CHECK_LINE
        if checked.returncode != status:
            failures.append(f"check: status {checked.returncode}, expected {status}")
        if not re.fullmatch((line + end).encode(), checked.stdout) or checked.stderr:
            failures.append(f"check printed {checked.stdout!r} {checked.stderr!r},"
                            f" expected {line!r}")
        after = snapshot(self.base)
        if after != before:
            changed = sorted(path for path in before.keys() | after.keys()
                             if before.get(path) != after.get(path))
            failures.append(f"the check changed the drive: {', '.join(changed)}")
        updated = self.run(self.update, ARGUMENTS if case["setup"] == "arguments" else ())
        if updated.returncode != 0 or updated.stdout or updated.stderr:
            failures.append(f"update: status {updated.returncode}, printed"
                            f" {updated.stdout[:200]!r} {updated.stderr[:200]!r}")
        profile = read(self.source)
        if case["after"] is None:
            if profile != case["before"]:
                failures.append(f"the profile changed:\n{differences(profile, case['before'])}")
        elif profile is None or not self.same_profile(profile, case["after"]):
            failures.append("the profile after the update differs:\n"
                            + differences(profile, case["after"]))
        copy = {"same": profile, "kept": OLD_COPY, "absent": None}[case["copy"]]
        actual = self.target.read_bytes() if self.target.is_file() else None
        if actual != copy:
            failures.append(f"the copy holds {actual!r}, expected {case['copy']} ({copy!r})")
        expected_listing = set(before) | ({str(self.target.relative_to(self.base))}
                                          if case["copy"] == "same" else set())
        listing = set(snapshot(self.base))
        if listing != expected_listing:
            failures.append(f"after the update, unexpected: {sorted(listing - expected_listing)},"
                            f" missing: {sorted(expected_listing - listing)}")
        after_update = self.run(self.check).returncode
        if after_update != then:
            failures.append(f"check after the update: status {after_update}, expected {then}")
        return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--facts", required=True, type=Path)
    parser.add_argument("--update", required=True)
    parser.add_argument("--check", required=True)
    where = parser.add_mutually_exclusive_group(required=True)
    where.add_argument("--drive", type=Path)
    where.add_argument("--wine", action="store_true")
    parser.add_argument("--holder")
    parser.add_argument("cases", nargs="*")
    args = parser.parse_args()
    if args.wine and "WINEPREFIX" not in os.environ:
        parser.error("--wine needs WINEPREFIX")
    # Folders the runner makes are never writable by others by chance; the trust test would
    # refuse them.
    os.umask(0o022)
    facts = json.loads(args.facts.read_text(encoding="utf-8"))
    paths = sorted(HERE.glob("*.case"))
    if args.cases:
        paths = [HERE / f"{name}.case" for name in args.cases]
    try:
        cases = [load_case(path, facts) for path in paths]
    except (ValueError, KeyError, OSError) as error:
        print(f"malformed case: {error!r}", file=sys.stderr)
        return 2
    level = Level(args)
    failed, not_run, started = [], [], time.monotonic()
    try:
        for case in cases:
            try:
                failures = level.play(case)
            except NotRun as reason:
                print(f"NOT RUN [{case['name']}]: {reason}")
                not_run.append(case["name"])
                continue
            except (AssertionError, OSError, subprocess.SubprocessError) as error:
                failures = [f"{type(error).__name__}: {error}"]
            finally:
                level.let_go()
            for failure in failures:
                print(f"FAIL [{case['name']}]: {failure}")
            if failures:
                failed.append(case["name"])
    finally:
        level.fresh()
        shutil.rmtree(level.base)
    print(f"{len(cases) - len(failed) - len(not_run)} of {len(cases)} cases passed"
          f" in {time.monotonic() - started:.1f} s"
          + (f"; failed: {', '.join(failed)}" if failed else "")
          + (f"; not run: {', '.join(not_run)}" if not_run else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
