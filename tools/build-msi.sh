#!/usr/bin/env bash
# Builds the Windows Installer package of one architecture with wixl and checks its tables
# (tools/quenmoor_release/msi_build.py says how).
# Usage: build-msi.sh [--test-build=WORD] [--help-link=URL] [--fail-after-task]
#            x86|x64 PROGRAM TASK_XML FOLDER_CHECK VERSION PUBLISHER OUTPUT
# QUENMOOR_FACTS names the build's quenmoor-facts.json; SOURCE_DATE_EPOCH the release's time.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# -P: the modules come from tools/ only, never from the caller's folder.
PYTHONPATH=$here exec python3 -P -m quenmoor_release.msi_build "$@"
