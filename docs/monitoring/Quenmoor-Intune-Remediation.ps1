<#
.SYNOPSIS
    Intune Remediations remediation script: runs the update once now, then the check again,
    and reports both.

.DESCRIPTION
    Intune runs it after the detection script (Quenmoor-Intune-Detection.ps1) ended with 1.
    It runs quenmoor-check.exe first, since the machine may have changed in between:

      status 0      nothing to do; exit status 0
      status 1, 2   the update can fix these (stale links, a missing copy): it starts the
                    scheduled task \Quenmoor\Quenmoor update, which runs quenmoor-update.exe
                    as LOCAL SERVICE exactly as the daily run does, waits until it has ended,
                    runs the check again and prints both statuses; exit status 0 only when the
                    check then ends with 0
      status 3, 4, 5, 6, 7, not run
                    no update can fix these; it says why and ends with 1 (for 6, the folders of
                    the profile or of its copy are not locked: the update refuses to act on
                    them until an administrator locks them; for 7, the machine has the
                    unconfigured build)

    The update runs through the task, not as SYSTEM, the account the remediation runs as: so
    it never writes with more rights than the scheduled runs have, and a machine whose folder
    rights refuse LOCAL SERVICE stays visible instead of being mended once behind the task's
    back.

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

# Why no update can help with the other statuses.
$cannotFix = @{
    3 = 'the support application keeps its version gate closed (VERSAO 0, missing or not a number), and the update changes nothing until it opens it'
    4 = 'there is no profile: the support application is not installed, or has not made its profile yet, and the update never creates one'
    5 = 'the profile cannot be read, by the update either: find out who denies access to it or holds it open without sharing'
    6 = 'the update refuses to act on folders that others than administrators could change: an administrator must lock them (DEPLOYMENT.txt, "Rights on the profile''s and the copy''s folders")'
    7 = 'this is the unconfigured build, whose links are examples: deploy the configured build instead (DEPLOYMENT.txt, "Where each shop stands")'
}

# Starts the scheduled task and waits until it has ended. Returns '' when it ran and ended
# with result 0, otherwise why not.
function Invoke-QuenmoorTask {
    $name = '\Quenmoor\Quenmoor update'
    try {
        $service = New-Object -ComObject Schedule.Service
        $service.Connect()
        $taskFolder = $service.GetFolder('\Quenmoor')
        $task = $taskFolder.GetTask('Quenmoor update')
        if (-not $task.Enabled) {
            return "the task $name is disabled"
        }
        # Task states: 2 queued, 4 running. A task already running is waited for; it starts
        # no second instance.
        $wasRunning = $task.State -eq 4
        $lastRun = $task.LastRunTime
        if (-not $wasRunning) {
            [void]$task.Run($null)
        }
        # The task stops the program after 10 minutes; a run takes well under a second.
        $deadline = (Get-Date).AddMinutes(11)
        while ($true) {
            Start-Sleep -Seconds 1
            $task = $taskFolder.GetTask('Quenmoor update')
            $started = $wasRunning -or $task.LastRunTime -ne $lastRun
            if ($started -and $task.State -ne 4 -and $task.State -ne 2) {
                break
            }
            if ((Get-Date) -gt $deadline) {
                return "the task $name did not run to its end within 11 minutes"
            }
        }
        if ($task.LastTaskResult -ne 0) {
            return ('the task {0} ended with result 0x{1:X8}' -f $name, $task.LastTaskResult)
        }
        return ''
    } catch {
        $reason = ($_.Exception.Message -replace '\s+', ' ').Trim()
        return "the task $name could not be run (repair or reinstall the package): $reason"
    }
}

$folder = Find-QuenmoorFolder
$before = Invoke-QuenmoorCheck $folder
if ($null -eq $before.Status) {
    Write-Output $before.Line
    exit 1
}
if ($before.Status -eq 0) {
    Write-Output ('status 0: {0}; nothing to do' -f $before.Line)
    exit 0
}
if ($cannotFix.ContainsKey($before.Status)) {
    Write-Output ('status {0}: {1}; no update can fix this: {2}' -f $before.Status, $before.Line, $cannotFix[$before.Status])
    exit 1
}

$taskProblem = Invoke-QuenmoorTask
$after = Invoke-QuenmoorCheck $folder
if ($null -eq $after.Status) {
    $report = 'before: status {0}; after the update: {1}' -f $before.Status, $after.Line
} else {
    $report = 'before: status {0}; after the update: status {1}: {2}' -f $before.Status, $after.Status, $after.Line
}
if ($taskProblem) {
    $report += "; $taskProblem"
} elseif ($after.Status -eq 1 -or $after.Status -eq 2) {
    $report += '; the update ran but could not write: LOCAL SERVICE needs the rights in DEPLOYMENT.txt, "Rights on the profile''s and the copy''s folders"'
}
Write-Output $report
if ($after.Status -eq 0) {
    exit 0
}
exit 1
