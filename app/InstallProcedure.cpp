#include "InstallProcedure.h"

#include <cstdio>
#include <cwchar>
#include <vector>

#include <windows.h>

#include "app/InstalledProgram.h"
#include "app/Progress.h"
#include "app/Registry.h"
#include "app/SetupLog.h"
#include "app/SetupMutex.h"
#include "app/SetupVersion.h"
#include "host/RevitDiscovery.h"
#include "host/WindowsVersion.h"
#include "library/Disk.h"
#include "library/File.h"
#include "library/Library.h"
#include "library/Mem.h"
#include "package/Extraction.h"
#include "package/PackageFormat.h"
#include "stats/Statistic.h"

const wchar_t* const UninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tarmesh";
const wchar_t* const RunOnceKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const wchar_t* const RunOnceValue = L"tarmesh";

namespace {

// The number before the first "." and the one after the last; both 0 when
// the text has no ".".
void SplitWindowsVersion(const WString& version, uint32_t& major, uint32_t& minor)
{
    major = 0;
    minor = 0;
    const wchar_t* text = version.buffer != nullptr ? version.buffer : L"";
    const wchar_t* last = std::wcsrchr(text, L'.');
    if (last == nullptr)
        return;
    major = static_cast<uint32_t>(_wtoi(text));
    minor = static_cast<uint32_t>(_wtoi(last + 1));
}

using Years = std::vector<int32_t>;

Years FoundYears()
{
    Years years;
    for (int32_t year = FirstInstallationYear; year <= LastInstallationYear; ++year) {
        if (IsRevitInstalled(year)) {
            years.push_back(year);
            SetupLog::Line(L"Revit " + WString(year) + L" found");
        }
    }
    return years;
}

WString FirstHeldFile(Mem& package, const Years& years, const WString& appData)
{
    for (int32_t year : years) {
        const WString held = FindHeldFile(package, year, AddinsFolderOf(appData, year));
        if (held.length > 0)
            return held;
    }
    return WString(L"");
}

// Looked for before anything changes, so that the user can close Revit
// while every year still holds what it held, or give up with nothing lost.
[[nodiscard]] bool NoFileHeld(Mem& package, const Years& years, const WString& appData, InstallPrompts& prompts)
{
    for (;;) {
        const WString held = FirstHeldFile(package, years, appData);
        if (held.length == 0)
            return true;
        SetupLog::Failure(L"held by another program: " + held, GetLastError());
        if (!prompts.RetryLockedTarget())
            return false;
    }
}

[[nodiscard]] bool InstallForEveryYear(Mem& package, const Years& years, const WString& appData,
                                       InstallPrompts& prompts)
{
    Disk disk;
    for (int32_t year : years) {
        const WString addins = AddinsFolderOf(appData, year);
        if (!disk.FolderExists(addins))
            (void)disk.CreateFolder(addins);
        if (ExtractPackageForYear(package, year, addins, prompts) != YearResult::Installed)
            return false;
    }
    return true;
}

// A copy that cannot be made, or stops short (a full disk), fails the
// installation: an uninstall entry must never point at a missing or cut
// program. The copy is written whole under a temporary name and renamed
// over the old one, so the program an existing entry names stays whole
// whatever cuts the run. Returns the message for the user, empty when the
// copy is in place.
WString CopySetupProgram(const WString& setupFolder)
{
    Disk disk;
    if (!disk.CreateFolder(setupFolder))
        return L"Installation ERROR: the folder " + setupFolder + L" cannot be made.";
    RemoveTemporaryFiles(setupFolder);
    const WString target = setupFolder + L"tarmesh.exe";
    // Started from the copy itself: it is the program already.
    if (Disk::SamePath(Library::ModulePath(), target))
        return WString(L"");
    const WString temporary = target + TemporarySuffix;
    File program;
    File copy;
    if (!program.Open(Library::ModulePath(), false, false))
        return WString(L"Installation ERROR: the setup program cannot be read.");
    if (!copy.Open(temporary, true, true))
        return L"Installation ERROR: " + target + L" cannot be written.";
    const int32_t length = program.Size();
    const bool whole = program.CopyTo(copy) == length && copy.Commit();
    copy.Close();
    if (!whole || !MoveFileExW(temporary.buffer, target.buffer, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.buffer);
        return whole ? L"Installation ERROR: " + target + L" cannot be written."
                     : L"Installation ERROR: " + target + L" could not be written completely; is the disk full?";
    }
    return WString(L"");
}

// Windows starts the uninstaller with this command line; the quotes keep a
// profile path with blanks in one piece.
void WriteUninstallEntry(const WString& appData, const WString& setupFolder, const WString& programCopy)
{
    const WString key(UninstallKey);
    const WString version(SetupVersion());
    uint32_t major = 0;
    uint32_t minor = 0;
    SplitWindowsVersion(GetWindowsVersion(), major, minor);
    SetRegistryString(key, L"DisplayIcon", programCopy);
    SetRegistryString(key, L"DisplayName", WString(L"tarmesh"));
    SetRegistryString(key, L"DisplayVersion", version);
    SetRegistryNumber(key, L"NoModify", 1);
    SetRegistryNumber(key, L"NoRepair", 1);
    SetRegistryString(key, L"Publisher", WString(L"Ostrel SAS"));
    SetRegistryString(key, L"UninstallString", L"\"" + programCopy + L"\" /uninstall");
    // What deployment tools and package managers run to remove it unattended.
    SetRegistryString(key, L"QuietUninstallString", L"\"" + programCopy + L"\" /uninstall /quiet");
    SetRegistryString(key, L"Version", version);
    SetRegistryNumber(key, L"VersionMajor", major);
    SetRegistryNumber(key, L"VersionMinor", minor);
    // Size, date and location for the installed-programs list.
    SetRegistryString(key, L"InstallLocation", setupFolder);
    SetRegistryString(key, L"InstallDate", InstallDateToday());
    SetRegistryNumber(key, L"EstimatedSize", InstalledKilobytes(appData, programCopy));
}

// An uninstall before this installation left a command that would delete
// the setup folder at the next log-on.
void CancelLogOnCleanUp()
{
    RegistryKey runOnce;
    if (runOnce.Open(HKEY_CURRENT_USER, RunOnceKey, KEY_WRITE))
        RegDeleteValueW(runOnce.Handle(), RunOnceValue);
}

}  // namespace

WString AddinsFolderOf(const WString& appData, int32_t year)
{
    return appData + L"Autodesk\\Revit\\Addins\\" + WString(year) + L"\\";
}

WString SetupFolderOf(const WString& appData)
{
    return appData + L"Ostrel\\tarmesh\\";
}

InstallResult InstallAddin(InstallPrompts& prompts)
{
    SendMessageW(SetupWindows::textBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    AppendProgress(L"Installing...\r\n");
    Sleep(10);
    Disk disk;
    const WString appData = disk.AppDataPath();
    if (appData.length == 0) {
        // Relative paths would land wherever the program was started.
        prompts.ReportFailure(WString(L"Installation ERROR: the application data folder cannot be found."));
        return InstallResult::Failed;
    }
    const WString setupFolder = SetupFolderOf(appData);
    Mem package;
    if (!package.ViewBinaryResource(PackageResourceId)) {
        prompts.ReportCorrupted();
        return InstallResult::Failed;
    }
    // Nothing is emptied or written before the whole package has proved
    // sound.
    const PackageProof proof = ProvePackage(package);
    if (proof == PackageProof::Damaged)
        prompts.ReportCorrupted();
    if (proof != PackageProof::Sound)
        return InstallResult::Failed;
    const Years years = FoundYears();
    if (years.empty()) {
        prompts.ReportFailure(WString(
            L"tarmesh plugin requires a version of Revit for installation.\nPlease install Revit and try again."));
        return InstallResult::NoRevit;
    }
    SetupMutex oneSetup;
    if (!oneSetup.Acquire()) {
        prompts.ReportFailure(WString(L"Another tarmesh setup is running. Please let it finish, then try again."));
        return InstallResult::Busy;
    }
    if (!NoFileHeld(package, years, appData, prompts))
        return InstallResult::Busy;
    if (!InstallForEveryYear(package, years, appData, prompts))
        return InstallResult::Failed;
    AppendProgress(L"Please wait...\r\n");
    const WString copyFailure = CopySetupProgram(setupFolder);
    if (copyFailure.length > 0) {
        prompts.ReportFailure(copyFailure);
        return InstallResult::Failed;
    }
    SetupLog::Line(L"written " + setupFolder + L"tarmesh.exe");
    WriteUninstallEntry(appData, setupFolder, setupFolder + L"tarmesh.exe");
    CancelLogOnCleanUp();
    SendStatistic(L"install");
    AppendProgress(L"Installation successful.");
    return InstallResult::Installed;
}
