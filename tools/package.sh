#!/usr/bin/env bash
# Builds quenmoor-update.exe and the read-only quenmoor-check.exe for 32-bit (x86) and 64-bit
# (x64) Windows, signs them when a certificate is given, checks the very files that ship (PE headers, manifest and version record,
# the links against the release record, the end-to-end cases and the task definition under Wine)
# and packs them with the deployment kit (the note, the task definition, the folder check
# Test-QuenmoorFolders.ps1, the monitoring scripts of docs/monitoring/) into
#   build/package/quenmoor-update-VERSION[QUALIFIERS]-windows.zip   and   ...zip.sha256
#
# The name says what cannot be deployed (tools/quenmoor_release/identity.py): "-unconfigured" when a link
# host lies in a reserved domain (the defaults are www.ostrel.example and portal.ostrel.example),
# "-unsigned", "-testsigned" for a self-signed certificate, "-notimestamp" for a signature without
# a time stamp; the MSI packages of such a build are named "Quenmoor Update (unconfigured)" or
# "(test)" in Add/Remove Programs. A certificate whose organisation is not the publisher stops the
# packing. The ZIP's RELEASE.txt records the commit, the links, the signer, the tools and the
# MSI packages' product and upgrade codes.
#
# Extra arguments go to CMake's configure step of both builds, e.g. -DQUENMOOR_FAQ_HOST=www.maker.com.
# They are kept in the build folders' caches for later runs, so the links used are printed below.
#
# Signing (Authenticode, with osslsigncode) happens when QUENMOOR_SIGN_PKCS12 is set:
#   QUENMOOR_SIGN_PKCS12          the PKCS#12 file holding the code-signing certificate and key
#   QUENMOOR_SIGN_PASSWORD        its password (handed to osslsigncode and openssl through a
#                                 pipe, never on a command line)
#   QUENMOOR_SIGN_TIMESTAMP_URL   optional: an RFC 3161 time-stamp server
#
# The same commit always gives the same unsigned bytes: the builds carry no time stamp and no
# build path, and the ZIP's file times are SOURCE_DATE_EPOCH (by default the commit's time).
#
# The work is done by tools/quenmoor_release/package.py.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# -P: the modules come from tools/ only, never from the caller's folder.
PYTHONPATH=$here exec python3 -P -m quenmoor_release.package "$@"
