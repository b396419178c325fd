"""What Windows Installer's tables hold, for the tables these packages fill: each table's columns
in order (https://learn.microsoft.com/en-us/windows/win32/msi/database-tables), the columns that
name a row of another table, and the columns of a stated kind (identifier, GUID, version,
language, file name, folder name, condition). msi_ice reads the packages against it."""
COLUMNS = {
    "AdminExecuteSequence": ["Action", "Condition", "Sequence"],
    "AdminUISequence": ["Action", "Condition", "Sequence"],
    "AdvtExecuteSequence": ["Action", "Condition", "Sequence"],
    "Component": ["Component", "ComponentId", "Directory_", "Attributes", "Condition", "KeyPath"],
    "CreateFolder": ["Directory_", "Component_"],
    "CustomAction": ["Action", "Type", "Source", "Target", "ExtendedType"],
    "Directory": ["Directory", "Directory_Parent", "DefaultDir"],
    "Feature": ["Feature", "Feature_Parent", "Title", "Description", "Display", "Level", "Directory_", "Attributes"],
    "FeatureComponents": ["Feature_", "Component_"],
    "File": ["File", "Component_", "FileName", "FileSize", "Version", "Language", "Attributes", "Sequence"],
    "InstallExecuteSequence": ["Action", "Condition", "Sequence"],
    "InstallUISequence": ["Action", "Condition", "Sequence"],
    "LaunchCondition": ["Condition", "Description"],
    "Media": ["DiskId", "LastSequence", "DiskPrompt", "Cabinet", "VolumeLabel", "Source"],
    "MsiFileHash": ["File_", "Options", "HashPart1", "HashPart2", "HashPart3", "HashPart4"],
    "Property": ["Property", "Value"],
    "Registry": ["Registry", "Root", "Key", "Name", "Value", "Component_"],
    "RemoveFile": ["FileKey", "Component_", "FileName", "DirProperty", "InstallMode"],
    "Upgrade": ["UpgradeCode", "VersionMin", "VersionMax", "Language", "Attributes", "Remove", "ActionProperty"],
}
# (table, column): the table whose first key column it names.
FOREIGN_KEYS = {
    ("Component", "Directory_"): "Directory", ("CreateFolder", "Directory_"): "Directory",
    ("CreateFolder", "Component_"): "Component", ("Directory", "Directory_Parent"): "Directory",
    ("Feature", "Feature_Parent"): "Feature", ("Feature", "Directory_"): "Directory",
    ("FeatureComponents", "Feature_"): "Feature", ("FeatureComponents", "Component_"): "Component",
    ("File", "Component_"): "Component", ("MsiFileHash", "File_"): "File",
    ("Registry", "Component_"): "Component", ("RemoveFile", "Component_"): "Component",
}
SEQUENCES = ("InstallExecuteSequence", "InstallUISequence", "AdminExecuteSequence", "AdminUISequence",
             "AdvtExecuteSequence")
KINDS = {
    ("Component", "Component"): "identifier", ("File", "File"): "identifier", ("Directory", "Directory"): "identifier",
    ("Feature", "Feature"): "identifier", ("CustomAction", "Action"): "identifier",
    ("Property", "Property"): "identifier", ("Upgrade", "ActionProperty"): "identifier",
    ("Component", "ComponentId"): "guid", ("Upgrade", "UpgradeCode"): "guid",
    ("File", "Version"): "version", ("Upgrade", "VersionMin"): "version", ("Upgrade", "VersionMax"): "version",
    ("File", "Language"): "language", ("Upgrade", "Language"): "language",
    ("File", "FileName"): "filename", ("Directory", "DefaultDir"): "defaultdir",
    ("Component", "Condition"): "condition", ("LaunchCondition", "Condition"): "condition",
    **{(table, "Condition"): "condition" for table in SEQUENCES},
}
# Folders whose contents belong to one user (ICE57); the rest of the system's folders are the
# machine's, or, like the Start menu, follow ALLUSERS.
PER_USER_FOLDERS = {"AppDataFolder", "LocalAppDataFolder", "PersonalFolder", "FavoritesFolder", "NetHoodFolder",
                    "PrintHoodFolder", "RecentFolder", "SendToFolder", "TemplateFolder", "MyPicturesFolder"}
ALLUSERS_FOLDERS = {"DesktopFolder", "StartMenuFolder", "ProgramMenuFolder", "StartupFolder"}
# The system's folders of each width (ICE80).
FOLDERS_64 = {"ProgramFiles64Folder", "System64Folder", "CommonFiles64Folder"}
FOLDERS_32 = {"ProgramFilesFolder", "SystemFolder", "CommonFilesFolder"}
