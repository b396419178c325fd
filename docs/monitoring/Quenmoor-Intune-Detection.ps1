<#
.SYNOPSIS
    Intune Remediations detection script: exits with 0 when this machine is up to date, with 1
    otherwise. Changes nothing.

.DESCRIPTION
    Runs quenmoor-check.exe from "Quenmoor Update" under Program Files (the x64 or the x86
    package, whichever is installed) and prints one line, which Intune shows as the detection
    output:

      status N: LINE   the check ran, ended with status N and printed LINE (DEPLOYMENT.txt,
                       "Where each shop stands")
      not run: ...     the check is not installed, could not start or did not end with one of
                       its statuses

    Exit status 0 ("no issue") only for status 0; 1 ("issue found") for every other status and
    whenever the check did not run, never the check's own status: Intune runs the remediation
    script only after an exit status of 1.

    Written for Windows PowerShell 2.0 and later; Intune runs it on Windows 10 and 11.
#>

$ErrorActionPreference = 'Stop'

# ---- begin: lines shared by the scripts that run quenmoor-check.exe ----
# The packages install into "Quenmoor Update" under Program Files: the x64 package under the
# 64-bit Program Files; the x86 package under Program Files (x86) on 64-bit Windows and under
# Program Files on 32-bit Windows. A 32-bit PowerShell on 64-bit Windows, as Intune starts by
# default, sees the 64-bit folder only as ProgramW6432, and its ProgramFiles is the x86 one.
function Find-QuenmoorFolder {
    foreach ($root in @($env:ProgramW6432, $env:ProgramFiles, ${env:ProgramFiles(x86)})) {
        if ($root) {
            $folder = Join-Path $root 'Quenmoor Update'
            if (Test-Path -LiteralPath (Join-Path $folder 'quenmoor-check.exe') -PathType Leaf) {
                return $folder
            }
        }
    }
    return $null
}

# Runs quenmoor-check.exe in the folder and returns @{ Status; Line }: its exit status (0 to 7)
# and the line it printed. When there is no check, it cannot start (application control may
# block it) or it ends without one of its statuses and a line (it crashed), Status is $null and
# Line begins with "not run:". Nothing here ever reads "could not run" as a status.
function Invoke-QuenmoorCheck($Folder) {
    if (-not $Folder) {
        $reason = 'no quenmoor-check.exe in "Quenmoor Update" under either Program Files folder'
        return @{ Status = $null; Line = "not run: $reason" }
    }
    $program = Join-Path $Folder 'quenmoor-check.exe'
    try {
        $start = New-Object System.Diagnostics.ProcessStartInfo
        $start.FileName = $program
        $start.UseShellExecute = $false
        $start.RedirectStandardOutput = $true
        $start.CreateNoWindow = $true
        $process = [System.Diagnostics.Process]::Start($start)
        $line = $process.StandardOutput.ReadToEnd().Trim()
        $process.WaitForExit()
        $status = $process.ExitCode
    } catch {
        $reason = ($_.Exception.Message -replace '\s+', ' ').Trim()
        return @{ Status = $null; Line = "not run: $program could not be started: $reason" }
    }
    if ($status -lt 0 -or $status -gt 7 -or $line -eq '') {
        $reason = "$program ended with $status after printing '$line'"
        return @{ Status = $null; Line = "not run: $reason" }
    }
    return @{ Status = $status; Line = $line }
}
# ---- end: lines shared by the scripts that run quenmoor-check.exe ----

$check = Invoke-QuenmoorCheck (Find-QuenmoorFolder)
if ($null -eq $check.Status) {
    Write-Output $check.Line
    exit 1
}
Write-Output ('status {0}: {1}' -f $check.Status, $check.Line)
if ($check.Status -eq 0) {
    exit 0
}
exit 1
