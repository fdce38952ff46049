#include "UninstallProcedure.h"

#include <cstdlib>

#include <windows.h>

#include "app/InstallProcedure.h"
#include "app/Registry.h"
#include "library/Disk.h"
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
    const WString subfolder = addins + L"tarmesh\\";
    if (disk.FolderExists(subfolder) && !disk.DeleteFolder(subfolder, false, false))
        return false;
    return true;
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

bool UninstallAddin()
{
    Disk disk;
    const WString appData = disk.AppDataPath();
    // Without the folder every path would be relative to wherever the
    // program was started.
    if (appData.length == 0)
        return false;
    for (int32_t year = FirstInstallationYear; year <= LastInstallationYear; ++year) {
        if (!RemoveAddinOfYear(disk, AddinsFolderOf(appData, year)))
            return false;
    }
    RegDeleteKeyW(HKEY_CURRENT_USER, UninstallKey);
    LeaveLogOnCleanUp(LogOnCleanUpCommand(appData));
    SendStatistic(L"uninstall");
    return true;
}
