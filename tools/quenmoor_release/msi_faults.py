"""Plants each fault of the catalogue (msi_fault_catalogue) into a copy of a built package and
runs the package's check (msi_check) on it: the check must fail and name the fault's rule. A
check that lets a planted fault through is a check that cannot fail, and the release stops.

Usage: python3 -m quenmoor_release.msi_faults PACKAGE x86|x64 VERSION PUBLISHER [HELP_LINK]
QUENMOOR_FACTS names the build's quenmoor-facts.json, as for the check. Exits 1 when a fault got
through, naming it."""
import contextlib
import io
import os
import shutil
import subprocess
import sys
import tempfile

from quenmoor_release import msi_check, msi_common
from quenmoor_release.msi_fault_catalogue import FAULTS


def caught(package, arch, version, publisher, help_link, rule, queries, work):
    """Whether the check fails on the package with the fault's queries run, naming the rule."""
    planted = os.path.join(work, "planted.msi")
    shutil.copyfile(package, planted)
    arguments = ["msibuild", planted, *(a for q in queries for a in ("-q", q))]
    if subprocess.run(arguments, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False).returncode:
        return False, f"msibuild could not plant it: {' '.join(queries)}"
    product_name = msi_common.column(msi_common.rows(package, "Property"), "ProductName", 1)
    with contextlib.redirect_stderr(io.StringIO()) as errors, contextlib.redirect_stdout(io.StringIO()):
        status = msi_check.main([planted, arch, version, publisher, product_name, help_link])
    failures = [line for line in errors.getvalue().splitlines() if line.startswith("FAIL")]
    named = [line for line in failures if f"{rule}:" in line]
    return status == 1 and bool(named), (named or failures or ["the check passed"])[0]


def main(argv):
    if len(argv) not in (4, 5):
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    package, arch, version, publisher = argv[:4]
    help_link = (argv[4:] or [""])[0]
    work = tempfile.mkdtemp()
    missed = 0
    try:
        for rule, why, queries in FAULTS:
            if callable(queries):
                queries = queries(arch)
            ok, line = caught(package, arch, version, publisher, help_link, rule, queries, work)
            if not ok:
                print(f"FAIL ({package}): the planted fault '{why}' got through: {line}", file=sys.stderr)
                missed += 1
    finally:
        shutil.rmtree(work)
    if missed:
        return 1
    print(f"{package}: {len(FAULTS)} planted faults, each failed the check under its rule")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
