"""Proves what an administrator is told about the release, on the committed sources (HEAD);
tools/check-release.sh lists the proofs. Every package made here stays in build/release-check."""
import glob
import os
import shutil
import subprocess
import sys
import time

import facts as facts_file
from quenmoor_release import msi_common, steps
from quenmoor_release.release_files import record_value, sha256, sha256_line
from quenmoor_release.steps import Stop

WORK = "build/release-check"
KEY = f"{WORK}/signing"


def fail(message):
    raise Stop(1, f"FAIL: {message}")


def run(command, log=None, **options):
    """The command's status; its output goes to the file `log` when given."""
    if log is None:
        return subprocess.run(command, check=False, **options).returncode
    with open(log, "wb") as file:
        return subprocess.run(command, stdout=file, stderr=subprocess.STDOUT, check=False, **options).returncode


def must(command, log=None, **options):
    """Runs the command; a failure shows its log and ends the check with status 1."""
    if status := run(command, log, **options):
        if log:
            show(log)
        raise Stop(1 if log else status)


def show(path):
    sys.stdout.flush()
    with open(path, "rb") as file:
        sys.stdout.buffer.write(file.read())
    sys.stdout.flush()


def read_text(path):
    with open(path, encoding="utf-8", errors="replace") as file:
        return file.read().replace("\r", "")


def only(pattern):
    """The one path that the pattern matches (the unpacked ZIP's one folder, for instance)."""
    found = glob.glob(pattern)
    if len(found) != 1:
        fail(f"expected one file {pattern}, found {len(found)}")
    return found[0]


def expect_package(folder, name):
    """The last packing of the clone in FOLDER made NAME.zip, NAME-x86.msi and NAME-x64.msi."""
    packages = f"{folder}/build/package"
    zips = sorted(glob.glob(f"{packages}/*.zip"))
    msis = [os.path.basename(msi) for msi in sorted(glob.glob(f"{packages}/*.msi"))]
    if [os.path.basename(z) for z in zips] != [f"{name}.zip"] or msis != [f"{name}-x64.msi", f"{name}-x86.msi"]:
        found = " ".join(sorted(os.listdir(packages))) if os.path.isdir(packages) else "nothing"
        fail(f"expected the packages {name}.zip, {name}-x64.msi and {name}-x86.msi, found: {found}")


def unpack(folder, target):
    """Unpacks the ZIP of the clone's last packing into TARGET."""
    os.mkdir(target)
    must(["unzip", "-q", only(f"{folder}/build/package/*.zip"), "-d", target])


def package(folder, log=None, arguments=(), **variables):
    """Runs the clone's tools/package.sh with the variables added to the environment."""
    return run(["bash", f"{folder}/tools/package.sh", *arguments], log, env=dict(os.environ, **variables))


def pack_clone(folder):
    """Packs a fresh clone of HEAD in FOLDER (the MSI install cycle runs once, on the signed
    packages below) and returns the SHA-256 of every artifact and every unpacked file."""
    must(["git", "clone", "-q", "--no-local", ".", folder])
    print(f"== packing a fresh clone in {folder} ({time.strftime('%H:%M:%S')})")
    must(["bash", f"{folder}/tools/package.sh"], f"{folder}.log", env=dict(os.environ, QUENMOOR_MSI_CYCLE="0"))
    expect_package(folder, "quenmoor-update-1.0.0.0-unconfigured-unsigned-windows")
    packages = f"{folder}/build/package"
    names = [os.path.basename(path) for pattern in ("*.zip", "*.zip.sha256", "*.msi", "*.msi.sha256")
             for path in sorted(glob.glob(f"{packages}/{pattern}"))]
    sums = [sha256_line(f"{packages}/{name}", name) for name in names]
    unpack(folder, f"{folder}/unpacked")
    files = sorted((os.path.relpath(os.path.join(top, name), f"{folder}/unpacked")
                    for top, _, found in os.walk(f"{folder}/unpacked") for name in found), key=str.encode)
    sums += [sha256_line(f"{folder}/unpacked/{name}", f"./{name}") for name in files]
    with open(f"{folder}.sums", "w", encoding="utf-8") as file:
        file.write("".join(sums))


def make_certificate(name, issued=False, organisation="Ostrel"):
    """A throwaway code-signing certificate in KEY/NAME.p12, its password in KEY/password:
    self-signed, or issued by the throwaway authority KEY/ca."""
    issuer = []
    if issued:
        if not os.path.isfile(f"{KEY}/ca.pem"):
            must(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-sha256", "-days", "2", "-nodes",
                  "-subj", "/CN=Quenmoor CI throwaway authority", "-keyout", f"{KEY}/ca-key.pem",
                  "-out", f"{KEY}/ca.pem"], stderr=subprocess.DEVNULL)
        issuer = ["-CA", f"{KEY}/ca.pem", "-CAkey", f"{KEY}/ca-key.pem"]
    must(["openssl", "req", "-x509", "-newkey", "rsa:3072", "-sha256", "-days", "2", "-nodes",
          "-subj", f"/CN=Quenmoor CI {name}/O={organisation}",
          "-addext", "keyUsage=critical,digitalSignature", "-addext", "extendedKeyUsage=codeSigning",
          "-addext", "basicConstraints=critical,CA:FALSE", *issuer,
          "-keyout", f"{KEY}/{name}-key.pem", "-out", f"{KEY}/{name}.pem"], stderr=subprocess.DEVNULL)
    must(["openssl", "pkcs12", "-export", "-inkey", f"{KEY}/{name}-key.pem", "-in", f"{KEY}/{name}.pem",
          "-out", f"{KEY}/{name}.p12", "-passout", f"file:{KEY}/password"])


def signing(name, password, **more):
    """The variables that have tools/package.sh sign with the certificate NAME."""
    return dict(QUENMOOR_SIGN_PKCS12=os.path.abspath(f"{KEY}/{name}.p12"), QUENMOOR_SIGN_PASSWORD=password, **more)


def verify(path, log, *authorities):
    return run(["osslsigncode", "verify", "-in", path, *authorities], log) == 0


def check_signed(password):
    """The self-signed packing of the first clone: signatures, descriptions, the rebuild."""
    print("== signing with a throwaway self-signed certificate")
    if status := package(f"{WORK}/first", **signing("selfsigned", password)):
        raise Stop(status)
    expect_package(f"{WORK}/first", "quenmoor-update-1.0.0.0-unconfigured-testsigned-notimestamp-windows")
    signed = f"{WORK}/signed"
    unpack(f"{WORK}/first", signed)
    # The shipped programs and their descriptions, as the clone's build wrote them down.
    facts_path = os.path.abspath(f"{WORK}/first/build/windows-release/quenmoor-facts.json")
    os.environ["QUENMOOR_FACTS"] = facts_path
    facts = msi_common.Facts(facts_path)
    programs = facts["programs"].split("\n")
    for program, description in ((f"{arch}/{name}.exe", facts_file.fact(facts.facts, "description", name))
                                 for arch in msi_common.ARCHITECTURES for name in programs):
        exe = only(f"{signed}/*/{program}")
        if not verify(exe, f"{exe}.verify", "-CAfile", f"{KEY}/selfsigned.pem"):
            show(f"{exe}.verify")
            fail(f"the signature of {program} does not verify")
        if f"\tText description: {description}" not in read_text(f"{exe}.verify").split("\n"):
            fail(f"{program} is not signed under its own description '{description}'")
        must(["osslsigncode", "remove-signature", "-in", exe, "-out", f"{exe}.stripped"], stdout=subprocess.DEVNULL)
        if sha256(f"{exe}.stripped") != sha256(only(f"{WORK}/second-build-folder/unpacked/*/{program}")):
            fail(f"{program} without its signature differs from the rebuild")
        print(f"{program}: signature valid for the throwaway certificate; unsigned, identical to the rebuild")
    for msi in sorted(glob.glob(f"{WORK}/first/build/package/*.msi")):
        if not verify(msi, f"{msi}.verify", "-CAfile", f"{KEY}/selfsigned.pem"):
            show(f"{msi}.verify")
            fail(f"the signature of {os.path.basename(msi)} does not verify")
        print(f"{os.path.basename(msi)}: signature valid for the throwaway certificate")
    if run(["sha256sum", "--quiet", "-c", "SHA256SUMS"], cwd=only(f"{signed}/*")):
        fail("SHA256SUMS does not match the signed files")
    fingerprint = subprocess.run(["openssl", "x509", "-in", f"{KEY}/selfsigned.pem", "-noout", "-fingerprint",
                                  "-sha1"], stdout=subprocess.PIPE, check=True, encoding="ascii").stdout
    thumbprint = fingerprint.strip().split("=")[-1].replace(":", "")
    if record_value(read_text(only(f"{signed}/*/RELEASE.txt")), "Thumbprint") != f"{thumbprint} (SHA-1)":
        fail(f"RELEASE.txt of the signed package does not name the certificate's thumbprint {thumbprint}")
    unpack(f"{WORK}/first", f"{WORK}/testsigned")


def check_configured(password, commit):
    """Configured hosts, an issued certificate and a time stamp: the plain name and a record
    naming them. Returns the unpacked ZIP's folder."""
    print("== configured link hosts, an issued certificate and a time stamp")
    tsa = subprocess.Popen([sys.executable, "tools/throwaway_tsa.py", f"{WORK}/tsa"])
    try:
        for _ in range(50):
            if os.path.isfile(f"{WORK}/tsa/url") and os.path.getsize(f"{WORK}/tsa/url"):
                break
            time.sleep(0.1)
        else:
            fail("the throwaway time-stamp authority did not start")
        with open(f"{WORK}/tsa/url", encoding="utf-8") as file:
            url = file.read().strip()
        if package(f"{WORK}/first", f"{WORK}/configured.log",
                   ["-DQUENMOOR_FAQ_HOST=help.quenmoor-check.net", "-DQUENMOOR_PORTAL_HOST=portal.quenmoor-check.net"],
                   QUENMOOR_MSI_CYCLE="0", **signing("issued", password, QUENMOOR_SIGN_TIMESTAMP_URL=url)):
            show(f"{WORK}/configured.log")
            raise Stop(1)
    finally:
        tsa.terminate()
        tsa.wait()
    expect_package(f"{WORK}/first", "quenmoor-update-1.0.0.0-windows")
    configured = f"{WORK}/configured"
    unpack(f"{WORK}/first", configured)
    for signed_file in sorted(glob.glob(f"{configured}/*/*/*.exe")) + sorted(glob.glob(f"{WORK}/first/build/package/*.msi")):
        if not verify(signed_file, f"{WORK}/verify.log", "-CAfile", f"{KEY}/ca.pem", "-TSA-CAfile", f"{WORK}/tsa/tsa.pem") \
                or "Timestamp time:" not in read_text(f"{WORK}/verify.log"):
            show(f"{WORK}/verify.log")
            fail(f"{os.path.basename(signed_file)} has no valid signature with a time stamp")
    # The upgrade code is written out here on purpose, beside the facts file's: changed, it would
    # leave every installed copy behind. Each line: its key, what its value is or begins with.
    record = read_text(only(f"{configured}/*/RELEASE.txt"))
    for key, value, whole in (("Commit", commit, True), ("FAQ link", "https://help.quenmoor-check.net/faq/", True),
                              ("Portal link", "https://portal.quenmoor-check.net/?h=%hash%&u=%user%", True),
                              ("Signed by", "O=Ostrel,CN=Quenmoor CI issued", True),
                              ("Time stamp", "applied by ", False), ("MSI x86 ProductCode", "{", False),
                              ("MSI x64 UpgradeCode", "{2E9B5A73-C61D-4A07-8F3E-B4D0C9152A68}", True)):
        found = record_value(record, key)
        if found is None or not (found == value if whole else found.startswith(value)):
            fail(f"RELEASE.txt of the configured package lacks a line '{key}: *{value}{'$' if whole else ''}'")
    if not os.path.getsize(only(f"{configured}/*/THIRD-PARTY-NOTICES.txt")):
        fail("the package has no third-party notices")
    for msi in sorted(glob.glob(f"{WORK}/first/build/package/*.msi")):
        name = msi_common.column(msi_common.rows(msi, "Property"), "ProductName", 1)
        if name != "Quenmoor Update":
            fail(f"{os.path.basename(msi)} is named '{name}' in Add/Remove Programs")
    print("configured, issued and time-stamped: plain name, RELEASE.txt names the hosts, the commit and the MSI codes")
    return configured


def check():
    must(["bash", "tools/install-dependencies.sh"], stdout=subprocess.DEVNULL)
    if subprocess.run(["git", "status", "--porcelain", "--untracked-files=no"], stdout=subprocess.PIPE,
                      check=True).stdout:
        print("note: uncommitted changes are not part of the release checks: they build HEAD")
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    for variable in "QUENMOOR_SIGN_PKCS12", "QUENMOOR_SIGN_PASSWORD", "QUENMOOR_SIGN_TIMESTAMP_URL":
        os.environ.pop(variable, None)
    commit = subprocess.run(["git", "rev-parse", "HEAD"], stdout=subprocess.PIPE, check=True,
                            encoding="ascii").stdout.strip()

    pack_clone(f"{WORK}/first")
    pack_clone(f"{WORK}/second-build-folder")
    print("== SHA-256 of every artifact:")
    show(f"{WORK}/first.sums")
    if run(["diff", f"{WORK}/first.sums", f"{WORK}/second-build-folder.sums"]):
        fail("two builds of the same commit differ (above: first, then second)")
    print("reproducible: both builds are byte-identical; the default build is named unconfigured")

    os.mkdir(KEY, 0o700)
    must(["openssl", "rand", "-hex", "-out", f"{KEY}/password", "16"])
    with open(f"{KEY}/password", encoding="ascii") as file:
        password = file.read().strip()
    # Self-signed; issued by a throwaway authority; issued, of another organisation.
    make_certificate("selfsigned")
    make_certificate("issued", issued=True)
    make_certificate("foreign", issued=True, organisation="Someone Else")
    unpack(f"{WORK}/first", f"{WORK}/unsigned")

    check_signed(password)

    print("== a certificate of another organisation than the publisher")
    if not package(f"{WORK}/first", f"{WORK}/foreign.log", QUENMOOR_MSI_CYCLE="0", **signing("foreign", password)):
        fail("a certificate of 'Someone Else' signed a release whose publisher is Ostrel")
    if "organisation 'Someone Else'" not in read_text(f"{WORK}/foreign.log"):
        show(f"{WORK}/foreign.log")
        fail("the packing with a foreign certificate failed for another reason (above)")
    print("refused: the certificate's organisation is not the publisher")

    configured = check_configured(password, commit)

    print("== every build its own product")
    codes = [record_value(read_text(only(f"{folder}/*/RELEASE.txt")), "MSI x64 ProductCode") or ""
             for folder in (f"{WORK}/unsigned", f"{WORK}/testsigned", configured)]
    if not all(code.startswith("{") for code in codes) or len(set(codes)) != 3:
        fail(f"the unconfigured, test-signed and configured x64 packages have the product codes {' '.join(codes)}")
    print(f"x64 product codes: unconfigured {codes[0]}, test-signed {codes[1]}, configured {codes[2]}")
    shipped = only(f"{configured}/*")
    if not run(["bash", "tools/build-msi.sh", "x64", f"{shipped}/x64/quenmoor-update.exe",
                f"{shipped}/x64/quenmoor-update.task.xml", f"{shipped}/Test-QuenmoorFolders.ps1", "1.0.0.1", "Ostrel",
                f"{WORK}/fourth-field.msi"], f"{WORK}/fourth-field.log", env=dict(os.environ, SOURCE_DATE_EPOCH="0")):
        fail("version 1.0.0.1 was packed")
    if "compares only the first three numbers" not in read_text(f"{WORK}/fourth-field.log"):
        show(f"{WORK}/fourth-field.log")
        fail("version 1.0.0.1 was refused for another reason (above)")
    print("refused: a fourth version field other than 0")
    print(f"release checks passed; the packages made here are in {WORK}")


if __name__ == "__main__":
    sys.exit(steps.main(check))
