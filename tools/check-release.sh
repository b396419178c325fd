#!/usr/bin/env bash
# Proves what an administrator is told about the release, on the committed sources (HEAD):
# 1. Reproducible: two fresh clones, in folders of different names, packed one after the other,
#    give byte-identical programs, task definitions, checksums, ZIP and MSI packages.
# 2. Signed: tools/package.sh, given a code-signing certificate (a throwaway self-signed one made
#    here), signs the programs and both MSI packages of the first clone; the signatures verify
#    against that certificate, the signed programs pass the checks under Wine and the signed
#    MSI packages their install cycle (package.sh runs them on the files as shipped; the other
#    packings leave the cycle out), and with the signature removed each program is byte for
#    byte the second clone's unsigned build: the check an administrator can make by rebuilding.
# 3. Named for what it is (the ZIP and the MSI packages alike): "-unconfigured" for reserved link
#    hosts, "-unsigned", "-testsigned" (self-signed) and "-notimestamp" as they apply; the plain
#    name only for configured hosts, signed by a certificate that another issued (a throwaway
#    authority here) and time-stamped (by a throwaway time-stamp authority on the loopback
#    interface, tools/throwaway_tsa.py), with a release record naming those hosts, the commit and
#    both MSI codes (the naming rules case by case are unit tests of tools/quenmoor_release/
#    identity.py). A certificate whose organisation is not the build's publisher stops the
#    packing. The three packings (unconfigured unsigned, test-signed, configured) have three
#    product codes, and only the configured one is named "Quenmoor Update" in Add/Remove
#    Programs. A fourth version field other than 0 is refused.
# Every packing also refuses a task definition, in the ZIP or in an MSI package, that does not run
# the program as LOCAL SERVICE or that names SYSTEM (tools/build-msi.sh), so each proves that too.
# Nothing is left in build/package: every package made here is a test package.
# The work is done by tools/quenmoor_release/release_check.py.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# -P: the modules come from tools/ only, never from the caller's folder.
PYTHONPATH=$here exec python3 -P -m quenmoor_release.release_check "$@"
