"""The release's tooling: packing it (package, with identity for the name's qualifiers and the
signer, release_files for the ZIP's files), proving it (release_check), its Windows Installer
packages, built (msi_build), checked (msi_check) and taken through an install cycle under Wine
(msi_cycle), and mutation testing (mutation, with mutation_catalogue). The entry points are
tools/package.sh, tools/check-release.sh, tools/build-msi.sh, tools/check-msi.sh,
tests/windows/msi_cycle.sh and tools/mutate.sh."""
