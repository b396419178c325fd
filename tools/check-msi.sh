#!/usr/bin/env bash
# Checks a Windows Installer package built by tools/build-msi.sh through its tables
# (tools/quenmoor_release/msi_check.py says which).
# Usage: check-msi.sh PACKAGE x86|x64 VERSION PUBLISHER [PRODUCT_NAME [HELP_LINK]]
# QUENMOOR_FACTS names the build's quenmoor-facts.json; SOURCE_DATE_EPOCH, when set, must be the
# package's creation and last-save time. The status is 1 when any check failed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# -P: the modules come from tools/ only, never from the caller's folder.
PYTHONPATH=$here exec python3 -P -m quenmoor_release.msi_check "$@"
