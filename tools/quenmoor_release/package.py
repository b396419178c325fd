"""Builds, signs, checks and packs the release; tools/package.sh says how to call it and what it
writes. Every step that fails stops the packing with that step's status, as a shell script under
`set -e` would, and names the reason where the step itself does not."""
import glob
import os
import shutil
import subprocess
import sys
import time

import facts as facts_file
from quenmoor_release import identity, msi_build, msi_common, msi_faults, release_files, steps
from quenmoor_release.steps import Stop, output, run
from quenmoor_release.release_files import crlf, sha256_line

PRESETS = {"x86": "windows-x86-release", "x64": "windows-release"}
ARCHITECTURES = tuple(msi_common.ARCHITECTURES)
PACKAGE = "build/package"


def quiet(command):
    """The command's output without its last line end, or None when it fails."""
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=False)
    return result.stdout.decode(errors="replace").rstrip("\n") if result.returncode == 0 else None


class Build:
    """One architecture's release build and its facts (cmake/ReleaseFacts.cmake)."""

    def __init__(self, arch):
        self.folder = f"build/{PRESETS[arch]}"
        self.facts_path = f"{self.folder}/quenmoor-facts.json"
        self.facts = msi_common.Facts(self.facts_path)

    def __getitem__(self, key):
        return self.facts[key]

    def description(self, program):
        return facts_file.fact(self.facts.facts, "description", program)


def signing_password():
    return os.environ.get("QUENMOOR_SIGN_PASSWORD", "")


def sign(path, description, timestamp_url):
    """Signs the file in place with Authenticode under the name `description`, the password
    through a pipe; True when it worked."""
    reader, writer = os.pipe()
    os.write(writer, signing_password().encode())
    os.close(writer)
    try:
        result = subprocess.run(
            ["osslsigncode", "sign", "-pkcs12", os.environ["QUENMOOR_SIGN_PKCS12"], "-readpass",
             f"/dev/fd/{reader}", "-h", "sha256", "-n", description,
             *(["-ts", timestamp_url] if timestamp_url else []), "-in", path, "-out", path + ".signed"],
            stdout=subprocess.DEVNULL, pass_fds=(reader,), check=False)
    finally:
        os.close(reader)
    if result.returncode:
        return False
    os.replace(path + ".signed", path)
    return True


def package_version(name):
    return quiet(["dpkg-query", "-W", "-f=${Version}", name]) or "not installed"


def osslsigncode_version():
    result = subprocess.run(["osslsigncode", "--version"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            check=False)
    return result.stdout.decode(errors="replace").split("\n")[0].split(",")[0]


def compilers(builds):
    """Per architecture the compiler and the Debian package, with its version, that holds it."""
    found = []
    for arch in ARCHITECTURES:
        compiler = builds[arch]["cxx_compiler"]
        owner = quiet(["dpkg-query", "-S", compiler])
        if owner is None:
            raise Stop(1, f"no Debian package holds the {arch} compiler {compiler}")
        owner = owner.split("\n")[0].split(":")[0]
        found.append((arch, os.path.basename(compiler), f"{owner} {package_version(owner)}"))
    return found


def build_msi(arguments):
    """msi_build's status for the command line; its exits count as failures."""
    try:
        return msi_build.main(list(arguments))
    except SystemExit as exit_:
        if isinstance(exit_.code, str):
            print(exit_.code, file=sys.stderr)
        return 1 if exit_.code else 0


def pack(cmake_arguments):
    run(["bash", "tools/install-dependencies.sh"], stdout=subprocess.DEVNULL)
    if not os.environ.get("SOURCE_DATE_EPOCH"):
        epoch = quiet(["git", "log", "-1", "--format=%ct"])
        if not epoch:
            raise Stop(1, "not a git checkout: set SOURCE_DATE_EPOCH to the release's time")
        os.environ["SOURCE_DATE_EPOCH"] = epoch
    if not os.environ["SOURCE_DATE_EPOCH"].isdigit():
        raise Stop(1, "SOURCE_DATE_EPOCH must be the release's time in seconds")
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])

    for arch in ARCHITECTURES:
        run(["cmake", "--preset", PRESETS[arch], *cmake_arguments], stdout=subprocess.DEVNULL)
        run(["cmake", "--build", "--preset", PRESETS[arch]], stdout=subprocess.DEVNULL)
    builds = {arch: Build(arch) for arch in ARCHITECTURES}
    for fact in "version", "faq_link", "portal_link", "publisher", "programs":
        if builds["x86"][fact] != builds["x64"][fact]:
            raise Stop(1, f"the two builds differ in {fact}; configure both alike")
    facts = builds["x64"]
    version, faq, portal, publisher = facts["version"], facts["faq_link"], facts["portal_link"], facts["publisher"]
    programs = facts["programs"].split("\n")
    print(f"quenmoor-update {version}\n  FAQ link:    {faq}\n  portal link: {portal}")
    if identity.reserved_host(facts["faq_host"]) or identity.reserved_host(facts["portal_host"]):
        print("  a link host is reserved for examples: the package is named unconfigured")

    commit = quiet(["git", "rev-parse", "HEAD"]) or "unknown (not a git checkout)"
    if quiet(["git", "status", "--porcelain", "--untracked-files=no"]):
        commit += " with uncommitted changes"

    p12 = os.environ.get("QUENMOOR_SIGN_PKCS12", "")
    certificate, timestamp_url = None, ""
    if p12:
        certificate = identity.read_signing_certificate(p12, signing_password())
        if not certificate:
            raise Stop(1, f"cannot read the certificate in {p12} (wrong file or password?)")
        # Windows shows the signer's organisation as the publisher; the programs' version record
        # and the packages must name the same one.
        organisation = identity.subject_organisation(certificate.subject)
        if organisation != publisher:
            raise Stop(1, f"the certificate names the organisation '{organisation}' ({certificate.subject}), "
                          f"but the build's publisher is '{publisher}' (QUENMOOR_PUBLISHER); nothing was packed")
        timestamp_url = os.environ.get("QUENMOOR_SIGN_TIMESTAMP_URL", "")

    qualifiers = identity.release_qualifiers(facts["faq_host"], facts["portal_host"],
                                             certificate.subject if certificate else "",
                                             certificate.issuer if certificate else "", bool(timestamp_url))
    name = f"quenmoor-update-{version}{qualifiers}-windows"
    test_build = identity.test_build_word(qualifiers)
    stage = f"{PACKAGE}/{name}"
    shutil.rmtree(PACKAGE, ignore_errors=True)
    os.makedirs(f"{stage}/monitoring")

    def write(path, data):
        with open(f"{stage}/{path}", "wb") as file:
            file.write(data)

    def read(path):
        with open(path, "rb") as file:
            return file.read()

    write("DEPLOYMENT.txt", crlf(read("docs/DEPLOYMENT.md")))
    write("Test-QuenmoorFolders.ps1", crlf(read("docs/Test-QuenmoorFolders.ps1")))
    # tools/check-monitoring-scripts.sh checks these and, below, the ZIP's copies.
    for script in release_files.MONITORING_SCRIPTS:
        write(f"monitoring/{script}", crlf(read(f"docs/monitoring/{script}")))
    write("THIRD-PARTY-NOTICES.txt", crlf(run(["bash", "tools/third-party-notices.sh", *programs], stdout=subprocess.PIPE)))
    task = release_files.task_definition(read("docs/quenmoor-update.task.xml"), publisher)
    for arch in ARCHITECTURES:
        os.mkdir(f"{stage}/{arch}")
        for program in programs:
            shutil.copy(f"{builds[arch].folder}/app/{program}.exe", f"{stage}/{arch}/")
        write(f"{arch}/quenmoor-update.task.xml", task)

    if certificate:
        # Each program under its own description, the one its version record carries.
        for arch in ARCHITECTURES:
            for program in programs:
                if not sign(f"{stage}/{arch}/{program}.exe", builds[arch].description(program), timestamp_url):
                    raise Stop(1)
        print(f"signed the programs as {certificate.subject} (SHA-1 {certificate.sha1})")
    else:
        print("unsigned: set QUENMOOR_SIGN_PKCS12 (and QUENMOOR_SIGN_PASSWORD) to sign the programs")

    record = release_files.release_record(
        version, commit, time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch)), faq, portal, certificate,
        timestamp_url, osslsigncode_version() if certificate else "", compilers(builds),
        package_version("mingw-w64-common"))
    write("RELEASE.txt", crlf("".join(line + "\n" for line in record).encode()))

    # The release record must tell the truth: its links are the ones built into each program (as
    # UTF-16 text) and the ones an end-to-end run writes into a profile.
    record = read(f"{stage}/RELEASE.txt").decode("utf-8")
    record_links = sorted((release_files.record_value(record, key) or "" for key in ("FAQ link", "Portal link")),
                          key=str.encode)
    # The checks run on the files as they ship, signature included. 32-bit Wine runs natively or,
    # where the kernel runs no 32-bit programs, under qemu-i386 (tests/windows/bin/wine); after
    # tools/install-dependencies.sh it has no reason not to run.
    x86_wine = subprocess.run(["bash", "tests/windows/host_runs_32bit.sh"], stdout=subprocess.PIPE, check=False)
    if x86_wine.returncode:
        raise Stop(1, "the x86 release cannot be checked under Wine on this host; nothing was packed")
    print(f"32-bit Wine on this host: {x86_wine.stdout.decode().rstrip(chr(10))}")
    for arch in ARCHITECTURES:
        for exe in sorted(glob.glob(f"{stage}/{arch}/*.exe")):
            run(["cmake", "-D", f"OBJDUMP={builds[arch]['objdump']}", "-D", f"PROGRAM={exe}", "-D", f"ARCH={arch}",
                 "-D", "NOTE=docs/DEPLOYMENT.md", "-P", "tests/windows/check_pe_headers.cmake"])
            built_in = sorted((line for line in output(["strings", "-el", exe]).split("\n")
                               if line.startswith("https://")), key=str.encode)
            if built_in != record_links:
                raise Stop(1, f"FAIL: the links in {arch}/{os.path.basename(exe)} are not those of RELEASE.txt:\n"
                              + "\n".join(built_in))
        if subprocess.run(["bash", "tests/windows/check_on_wine.sh", arch, f"{builds[arch].folder}/wineprefix",
                           f"{stage}/{arch}/quenmoor-update.exe", f"{stage}/{arch}/quenmoor-update.task.xml",
                           builds[arch].facts_path], check=False).returncode:
            raise Stop(1, f"the {arch} release failed its checks under Wine; nothing was packed")
    print("RELEASE.txt names the links built into every program and written under Wine by:", *ARCHITECTURES)

    pack_msis(builds, stage, name, version, publisher, faq, test_build, certificate, timestamp_url)
    pack_zip(stage, name, programs, epoch)
    if subprocess.run(["bash", "tools/check-monitoring-scripts.sh", f"{PACKAGE}/{name}.zip"], check=False).returncode:
        for leftover in glob.glob(f"{PACKAGE}/{name}.zip*"):
            os.remove(leftover)
        raise Stop(1)
    shutil.rmtree(stage)
    print(f"packed {PACKAGE}/{name}.zip:")
    for line in output(["zip", "-sf", f"{PACKAGE}/{name}.zip"]).split("\n"):
        if line.startswith(" "):
            print("  " + line.lstrip(" "))
    sys.stdout.flush()
    for checksum in [f"{PACKAGE}/{name}.zip.sha256", *sorted(glob.glob(f"{PACKAGE}/*.msi.sha256"))]:
        sys.stdout.buffer.write(read(checksum))
    sys.stdout.flush()


def pack_msis(builds, stage, name, version, publisher, faq, test_build, certificate, timestamp_url):
    """Windows Installer packages, one per architecture, beside the ZIP and named like it: built
    from the files as they ship, signed like the programs, then installed, upgraded and removed
    under Wine (tests/windows/msi_cycle.sh; QUENMOOR_MSI_CYCLE=0 leaves the cycle out). Any
    failure leaves no package."""
    def give_up(message=None):
        for leftover in glob.glob(f"{PACKAGE}/*.msi*"):
            os.remove(leftover)
        return Stop(1, message)

    for arch in ARCHITECTURES:
        # The package's codes and names (msi_build, msi_check, the cycle).
        os.environ["QUENMOOR_FACTS"] = os.path.abspath(builds[arch].facts_path)
        msi = f"{PACKAGE}/{name}-{arch}.msi"
        if build_msi([*([f"--test-build={test_build}"] if test_build else []), f"--help-link={faq}", arch,
                      f"{stage}/{arch}/quenmoor-update.exe", f"{stage}/{arch}/quenmoor-update.task.xml",
                      f"{stage}/Test-QuenmoorFolders.ps1", version, publisher, msi]):
            raise give_up()
        # Each rule of the package's check must fail on its planted fault.
        if msi_faults.main([msi, arch, version, publisher, faq]):
            raise give_up(f"the {arch} package's check let a planted fault through; no package was left")
        if certificate and not sign(msi, "Quenmoor Update", timestamp_url):
            raise give_up()
        other = [f"{PACKAGE}/{name}-x86.msi"] if arch == "x64" else []
        if os.environ.get("QUENMOOR_MSI_CYCLE", "1") != "0" and subprocess.run(
                ["bash", "tests/windows/msi_cycle.sh", arch, f"{builds[arch].folder}/msi-wineprefix", msi,
                 builds[arch].facts_path, *other], check=False).returncode:
            raise give_up(f"the {arch} MSI package failed its install cycle under Wine; no package was left")
        with open(f"{msi}.sha256", "wb") as file:
            file.write(crlf(sha256_line(msi, os.path.basename(msi)).encode()))
        # Detection rules and upgrades find the package by these codes.
        properties = msi_common.rows(msi, "Property")
        with open(f"{stage}/RELEASE.txt", "ab") as file:
            for code in "ProductCode", "UpgradeCode":
                line = release_files.msi_code_line(arch, code, msi_common.column(properties, code, 1))
                file.write(crlf(f"{line}\n".encode()))


def pack_zip(stage, name, programs, epoch):
    """A ZIP of the same files is the same bytes: fixed order, times, permissions and time zone,
    and no extra fields (owner ids, precise times) or folder entries."""
    files = release_files.zip_files(programs, ARCHITECTURES)
    sums = "".join(sha256_line(f"{stage}/{file}", file) for file in files)
    with open(f"{stage}/SHA256SUMS", "wb") as file:
        file.write(crlf(sums.encode()))
    files.append("SHA256SUMS")
    for file in files:
        os.chmod(f"{stage}/{file}", 0o644)
        os.utime(f"{stage}/{file}", (epoch, epoch), follow_symlinks=False)
    members = "".join(member + "\n" for member in release_files.zip_members(name, files))
    run(["zip", "-q", "-X", "-D", f"{name}.zip", "-@"], cwd=PACKAGE, input=members.encode(),
        env=dict(os.environ, TZ="UTC"))
    with open(f"{PACKAGE}/{name}.zip.sha256", "wb") as file:
        file.write(crlf(sha256_line(f"{PACKAGE}/{name}.zip", f"{name}.zip").encode()))


if __name__ == "__main__":
    sys.exit(steps.main(pack, sys.argv[1:]))
