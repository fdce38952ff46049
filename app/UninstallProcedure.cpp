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

Disk::Obstacle FirstObstacle(Disk& disk, const WString& appData)
{
    for (int32_t year = FirstInstallationYear; year <= LastInstallationYear; ++year) {
        const WString addins = AddinsFolderOf(appData, year);
        Disk::Obstacle obstacle = Disk::ObstacleTo(addins + L"tarmesh.addin");
        if (!obstacle.Blocks())
            obstacle = disk.FirstObstacleBelow(addins + AddinSubfolder);
        if (obstacle.Blocks())
            return obstacle;
    }
    return Disk::Obstacle();
}

// The files of every year that the removal would delete, looked at before
// the first one goes; Removed when nothing stands in the way.
UninstallResult CheckBeforeRemoving(Disk& disk, const WString& appData)
{
    const Disk::Obstacle obstacle = FirstObstacle(disk, appData);
    if (!obstacle.Blocks())
        return UninstallResult::Removed;
    const bool held = obstacle.kind == Disk::Obstacle::Kind::Held;
    SetupLog::Failure((held ? L"held by another program: " : L"cannot remove ") + obstacle.path,
                      obstacle.windowsError);
    return held ? UninstallResult::Held : UninstallResult::Failed;
}

// Gone already is as good as deleted.
[[nodiscard]] bool DeleteUninstallEntry()
{
    const LSTATUS status = RegDeleteKeyW(HKEY_CURRENT_USER, UninstallKey);
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
        SetupLog::Line(WString(L"removed the uninstall entry"));
        return true;
    }
    SetupLog::Failure(WString(L"cannot remove the uninstall entry"), static_cast<uint32_t>(status));
    return false;
}

// Without it the setup folder stays, which costs disk space and nothing
// else: the removal goes on.
void LeaveLogOnCleanUp(const WString& command)
{
    if (!SetRegistryString(WString(RunOnceKey), RunOnceValue, command))
        SetupLog::Failure(L"cannot leave the log-on command " + command, GetLastError());
}

}  // namespace

WString LogOnCleanUpCommand(const WString& appData)
{
    const WString folder = SetupFolderOf(appData);
    return L"cmd.exe /c RD /S /Q \"" + folder.Left(folder.length - 1) + L"\"";
}

namespace {

// Everything that changes the user's files and registry, while no other
// setup may.
UninstallResult RemoveInstallation(Disk& disk, const WString& appData)
{
    SetupMutex oneSetup;
    if (!oneSetup.Acquire()) {
        SetupLog::Line(WString(L"another tarmesh setup is running"));
        return UninstallResult::AnotherSetup;
    }
    const UninstallResult checked = CheckBeforeRemoving(disk, appData);
    if (checked != UninstallResult::Removed)
        return checked;
    for (int32_t year = FirstInstallationYear; year <= LastInstallationYear; ++year) {
        if (!RemoveAddinOfYear(disk, AddinsFolderOf(appData, year)))
            return UninstallResult::Failed;
    }
    RemoveTemporaryFiles(SetupFolderOf(appData));
    if (!DeleteUninstallEntry())
        return UninstallResult::Failed;
    LeaveLogOnCleanUp(LogOnCleanUpCommand(appData));
    return UninstallResult::Removed;
}

}  // namespace

UninstallResult UninstallAddin()
{
    Disk disk;
    const WString appData = disk.AppDataPath();
    // Without the folder every path would be relative to wherever the
    // program was started.
    if (appData.length == 0)
        return UninstallResult::Failed;
    const UninstallResult result = RemoveInstallation(disk, appData);
    // Another setup may start now: the report changes nothing.
    if (result == UninstallResult::Removed)
        SendStatistic(L"uninstall");
    return result;
}
