#include "UninstallProcedure.h"

#include <cstdlib>

#include <windows.h>

#include "app/InstallProcedure.h"
#include "app/Registry.h"
#include "library/Disk.h"
#include "package/Extraction.h"
#include "stats/Statistic.h"

namespace {

// A file exists when the path search finds it, as for folders.
bool FileExists(const WString& path)
{
    if (path.length == 0)
        return false;
    wchar_t found[1026] = {};
    return _wsearchenv_s(path.buffer, L"", found, 1026) == 0 && found[0] != 0;
}

// False when the add-in of this year could not be removed completely.
bool RemoveAddinOfYear(Disk& disk, const WString& addins)
{
    if (!disk.FolderExists(addins))
        return true;
    const WString manifest = addins + L"tarmesh.addin";
    if (FileExists(manifest) && !DeleteFileW(manifest.buffer))
        return false;
    RemoveTemporaryFiles(addins);
    const WString subfolder = addins + AddinSubfolder;
    if (disk.FolderExists(subfolder) && !disk.DeleteFolder(subfolder, false, false))
        return false;
    return true;
}

// The files of every year that the removal would delete, looked at before
// the first one goes.
bool AnyFileHeld(Disk& disk, const WString& appData)
{
    for (int32_t year = FirstInstallationYear; year <= LastInstallationYear; ++year) {
        const WString addins = AddinsFolderOf(appData, year);
        if (Disk::IsHeld(addins + L"tarmesh.addin") || disk.FirstHeldFile(addins + AddinSubfolder).length > 0)
            return true;
    }
    return false;
}

void LeaveLogOnCleanUp(const WString& command)
{
    RegistryKey runOnce;
    if (runOnce.Create(HKEY_CURRENT_USER, RunOnceKey))
        RegSetValueExW(runOnce.Handle(), RunOnceValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.buffer),
                       static_cast<DWORD>((command.length + 1) * sizeof(wchar_t)));
}

}  // namespace

WString LogOnCleanUpCommand(const WString& appData)
{
    const WString folder = SetupFolderOf(appData);
    return L"cmd.exe /c RD /S /Q \"" + folder.Left(folder.length - 1) + L"\"";
}

UninstallResult UninstallAddin()
{
    Disk disk;
    const WString appData = disk.AppDataPath();
    // Without the folder every path would be relative to wherever the
    // program was started.
    if (appData.length == 0)
        return UninstallResult::Failed;
    if (AnyFileHeld(disk, appData))
        return UninstallResult::Held;
    for (int32_t year = FirstInstallationYear; year <= LastInstallationYear; ++year) {
        if (!RemoveAddinOfYear(disk, AddinsFolderOf(appData, year)))
            return UninstallResult::Failed;
    }
    RemoveTemporaryFiles(SetupFolderOf(appData));
    RegDeleteKeyW(HKEY_CURRENT_USER, UninstallKey);
    LeaveLogOnCleanUp(LogOnCleanUpCommand(appData));
    SendStatistic(L"uninstall");
    return UninstallResult::Removed;
}
