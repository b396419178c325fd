#!/usr/bin/env bash
# Checks a Windows Installer package built by tools/build-msi.sh through its tables (msiinfo
# export): what it installs where, that the task is registered from the installed definition
# and deleted on removal, in the right places of the installation script, the upgrade rules and
# the summary information. Every failed check is named; the status is 1 when any failed. The
# work is done by tools/quenmoor_release/msi_check.py.
# Usage: check-msi.sh PACKAGE x86|x64 VERSION PUBLISHER [PRODUCT_NAME [HELP_LINK]]
#   PRODUCT_NAME  what Add/Remove Programs shows, the facts' product name unless told
#   HELP_LINK     the support link it offers, none unless told
# QUENMOOR_FACTS names the build's quenmoor-facts.json (cmake/ReleaseFacts.cmake), which gives the
# product's and the task's names and the upgrade codes.
# SOURCE_DATE_EPOCH, when set, must be the package's creation and last-save time.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# -P: the modules come from tools/ only, never from the caller's folder.
PYTHONPATH=$here exec python3 -P -m quenmoor_release.msi_check "$@"
