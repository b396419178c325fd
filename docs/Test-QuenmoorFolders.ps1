<#
.SYNOPSIS
    Checks, without changing anything, that no standard user can redirect the scheduled
    quenmoor-update run through the folders of the Quenmoor profile and of its copy.

.DESCRIPTION
    Looks at C:\Ostrel, C:\Ostrel\Tessarin, C:\Ostrel\Tessarin\Palvendo,
    C:\Ostrel\Tessarin\Palvendo\Suporte and C:\Ostrel\Tessarin\Programs. Each must be a plain
    folder (no junction or other reparse point), owned by Administrators (S-1-5-32-544) or
    SYSTEM (S-1-5-18), and its access list may give nobody else the right to create files or
    folders in it, to delete it or its contents, or to change its permissions or owner. The one
    exception is what the scheduled task's account, LOCAL SERVICE (S-1-5-19), needs: Modify on
    ...\Suporte (the profile is rewritten there) and create files on ...\Programs (the copy).
    CREATOR OWNER counts like anyone else. A missing C:\Ostrel is a fault (any user could
    create it and would own it); a missing folder below a sound one is not (only administrators
    could create it), and nothing below a missing folder, or one that is not a plain folder, is
    looked at.

    These are the rights that the icacls steps of the deployment note (DEPLOYMENT.txt, "Rights on
    the profile's and the copy's folders") set, SID for SID.

    Prints 0 and exits with 0 when every folder passes; otherwise prints one line per fault and
    exits with 1. Written for Windows PowerShell 2.0 (Windows 7) and later.
#>

$ErrorActionPreference = 'Stop'

$Administrators = 'S-1-5-32-544'
$System = 'S-1-5-18'
$LocalService = 'S-1-5-19'

# The rights that let their holder change what a folder holds or who may change it:
# create files (0x2), create folders (0x4), delete children (0x40), delete (0x10000), change
# permissions (0x40000), take ownership (0x80000), and the generic all (0x10000000) and write
# (0x40000000) rights, which contain some of them.
$CreateFiles = 0x2
$CreateFolders = 0x4
$Delete = 0x10000
$GenericWrite = 0x40000000
$Changing = $CreateFiles -bor $CreateFolders -bor 0x40 -bor $Delete -bor 0x40000 -bor 0x80000 -bor 0x10000000 -bor $GenericWrite

# The folders, each after the one it lies in, with what LOCAL SERVICE may hold of those rights:
# Modify (icacls M) on the profile's folder, create files (icacls WD) on the copy's.
$Folders = @(
    @('C:\Ostrel', 0),
    @('C:\Ostrel\Tessarin', 0),
    @('C:\Ostrel\Tessarin\Palvendo', 0),
    @('C:\Ostrel\Tessarin\Palvendo\Suporte', ($CreateFiles -bor $CreateFolders -bor $Delete -bor $GenericWrite)),
    @('C:\Ostrel\Tessarin\Programs', $CreateFiles)
)

function Get-AccountName($Sid) {
    try {
        return "$($Sid.Value) ($($Sid.Translate([System.Security.Principal.NTAccount]).Value))"
    } catch {
        return $Sid.Value
    }
}

# The faults in the owner and the access list of the plain folder at `Path`, as lines.
function Get-RightsFaults($Path, $LocalServiceMay) {
    $faults = @()
    $acl = Get-Acl -Path $Path
    $owner = $acl.GetOwner([System.Security.Principal.SecurityIdentifier])
    if (@($Administrators, $System) -notcontains $owner.Value) {
        $faults += "$Path is owned by $(Get-AccountName $owner), not by Administrators or SYSTEM"
    }
    foreach ($rule in $acl.GetAccessRules($true, $true, [System.Security.Principal.SecurityIdentifier])) {
        $sid = $rule.IdentityReference.Value
        if ($rule.AccessControlType -ne 'Allow' -or @($Administrators, $System) -contains $sid) {
            continue
        }
        $may = 0
        if ($sid -eq $LocalService) {
            $may = $LocalServiceMay
        }
        $rights = [int]$rule.FileSystemRights
        if (($rights -band $Changing -band (-bnot $may)) -ne 0) {
            $hex = '0x{0:X8}' -f $rights
            $faults += "$Path lets $(Get-AccountName $rule.IdentityReference) create, delete or change permissions (rights $hex)"
        }
    }
    return $faults
}

$faults = @()
# Folders missing or not plain folders: nothing below them is where it seems, so it is not
# looked at.
$passedOver = @()
foreach ($entry in $Folders) {
    $path = $entry[0]
    if ($passedOver -contains (Split-Path -Parent $path)) {
        $passedOver += $path
        continue
    }
    try {
        if (-not (Test-Path -LiteralPath $path)) {
            if ($path -eq 'C:\Ostrel') {
                $faults += 'C:\Ostrel is missing: any user could create it and would own it'
            }
            $passedOver += $path
            continue
        }
        $folder = Get-Item -LiteralPath $path -Force
        if (($folder.Attributes -band [System.IO.FileAttributes]::ReparsePoint) -ne 0) {
            $faults += "$path is a junction or another reparse point, not a plain folder"
            $passedOver += $path
        } elseif (-not $folder.PSIsContainer) {
            $faults += "$path is not a folder"
            $passedOver += $path
        } else {
            $faults += @(Get-RightsFaults $path $entry[1])
        }
    } catch {
        $faults += "$path could not be examined: $($_.Exception.Message)"
        $passedOver += $path
    }
}

if ($faults.Count -eq 0) {
    '0'
    exit 0
}
$faults
exit 1
