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
#include "app/SetupScope.h"
#include "app/SetupVersion.h"
#include "app/UninstallProcedure.h"
#include "host/RevitDiscovery.h"
#include "host/UserAccount.h"
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

// What an installation changes besides the years it installs into: the
// per-user copies of the add-in that must go because the computer's
// add-in serves those years.
struct Plan
{
    Years years;
    // Per user: the years that have the add-in for all users already.
    Years servedForAllUsers;
    // Addins folders whose per-user add-in goes: the user's own of the
    // years served for all users; for all users, every local profile's of
    // the years installed.
    struct Copy
    {
        int32_t year;
        WString addinsFolder;
    };
    std::vector<Copy> copiesToRemove;
};

bool HasAddin(const WString& addinsFolder)
{
    return GetFileAttributesW((addinsFolder + L"tarmesh.addin").buffer) != INVALID_FILE_ATTRIBUTES;
}

// Every local profile's roaming folder (the profile list's, each at
// AppData\Roaming) and the running account's own, once each.
std::vector<WString> RoamingFolders()
{
    std::vector<WString> folders;
    Disk disk;
    const WString own = disk.AppDataPath();
    if (own.length > 0)
        folders.push_back(own);
    for (const WString& profile : LocalProfileFolders()) {
        const WString roaming = profile + L"AppData\\Roaming\\";
        bool known = false;
        for (const WString& folder : folders)
            known = known || Disk::SamePath(folder, roaming);
        if (!known)
            folders.push_back(roaming);
    }
    return folders;
}

Plan MakePlan(const SetupScope& scope)
{
    Plan plan;
    const RegistryHive revit = scope.RevitHive();
    const SetupScope allUsers = scope.IsAllUsers() ? scope : SetupScope::ForAllUsers();
    for (int32_t year = FirstInstallationYear; year <= LastInstallationYear; ++year) {
        if (!IsRevitInstalled(year, revit.root, revit.view))
            continue;
        SetupLog::Line(L"Revit " + WString(year) + L" found");
        if (!scope.IsAllUsers() && allUsers.IsKnown() && HasAddin(allUsers.AddinsFolder(year))) {
            plan.servedForAllUsers.push_back(year);
            plan.copiesToRemove.push_back({year, scope.AddinsFolder(year)});
        } else {
            plan.years.push_back(year);
        }
    }
    if (scope.IsAllUsers()) {
        for (const WString& roaming : RoamingFolders()) {
            for (int32_t year : plan.years)
                plan.copiesToRemove.push_back({year, roaming + L"Autodesk\\Revit\\Addins\\" + WString(year) + L"\\"});
        }
    }
    return plan;
}

Disk::Obstacle FirstObstacle(Mem& package, const Plan& plan, const SetupScope& scope)
{
    for (int32_t year : plan.years) {
        Disk::Obstacle obstacle = FindObstacle(package, year, scope.AddinsFolder(year));
        if (obstacle.Blocks())
            return obstacle;
    }
    for (const Plan::Copy& copy : plan.copiesToRemove) {
        Disk::Obstacle obstacle = FindAddinObstacle(copy.addinsFolder);
        if (obstacle.Blocks())
            return obstacle;
    }
    return Disk::Obstacle();
}

// Looked for before anything changes, so that the user can close Revit
// while every year still holds what it held, or give up with nothing lost.
// A file that may not be written at all is no reason to wait for Revit: it
// fails the installation at once, named.
[[nodiscard]] InstallResult CheckBeforeTouching(Mem& package, const Plan& plan, const SetupScope& scope,
                                                InstallPrompts& prompts)
{
    for (;;) {
        const Disk::Obstacle obstacle = FirstObstacle(package, plan, scope);
        if (!obstacle.Blocks())
            return InstallResult::Installed;
        if (obstacle.kind == Disk::Obstacle::Kind::Refused) {
            prompts.ReportCannotWrite(obstacle.path, obstacle.windowsError);
            return InstallResult::Failed;
        }
        SetupLog::Failure(L"held by another program: " + obstacle.path, obstacle.windowsError);
        if (!prompts.RetryLockedTarget())
            return InstallResult::Busy;
    }
}

// Passes everything on, and remembers whether the user gave up on a file
// that another program held.
class HeldWatch : public InstallPrompts
{
public:
    explicit HeldWatch(InstallPrompts& inner) : inner(inner) {}

    bool RetryLockedTarget() override
    {
        const bool again = inner.RetryLockedTarget();
        gaveUp = gaveUp || !again;
        return again;
    }
    void ReportCorrupted() override { inner.ReportCorrupted(); }
    void ReportWriteFailed(const WString& target) override { inner.ReportWriteFailed(target); }
    void ReportCannotWrite(const WString& target, uint32_t windowsError) override
    {
        inner.ReportCannotWrite(target, windowsError);
    }
    void ReportFailure(const WString& text) override { inner.ReportFailure(text); }
    void ReportProgress(const wchar_t* line) override { inner.ReportProgress(line); }

    bool gaveUp = false;

private:
    InstallPrompts& inner;
};

// A line for whoever reads the outcome: the window's text box, or the log
// of an unattended run.
void Tell(const WString& line)
{
    AppendProgress((line + L"\r\n").buffer);
    SetupLog::Line(line);
}

// After a file that Revit took hold of part way stopped the installation:
// which years have the new add-in and which have none, or still the old
// one, so that nobody has to guess which Revit lost it.
void TellEachYear(const Years& years, size_t installed, const SetupScope& scope)
{
    for (size_t i = 0; i < years.size(); ++i) {
        const bool earlier = i >= installed && HasAddin(scope.AddinsFolder(years[i]));
        Tell(L"Revit " + WString(years[i]) + L": " +
             (i < installed ? WString(L"installed")
                            : earlier ? WString(L"not updated, close Revit and run the setup again")
                                      : WString(L"not installed, close Revit and run the setup again")));
    }
}

// The per-user copies of the year that the computer's add-in replaces:
// Revit would meet the add-in twice, or an old copy would shadow the new
// one.
[[nodiscard]] bool RemoveCopies(const Plan& plan, int32_t year)
{
    Disk disk;
    for (const Plan::Copy& copy : plan.copiesToRemove) {
        if (copy.year == year && !RemoveAddin(disk, copy.addinsFolder))
            return false;
    }
    return true;
}

[[nodiscard]] InstallResult InstallForEveryYear(Mem& package, const Plan& plan, const SetupScope& scope,
                                                InstallPrompts& prompts)
{
    Disk disk;
    HeldWatch watched(prompts);
    for (size_t i = 0; i < plan.years.size(); ++i) {
        const WString addins = scope.AddinsFolder(plan.years[i]);
        if (!disk.FolderExists(addins))
            (void)disk.CreateFolder(addins);
        const YearResult result = ExtractPackageForYear(package, plan.years[i], addins, watched);
        if (result == YearResult::Installed) {
            if (!RemoveCopies(plan, plan.years[i]))
                return InstallResult::Failed;
            continue;
        }
        if (!watched.gaveUp)
            return InstallResult::Failed;
        TellEachYear(plan.years, i, scope);
        return InstallResult::HeldPartway;
    }
    return InstallResult::Installed;
}

// Per user, the years whose add-in the computer provides: the user's own
// copy goes, and the line says where the add-in is.
[[nodiscard]] bool LeaveYearsToAllUsers(const Plan& plan)
{
    for (int32_t year : plan.servedForAllUsers) {
        if (!RemoveCopies(plan, year))
            return false;
        Tell(L"Revit " + WString(year) + L": installed for all users of this computer");
    }
    return true;
}

// Windows lets the file of a running program be renamed, but neither
// replaced nor deleted. A copy that runs (an uninstaller whose message box
// was left open, the program started from the setup folder) is renamed
// aside, and goes with the other leftovers at the next run.
[[nodiscard]] bool PutInPlace(const WString& temporary, const WString& target)
{
    const DWORD replace = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    Disk::MakeWritable(target);
    if (MoveFileExW(temporary.buffer, target.buffer, replace))
        return true;
    const DWORD error = GetLastError();
    const WString aside = AsideName(target);
    if (aside.length == 0 || !MoveFileExW(target.buffer, aside.buffer, MOVEFILE_WRITE_THROUGH)) {
        SetLastError(error);
        return false;
    }
    if (MoveFileExW(temporary.buffer, target.buffer, replace))
        return true;
    const DWORD second = GetLastError();
    MoveFileExW(aside.buffer, target.buffer, MOVEFILE_WRITE_THROUGH);
    SetLastError(second);
    return false;
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
        return CannotWriteText(target, GetLastError());
    const int32_t length = program.Size();
    const bool whole = program.CopyTo(copy) == length && copy.Commit();
    copy.Close();
    if (!whole) {
        DeleteFileW(temporary.buffer);
        return L"Installation ERROR: " + target + L" could not be written completely; is the disk full?";
    }
    if (!PutInPlace(temporary, target)) {
        const DWORD error = GetLastError();
        DeleteFileW(temporary.buffer);
        return CannotWriteText(target, error);
    }
    return WString(L"");
}

// Windows starts the uninstaller with this command line; the quotes keep a
// profile path with blanks in one piece. Every value is attempted; false
// (and the first failure's Windows error) when any is missing.
[[nodiscard]] bool WriteEntryValues(const SetupScope& scope, const Years& years, const WString& programCopy)
{
    const RegistryHive hive = scope.EntryHive();
    const WString key(UninstallKey);
    const WString version(SetupVersion());
    const WString uninstall = L"\"" + programCopy + L"\" /uninstall" + (scope.IsAllUsers() ? L" /allusers" : L"");
    uint32_t major = 0;
    uint32_t minor = 0;
    SplitWindowsVersion(GetWindowsVersion(), major, minor);
    RegistryWrites writes;
    writes.Note(SetRegistryString(hive, key, L"DisplayIcon", programCopy));
    writes.Note(SetRegistryString(hive, key, L"DisplayName", WString(L"tarmesh")));
    writes.Note(SetRegistryString(hive, key, L"DisplayVersion", version));
    writes.Note(SetRegistryNumber(hive, key, L"NoModify", 1));
    writes.Note(SetRegistryNumber(hive, key, L"NoRepair", 1));
    writes.Note(SetRegistryString(hive, key, L"Publisher", WString(L"Ostrel SAS")));
    writes.Note(SetRegistryString(hive, key, L"UninstallString", uninstall));
    // What deployment tools and package managers run to remove it unattended.
    writes.Note(SetRegistryString(hive, key, L"QuietUninstallString", uninstall + L" /quiet"));
    writes.Note(SetRegistryString(hive, key, L"Version", version));
    writes.Note(SetRegistryNumber(hive, key, L"VersionMajor", major));
    writes.Note(SetRegistryNumber(hive, key, L"VersionMinor", minor));
    // Size, date and location for the installed-programs list.
    writes.Note(SetRegistryString(hive, key, L"InstallLocation", scope.SetupFolder()));
    writes.Note(SetRegistryString(hive, key, L"InstallDate", InstallDateToday()));
    writes.Note(SetRegistryNumber(hive, key, L"EstimatedSize", InstalledKilobytes(scope, years, programCopy)));
    return writes.AllWritten();
}

// An entry without its UninstallString, or with an old one, would offer a
// removal that does not work: a partial entry goes whole. The add-in's
// files stay; running the setup again writes the entry.
[[nodiscard]] WString WriteUninstallEntry(const SetupScope& scope, const Years& years, const WString& programCopy)
{
    if (WriteEntryValues(scope, years, programCopy))
        return WString(L"");
    const DWORD error = GetLastError();
    (void)DeleteUninstallEntry(scope);
    return L"Installation ERROR: the entry in the installed-programs list cannot be written (Windows error " +
           WString(static_cast<int32_t>(error)) + L").";
}

// An uninstall before this installation left a command that would delete
// the setup folder, with the copy just made, at the next log-on: one that
// stays fails the installation. The message for the user, empty when no
// command is left. (The computer's setup folder leaves no such command.)
[[nodiscard]] WString CancelLogOnCleanUp(const SetupScope& scope)
{
    if (!scope.RemovesSetupFolderAtLogOn())
        return WString(L"");
    RegistryKey runOnce;
    LSTATUS status = ERROR_SUCCESS;
    if (runOnce.Open(HKEY_CURRENT_USER, RunOnceKey, KEY_SET_VALUE))
        status = RegDeleteValueW(runOnce.Handle(), RunOnceValue);
    else
        status = static_cast<LSTATUS>(GetLastError());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND)
        return WString(L"");
    return L"Installation ERROR: the pending removal of the setup folder cannot be cancelled (Windows error " +
           WString(static_cast<int32_t>(status)) + L").";
}

// The setup copy, the clean-up and the entry, once every year is done.
[[nodiscard]] WString Register(const SetupScope& scope, const Years& years)
{
    const WString setupFolder = scope.SetupFolder();
    WString failure = CopySetupProgram(setupFolder);
    if (failure.length == 0) {
        SetupLog::Line(L"written " + setupFolder + L"tarmesh.exe");
        failure = CancelLogOnCleanUp(scope);
    }
    if (failure.length == 0)
        failure = WriteUninstallEntry(scope, years, setupFolder + L"tarmesh.exe");
    return failure;
}

// Everything that changes the files and the registry, while no other
// setup may: the check, every year, the copy, the clean-up and the entry.
[[nodiscard]] InstallResult ChangeInstallation(Mem& package, const Plan& plan, const SetupScope& scope,
                                               InstallPrompts& prompts)
{
    SetupMutex oneSetup;
    if (!oneSetup.Acquire(scope.MutexName(), scope.MutexOwner())) {
        prompts.ReportFailure(WString(L"Another tarmesh setup is running. Please let it finish, then try again."));
        return InstallResult::Busy;
    }
    InstallResult result = CheckBeforeTouching(package, plan, scope, prompts);
    if (result == InstallResult::Installed && !LeaveYearsToAllUsers(plan)) {
        prompts.ReportFailure(WString(L"Installation ERROR: your own copy of the add-in cannot be removed."));
        return InstallResult::Failed;
    }
    if (result == InstallResult::Installed && plan.years.empty())
        return InstallResult::InstalledForAllUsers;
    if (result == InstallResult::Installed)
        result = InstallForEveryYear(package, plan, scope, prompts);
    if (result != InstallResult::Installed)
        return result;
    AppendProgress(L"Please wait...\r\n");
    const WString failure = Register(scope, plan.years);
    if (failure.length == 0)
        return InstallResult::Installed;
    prompts.ReportFailure(failure);
    return InstallResult::Failed;
}

}  // namespace

WString CannotWriteText(const WString& target, uint32_t windowsError)
{
    return L"Installation ERROR: " + target + L" cannot be written (Windows error " +
           WString(static_cast<int32_t>(windowsError)) + L").";
}

bool DeleteUninstallEntry(const SetupScope& scope)
{
    const RegistryHive hive = scope.EntryHive();
    const LSTATUS status = RegDeleteKeyExW(hive.root, UninstallKey, hive.view, 0);
    SetLastError(static_cast<DWORD>(status));
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

InstallResult InstallAddin(InstallPrompts& prompts, const SetupScope& scope)
{
    SendMessageW(SetupWindows::textBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    AppendProgress(L"Installing...\r\n");
    Sleep(10);
    if (!scope.IsKnown()) {
        // Relative paths would land wherever the program was started.
        prompts.ReportFailure(WString(L"Installation ERROR: the application data folder cannot be found."));
        return InstallResult::Failed;
    }
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
    const Plan plan = MakePlan(scope);
    if (plan.years.empty() && plan.servedForAllUsers.empty()) {
        prompts.ReportFailure(WString(
            L"tarmesh plugin requires a version of Revit for installation.\nPlease install Revit and try again."));
        return InstallResult::NoRevit;
    }
    const InstallResult result = ChangeInstallation(package, plan, scope, prompts);
    if (result != InstallResult::Installed)
        return result;
    // Another setup may start now: the report changes nothing.
    SendStatistic(L"install");
    AppendProgress(L"Installation successful.");
    return InstallResult::Installed;
}
