"""The text files of the release ZIP as Windows readers want them, the ZIP's list of files, and
the checksum lines of what ships."""
import hashlib
import re

# The monitoring scripts for Configuration Manager and Intune (DEPLOYMENT.txt, "Where each shop
# stands"), shipped in the ZIP's folder monitoring/.
MONITORING_SCRIPTS = ("Quenmoor-ConfigMgr-Discovery.ps1", "Quenmoor-Intune-Detection.ps1",
                      "Quenmoor-Intune-Remediation.ps1")


def crlf(data):
    """The bytes with every line ended by CR LF, so that every Notepad shows the lines: carriage
    returns before a line end are replaced, and a last line without its end gets a CR only."""
    lines = data.split(b"\n")
    last = lines.pop()
    return b"".join(line.rstrip(b"\r") + b"\r\n" for line in lines) + (last.rstrip(b"\r") + b"\r" if last else b"")


def utf16_crlf(text):
    """The text as Task Scheduler writes definitions: UTF-16 with its byte-order mark, CRLF line
    ends (as crlf gives them)."""
    return b"\xff\xfe" + crlf(text.encode("utf-8")).decode("utf-8").encode("utf-16-le")


def task_definition(source, publisher):
    """The shipped task definition from docs/quenmoor-update.task.xml: the publisher as its
    author, in UTF-16 with its byte-order mark and CRLF line ends, as Task Scheduler writes
    definitions, which suits every schtasks that reads them."""
    author = re.compile("<Author>[^<]*</Author>")
    text = "\n".join(author.sub(lambda _: f"<Author>{publisher}</Author>", line, count=1)
                     for line in source.decode("utf-8").split("\n"))
    return utf16_crlf(text)


def zip_files(programs, architectures):
    """The files of the ZIP's folder, in the order of their checksums in SHA256SUMS (which comes
    last): the note, the record, the notices, the folder check, the monitoring scripts, then per
    architecture its programs and task definition in code point order."""
    files = ["DEPLOYMENT.txt", "RELEASE.txt", "THIRD-PARTY-NOTICES.txt", "Test-QuenmoorFolders.ps1"]
    files += [f"monitoring/{script}" for script in MONITORING_SCRIPTS]
    shipped = sorted([f"{program}.exe" for program in programs] + ["quenmoor-update.task.xml"],
                     key=lambda name: name.encode())
    for arch in architectures:
        files += [f"{arch}/{name}" for name in shipped]
    return files


def zip_members(name, files):
    """The ZIP's entries: the files under the folder NAME in code point order, no folder entries."""
    return sorted((f"{name}/{file}" for file in files), key=lambda member: member.encode())


def release_record(version, commit, commit_time, faq, portal, certificate, timestamp_url, osslsigncode,
                   compilers, mingw):
    """RELEASE.txt's lines before the MSI codes: what was built from what, with which links,
    signed by whom, with which tools. `certificate` is None when unsigned; `compilers` holds
    (architecture, compiler, its package and version) per architecture."""
    lines = [f"quenmoor-update {version}", "", f"Commit:         {commit}", f"Commit time:    {commit_time}",
             f"FAQ link:       {faq}", f"Portal link:    {portal}"]
    if certificate:
        lines += [f"Signed by:      {certificate.subject}", f"Issued by:      {certificate.issuer}",
                  f"Thumbprint:     {certificate.sha1} (SHA-1)",
                  f"Time stamp:     applied by {timestamp_url}" if timestamp_url else
                  "Time stamp:     none (the signature is valid while the certificate is)",
                  f"osslsigncode:   {osslsigncode}"]
    else:
        lines += ["Signed by:      unsigned", "Time stamp:     none", "osslsigncode:   not used"]
    lines += [f"Compiler {arch}:   {compiler}, {package}" for arch, compiler, package in compilers]
    return lines + [f"mingw-w64:      {mingw}",
                    "Notices:        THIRD-PARTY-NOTICES.txt (the runtime libraries linked into the programs)"]


def record_value(record, key):
    """The value of the release record's line `key` (the record as text, any line ends), or None."""
    for line in record.replace("\r", "").split("\n"):
        if line.startswith(key + ":"):
            return line[len(key) + 1:].lstrip(" ")
    return None


def sha256(path):
    with open(path, "rb") as file:
        return hashlib.sha256(file.read()).hexdigest()


def sha256_line(path, name):
    """sha256sum's line for the file at `path`, under the name `name`."""
    return f"{sha256(path)}  {name}\n"


def msi_code_line(arch, code, value):
    """The record's line of an MSI package's ProductCode or UpgradeCode, values aligned."""
    return f"{f'MSI {arch} {code}:':<21}{value}"
