#!/usr/bin/env bash
# Builds the Windows Installer package of one architecture with wixl, from the program, the
# task definition and the folder check as they ship in the ZIP, and checks its tables
# (tools/check-msi.sh). Every task definition that ships passes through here, the ZIP's as
# TASK_XML and the package's own, and each must run the program as LOCAL SERVICE
# (tools/check_task_principal.py). The work is done by tools/quenmoor_release/msi_build.py.
# Usage: build-msi.sh [OPTION...] x86|x64 PROGRAM TASK_XML FOLDER_CHECK VERSION PUBLISHER OUTPUT
#   PROGRAM    quenmoor-update.exe of that architecture (signed, when the release is), the
#              program the task runs; every other shipped program is taken from beside it
#   TASK_XML   the shipped task definition (UTF-16 or UTF-8); the package's copy names the
#              program where the package installs it
#   FOLDER_CHECK  Test-QuenmoorFolders.ps1, the read-only check of the folders' rights
#   VERSION    four numbers, e.g. 1.0.0.0, the last one 0: Windows Installer compares only the
#              first three, so 1.0.0.1 and 1.0.0.0 would replace each other, a downgrade unrefused
#   PUBLISHER  the maker that Add/Remove Programs shows (the programs' CompanyName)
#   OUTPUT     the .msi to write; on any failure nothing is left there
# QUENMOOR_FACTS names the build's quenmoor-facts.json (cmake/ReleaseFacts.cmake), which gives the
# product's name, the task's name, the upgrade codes and the shipped programs.
# Options:
#   --test-build=WORD   a build not to deploy: Add/Remove Programs shows "Quenmoor Update (WORD)"
#   --help-link=URL     the support link Add/Remove Programs offers (ARPHELPLINK)
#   --fail-after-task   for the install cycle's tests only: a deferred action after the task's
#                       registration fails, so the installation rolls back
#
# The same inputs and SOURCE_DATE_EPOCH give the same bytes: the upgrade code is fixed per
# architecture; the product code and the package code are derived from the version, the
# architecture, the publisher, the name and the packed files' checksums, so two builds that
# differ in anything (link hosts, publisher, signatures) are two products, and the newer one
# replaces the older even at the same version; the summary information's times are
# SOURCE_DATE_EPOCH.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# -P: the modules come from tools/ only, never from the caller's folder.
PYTHONPATH=$here exec python3 -P -m quenmoor_release.msi_build "$@"
