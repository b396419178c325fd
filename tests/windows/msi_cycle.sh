#!/usr/bin/env bash
# Takes one architecture's Windows Installer package through the cycle a fleet puts it through,
# under Wine, in a fresh prefix (a 32-bit one for x86, as on 32-bit Windows), everything quiet
# (/qn): install an older version (0.9.0.0, built here from the package's own files), upgrade it
# with another build of the package's version (another product code, as a reconfigured release
# has), replace that with the package, install the package a second time and repair it, try the
# older one again (refused), and, when given, the other architecture's package (refused while
# this one is installed), remove it. Then the rollback, with a build whose deferred action after
# the task's registration fails (tools/build-msi.sh --fail-after-task): a failed first
# installation leaves no task, no file and no product; a failed upgrade leaves no task without
# its program. In the x64 cycle, given the x86 package: the x86 package installed in the 64-bit
# prefix (WoW64), then the x64 package over it (one step: the x86 build removed inside it), then
# the removal. Between the steps: the program, the check and the folder check at their
# path, one task registered from the installed definition whose command is that path, whose
# account is LOCAL SERVICE and whose triggers are the start of the machine and a daily time (no
# logon), one product in Add/Remove Programs with name, publisher and version, the table of
# program-level cases (tests/scenarios) on the installed update program and check; after removal
# neither files nor task nor product.
#
# Wine's Task Scheduler stores a task's settings but neither its triggers, its principal nor its
# actions (it writes them as empty stubs), so the command, the triggers and the account are
# checked in the installed definition the task was registered from. The x86 package's
# definition for 64-bit Windows is never installed in a 32-bit prefix; tools/check-msi.sh checks
# the tables that choose it.
#
# Usage: msi_cycle.sh x86|x64 PREFIX PACKAGE FACTS [OTHER_PACKAGE]
#   FACTS          the build's quenmoor-facts.json, whose links the installed programs must write
#   OTHER_PACKAGE  the other architecture's package; only a 64-bit prefix takes both, so
#                  tools/package.sh gives the x86 package to the x64 cycle
# QUENMOOR_FACTS names the build's quenmoor-facts.json, as for tools/build-msi.sh.
# Exits 0 when every check passed, 1 when one failed, 2 on a wrong call. The work is done by
# tools/quenmoor_release/msi_cycle.py, in the Wine environment that wine_env.sh sets here.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "$#" -ge 2 ]; then
    source "$here/wine_env.sh"
    use_wine_prefix "$1" "$2"
fi
# -P: the modules come from tools/ only, never from the caller's folder.
PYTHONPATH=$here/../../tools exec python3 -P -m quenmoor_release.msi_cycle "$@"
