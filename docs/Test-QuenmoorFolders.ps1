<#
.SYNOPSIS
    Says, without changing anything, whether the folders of the Quenmoor profile and of its copy
    are locked as the scheduled quenmoor-update run requires.

.DESCRIPTION
    Runs quenmoor-check.exe from "Quenmoor Update" under Program Files (the x64 or the x86
    package, whichever is installed) and reports what it says about C:\Ostrel,
    C:\Ostrel\Tessarin, C:\Ostrel\Tessarin\Palvendo, C:\Ostrel\Tessarin\Palvendo\Suporte,
    C:\Ostrel\Tessarin\Programs and the profile in them:

      0              the check ran and did not end with status 6: nobody but the trusted can
                     change where the update reads and writes; exit status 0 (the check's other
                     statuses are about the profile, which the monitoring scripts report)
      LINE           the check ended with status 6 and printed LINE, "path not trusted: "
                     followed by the first folder or file that fails and what is wrong with it;
                     the scheduled update does nothing on this machine until an administrator
                     locks the folders; exit status 1
      not run: ...   the check is not installed, could not start or did not end with one of
                     its statuses; exit status 1

    The rules are the check's own, the same that the scheduled run applies (DEPLOYMENT.txt,
    "Rights on the profile's and the copy's folders", which also gives the icacls lines that
    lock the folders).

    Written for Windows PowerShell 2.0 (Windows 7) and later.
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
if ($null -eq $check.Status -or $check.Status -eq 6) {
    Write-Output $check.Line
    exit 1
}
Write-Output '0'
exit 0
