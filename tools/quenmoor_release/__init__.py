"""The release's Windows Installer packages: building them (msi_build) and checking their tables
(msi_check), run through tools/build-msi.sh and tools/check-msi.sh."""
