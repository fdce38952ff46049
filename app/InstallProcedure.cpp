#include "InstallProcedure.h"

#include <cstdio>
#include <cwchar>

#include <windows.h>

#include "app/InstalledProgram.h"
#include "app/Progress.h"
#include "app/Registry.h"
#include "app/SetupPrompts.h"
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

void ShowError(const wchar_t* text)
{
    MessageBoxW(SetupWindows::window, text, L"Error", MB_ICONERROR);
}

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

// Installs the package for every year whose Revit the user has. -1 stops
// the installation (the user has been told, or the package is empty).
int32_t InstallForEveryYear(Mem& package, const WString& appData, int32_t& found)
{
    SetupPrompts prompts;
    Disk disk;
    for (int32_t year = FirstInstallationYear; year <= LastInstallationYear; ++year) {
        if (!IsRevitInstalled(year))
            continue;
        ++found;
        const WString addins = AddinsFolderOf(appData, year);
        if (!disk.FolderExists(addins))
            (void)disk.CreateFolder(addins);
        // Files an earlier version left behind go; locked ones stay.
        disk.DeleteFolder(addins + L"tarmesh\\", true, true);
        if (ExtractPackageForYear(package, year, addins, prompts) != YearResult::Installed)
            return -1;
    }
    return 0;
}

// A copy that cannot be made, or stops short (a full disk), fails the
// installation: an uninstall entry must never point at a missing or cut
// program. Returns the message for the user, empty when the copy is whole.
WString CopySetupProgram(const WString& setupFolder)
{
    Disk disk;
    if (!disk.CreateFolder(setupFolder))
        return L"Installation ERROR: the folder " + setupFolder + L" cannot be made.";
    const WString target = setupFolder + L"tarmesh.exe";
    File program;
    File copy;
    if (!program.Open(Library::ModulePath(), false, false))
        return WString(L"Installation ERROR: the setup program cannot be read.");
    if (!copy.Open(target, true, true))
        return L"Installation ERROR: " + target + L" cannot be written.";
    const int32_t length = program.Size();
    const bool whole = program.CopyTo(copy) == length && std::fflush(copy.stream) == 0 && std::ferror(copy.stream) == 0;
    if (!whole)
        return L"Installation ERROR: " + target + L" could not be written completely; is the disk full?";
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

int32_t InstallAddin()
{
    SendMessageW(SetupWindows::textBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    AppendProgress(L"Installing...\r\n");
    Sleep(10);
    Disk disk;
    const WString appData = disk.AppDataPath();
    if (appData.length == 0) {
        // Relative paths would land wherever the program was started.
        ShowError(L"Installation ERROR: the application data folder cannot be found.");
        return -1;
    }
    const WString setupFolder = SetupFolderOf(appData);
    Mem package;
    if (!package.ViewBinaryResource(PackageResourceId)) {
        ShowError(L"Installation ERROR: archive data corrupted.");
        return -1;
    }
    // Nothing is emptied or written before the whole package has proved
    // sound.
    const PackageProof proof = ProvePackage(package);
    if (proof == PackageProof::Damaged)
        ShowError(L"Installation ERROR: archive data corrupted.");
    if (proof != PackageProof::Sound)
        return -1;
    int32_t found = 0;
    if (InstallForEveryYear(package, appData, found) != 0)
        return -1;
    if (found == 0) {
        ShowError(L"tarmesh plugin requires a version of Revit for installation.\nPlease install Revit and try again.");
        return -1;
    }
    AppendProgress(L"Please wait...\r\n");
    const WString copyFailure = CopySetupProgram(setupFolder);
    if (copyFailure.length > 0) {
        ShowError(copyFailure.buffer);
        return -1;
    }
    WriteUninstallEntry(appData, setupFolder, setupFolder + L"tarmesh.exe");
    CancelLogOnCleanUp();
    SendStatistic(L"install");
    AppendProgress(L"Installation successful.");
    return 0;
}
