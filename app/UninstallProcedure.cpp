#include "UninstallProcedure.h"

#include <cstdlib>

#include <windows.h>

#include "app/InstallProcedure.h"
#include "app/Registry.h"
#include "app/SetupLog.h"
#include "app/SetupMutex.h"
#include "app/SetupScope.h"
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

Disk::Obstacle FirstObstacle(const SetupScope& scope)
{
    for (int32_t year = FirstInstallationYear; year <= LastInstallationYear; ++year) {
        Disk::Obstacle obstacle = FindAddinObstacle(scope.AddinsFolder(year));
        if (obstacle.Blocks())
            return obstacle;
    }
    return Disk::Obstacle();
}

// The files of every year that the removal would delete, looked at before
// the first one goes; Removed when nothing stands in the way.
UninstallResult CheckBeforeRemoving(const SetupScope& scope)
{
    const Disk::Obstacle obstacle = FirstObstacle(scope);
    if (!obstacle.Blocks())
        return UninstallResult::Removed;
    const bool held = obstacle.kind == Disk::Obstacle::Kind::Held;
    SetupLog::Failure((held ? L"held by another program: " : L"cannot remove ") + obstacle.path,
                      obstacle.windowsError);
    return held ? UninstallResult::Held : UninstallResult::Failed;
}

// Without it the setup folder stays, which costs disk space and nothing
// else: the removal goes on.
void LeaveLogOnCleanUp(const WString& command)
{
    if (!SetRegistryString(RegistryHive{HKEY_CURRENT_USER, 0}, WString(RunOnceKey), RunOnceValue, command))
        SetupLog::Failure(L"cannot leave the log-on command " + command, GetLastError());
}

// The computer's setup folder goes at once. A program file that runs (the
// uninstaller is mostly started from this folder) cannot be deleted: it is
// renamed aside, which leaves its name free for an installation before the
// next restart, and goes with the folder at that restart.
void RemoveSetupFolderNowOrAtRestart(const WString& folder)
{
    Disk disk;
    if (!disk.FolderExists(folder))
        return;
    (void)disk.DeleteFolder(folder, true, false);
    if (!disk.FolderExists(folder)) {
        SetupLog::Line(L"removed " + folder);
        return;
    }
    OwnedStringList running;
    disk.List(&running.items, folder + L"*.*", Disk::Files, nullptr, nullptr);
    for (const WString* file : running.items) {
        const WString aside = AsideName(*file);
        const WString& left = aside.length > 0 && MoveFileExW(file->buffer, aside.buffer, 0) ? aside : *file;
        if (!MoveFileExW(left.buffer, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
            SetupLog::Failure(L"cannot remove " + left, GetLastError());
    }
    const WString withoutSeparator = folder.Left(folder.length - 1);
    if (MoveFileExW(withoutSeparator.buffer, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
        SetupLog::Line(L"removed " + folder + L" but for the running program, which goes at the next restart");
    else
        SetupLog::Failure(L"cannot remove " + folder, GetLastError());
}

// Everything that changes the files and the registry, while no other
// setup may.
UninstallResult RemoveInstallation(const SetupScope& scope)
{
    SetupMutex oneSetup;
    if (!oneSetup.Acquire(scope.MutexName(), scope.MutexOwner())) {
        SetupLog::Line(WString(L"another tarmesh setup is running"));
        return UninstallResult::AnotherSetup;
    }
    const UninstallResult checked = CheckBeforeRemoving(scope);
    if (checked != UninstallResult::Removed)
        return checked;
    Disk disk;
    for (int32_t year = FirstInstallationYear; year <= LastInstallationYear; ++year) {
        if (!RemoveAddin(disk, scope.AddinsFolder(year)))
            return UninstallResult::Failed;
    }
    RemoveTemporaryFiles(scope.SetupFolder());
    if (!DeleteUninstallEntry(scope)) {
        SetupLog::Failure(WString(L"cannot remove the uninstall entry"), GetLastError());
        return UninstallResult::Failed;
    }
    SetupLog::Line(WString(L"removed the uninstall entry"));
    if (scope.RemovesSetupFolderAtLogOn())
        LeaveLogOnCleanUp(LogOnCleanUpCommand(scope.SetupFolder()));
    else
        RemoveSetupFolderNowOrAtRestart(scope.SetupFolder());
    return UninstallResult::Removed;
}

}  // namespace

bool RemoveAddin(Disk& disk, const WString& addins)
{
    if (!disk.FolderExists(addins))
        return true;
    const WString manifest = addins + L"tarmesh.addin";
    if (FileExists(manifest)) {
        Disk::MakeWritable(manifest);
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

WString LogOnCleanUpCommand(const WString& setupFolder)
{
    return L"cmd.exe /c RD /S /Q \"" + setupFolder.Left(setupFolder.length - 1) + L"\"";
}

UninstallResult UninstallAddin(const SetupScope& scope)
{
    // Without its folders every path would be relative to wherever the
    // program was started.
    if (!scope.IsKnown())
        return UninstallResult::Failed;
    const UninstallResult result = RemoveInstallation(scope);
    // Another setup may start now: the report changes nothing.
    if (result == UninstallResult::Removed)
        SendStatistic(L"uninstall");
    return result;
}
