#include "UninstallProcedure.h"

#include <cstdlib>

#include <windows.h>

#include "app/InstallProcedure.h"
#include "app/Registry.h"
#include "app/SetupLog.h"
#include "app/SetupMutex.h"
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
    if (FileExists(manifest)) {
        if (!DeleteFileW(manifest.buffer)) {
            SetupLog::Failure(L"cannot remove " + manifest, GetLastError());
            return false;
        }
        SetupLog::Line(L"removed " + manifest);
    }
    RemoveTemporaryFiles(addins);
    const WString subfolder = addins + AddinSubfolder;
    if (disk.FolderExists(subfolder)) {
        if (!disk.DeleteFolder(subfolder, false, false)) {
            SetupLog::Failure(L"cannot remove everything in " + subfolder, GetLastError());
            return false;
        }
        SetupLog::Line(L"removed " + subfolder);
    }
    return true;
}

// The files of every year that the removal would delete, looked at before
// the first one goes.
bool AnyFileHeld(Disk& disk, const WString& appData)
{
    for (int32_t year = FirstInstallationYear; year <= LastInstallationYear; ++year) {
        const WString addins = AddinsFolderOf(appData, year);
        WString held = addins + L"tarmesh.addin";
        if (!Disk::IsHeld(held))
            held = disk.FirstHeldFile(addins + AddinSubfolder);
        if (held.length > 0) {
            SetupLog::Failure(L"held by another program: " + held, GetLastError());
            return true;
        }
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
    SetupMutex oneSetup;
    if (!oneSetup.Acquire()) {
        SetupLog::Line(WString(L"another tarmesh setup is running"));
        return UninstallResult::AnotherSetup;
    }
    if (AnyFileHeld(disk, appData))
        return UninstallResult::Held;
    for (int32_t year = FirstInstallationYear; year <= LastInstallationYear; ++year) {
        if (!RemoveAddinOfYear(disk, AddinsFolderOf(appData, year)))
            return UninstallResult::Failed;
    }
    RemoveTemporaryFiles(SetupFolderOf(appData));
    RegDeleteKeyW(HKEY_CURRENT_USER, UninstallKey);
    SetupLog::Line(WString(L"removed the uninstall entry"));
    LeaveLogOnCleanUp(LogOnCleanUpCommand(appData));
    SendStatistic(L"uninstall");
    return UninstallResult::Removed;
}
