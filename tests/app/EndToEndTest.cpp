// The window is measured with functions of Windows 10.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <functional>
#include <future>
#include <map>
#include <string>
#include <vector>

#include <windows.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>

#include "BuildPaths.h"
#include "SetupDriver.h"
#include "library/Disk.h"
#include "library/GdiObject.h"
#include "library/Mem.h"
#include "library/MemoryContext.h"
#include "package/PackageFormat.h"
#include "support/ChildProcess.h"
#include "support/MessageBoxes.h"
#include "support/RealFiles.h"
#include "support/RegistryRestore.h"

namespace {

// TARMESH_SETUP_PROGRAM names another file of the program to drive, such
// as a signed copy of it.
std::wstring ProgramUnderTest()
{
    const wchar_t* other = _wgetenv(L"TARMESH_SETUP_PROGRAM");
    return other != nullptr && *other != 0 ? std::wstring(other) : SiblingPath(L"tarmesh-setup.exe");
}

const std::wstring SetupProgram = ProgramUnderTest();
// Built for Revit 2014-2027, with a payload whose year folder is 2025.
const std::wstring SetupProgramForOtherYears = SiblingPath(L"tarmesh-setup-2014-2027.exe");
const wchar_t UninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tarmesh";
const wchar_t RunOnceKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const wchar_t ShellFoldersKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr int Install = 100;
constexpr int Quit = 101;
constexpr int Accept = 102;

using Files = std::map<std::wstring, std::string>;

// Gives the program time to finish what follows a closed message box.
bool Eventually(const std::function<bool()>& condition)
{
    for (int tries = 0; tries < 100; ++tries) {
        if (condition())
            return true;
        Sleep(50);
    }
    return false;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void DeleteTree(const std::wstring& folder)
{
    Disk disk;
    if (disk.FolderExists(folder.c_str()))
        disk.DeleteFolder(folder.c_str(), true, false);
}

// Every file below `folder`, by path relative to it.
void Collect(const std::wstring& folder, const std::wstring& relative, Files& files)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + relative + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Collect(folder, relative + name + L"\\", files);
        else
            files[relative + name] = ReadWhole(folder + relative + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

Files FilesBelow(const std::wstring& folder)
{
    Files files;
    Collect(folder, L"", files);
    return files;
}

// What a year's Addins folder must hold: the common files, with the year's
// own files over them.
Files ExpectedFor(int year, const std::wstring& payload = TARMESH_PAYLOAD_FOLDER)
{
    Files files = FilesBelow(payload + L"0000\\");
    for (const auto& [path, content] : FilesBelow(payload + std::to_wstring(year) + L"\\"))
        files[path] = content;
    return files;
}

size_t BytesOf(const Files& files)
{
    size_t bytes = 0;
    for (const auto& [path, content] : files)
        bytes += content.size();
    return bytes;
}

std::wstring LocalDate()
{
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    wchar_t text[16] = {};
    swprintf(text, 16, L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    return text;
}

// The progress lines of one year: the add-in's files in the order of the
// built package, then the manifest (the year's own, else the common one).
std::wstring ProgressFor(int year, const wchar_t* packagePath = TARMESH_PACKAGE_FILE_PATH)
{
    Mem package;
    EXPECT_TRUE(package.LoadFile(packagePath));
    std::wstring files;
    std::wstring manifest;
    const int32_t count = ReadEntryCount(package);
    for (int32_t i = 0; i < count; ++i) {
        WString name;
        EXPECT_TRUE(ReadEntryName(package, name));
        EXPECT_TRUE(SkipMember(package));
        const int32_t version = EntryVersion(name);
        const std::wstring target = EntryTarget(name).buffer;
        const std::wstring line = std::to_wstring(year) + L"\\" + target + L"...\r\n";
        if (version != 0 && version != year)
            continue;
        if (target.find(L'\\') == std::wstring::npos)
            manifest = line;
        else
            files += line;
    }
    return files + manifest;
}

// Holds a library of the add-in the way a running Revit does, from another
// process, until destroyed.
class RevitHolding
{
public:
    explicit RevitHolding(const std::wstring& library)
    {
        if (!CopyFileW(SiblingPath(L"revit-stand-in.exe").c_str(), library.c_str(), FALSE)) {
            why = "the library could not be made: error " + std::to_string(GetLastError());
            return;
        }
        std::wstring line = L"\"" + SiblingPath(L"revit-stand-in.exe") + L"\" \"" + library + L"\"";
        // No handle of the test's own, so a run that ends the test early
        // does not keep ctest waiting on its output.
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            why = "the stand-in did not start: error " + std::to_string(GetLastError());
            return;
        }
        // A process starts in seconds under the emulated 32-bit Wine on a
        // busy machine; one that ended will never hold the library.
        for (int tries = 0; tries < 1200 && !held && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
             ++tries) {
            HANDLE file = CreateFileW(library.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
            held = file == INVALID_HANDLE_VALUE;
            if (!held) {
                CloseHandle(file);
                Sleep(50);
            }
        }
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        if (!held)
            why = "the stand-in did not hold the library: exit code " + std::to_string(code);
    }
    RevitHolding(const RevitHolding&) = delete;
    RevitHolding& operator=(const RevitHolding&) = delete;
    virtual ~RevitHolding() { Release(); }

    // Revit closes.
    void Release()
    {
        if (process.hProcess == nullptr)
            return;
        TerminateProcess(process.hProcess, 0);
        WaitForSingleObject(process.hProcess, 30000);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        process = {};
    }

    bool held = false;
    std::string why;

private:
    PROCESS_INFORMATION process = {};
};

// `view` is KEY_WOW64_32KEY or KEY_WOW64_64KEY for a key of that registry
// view.
std::wstring RegistryText(HKEY root, const wchar_t* key, const wchar_t* name, DWORD* type = nullptr, REGSAM view = 0)
{
    wchar_t data[2048] = {};
    DWORD bytes = sizeof data - sizeof(wchar_t);
    DWORD kind = 0;
    HKEY opened;
    if (RegOpenKeyExW(root, key, 0, KEY_READ | view, &opened) != ERROR_SUCCESS)
        return L"<missing>";
    const LSTATUS status = RegGetValueW(opened, nullptr, name, RRF_RT_ANY | RRF_NOEXPAND, &kind, data, &bytes);
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS)
        return L"<missing>";
    if (type != nullptr)
        *type = kind;
    if (kind == REG_DWORD) {
        DWORD number = 0;
        std::memcpy(&number, data, sizeof number);
        return L"#" + std::to_wstring(number);
    }
    return data;
}

bool KeyExists(const wchar_t* key)
{
    HKEY opened;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

void SetText(const wchar_t* key, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ)
{
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, name, type, text.c_str(),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

void AddRevitKey(const std::wstring& name)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// Whether the file can be opened for writing now, and why not.
DWORD WriteOpenError(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    CloseHandle(file);
    return ERROR_SUCCESS;
}

// Sets or clears the file's immutable flag on the Linux side, where even
// root may then not write it: Windows' "access denied" for a file that no
// program holds. Wine starts the Linux program without waiting for it, so
// the flag is awaited by its effect.
bool SetImmutable(const std::wstring& path, bool immutable)
{
    using UnixName = char*(CDECL*)(const wchar_t*);
    const auto unixName =
        reinterpret_cast<UnixName>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"),
                                                                          "wine_get_unix_file_name")));
    char* name = unixName != nullptr ? unixName(path.c_str()) : nullptr;
    if (name == nullptr)
        return false;
    const std::wstring line = L"\"" + SiblingPath(L"set-immutable") + (immutable ? L"\" +i \"" : L"\" -i \"") +
                              std::wstring(name, name + std::strlen(name)) + L"\"";
    HeapFree(GetProcessHeap(), 0, name);
    RunChild(L"", line);
    return Eventually([&] { return (WriteOpenError(path) == ERROR_ACCESS_DENIED) == immutable; });
}

// The name of the setup mutex of the user running the tests.
std::wstring SetupMutexName()
{
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
    DWORD length = 0;
    GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &length);
    CloseHandle(token);
    wchar_t* sid = nullptr;
    ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid);
    const std::wstring name = L"Global\\tarmesh-setup-" + std::wstring(sid != nullptr ? sid : L"");
    LocalFree(sid);
    return name;
}

// Names of system libraries that are no KnownDLLs, which Windows would look
// for beside the program first: WinHTTP and WinMM, which the program uses,
// and what its window loads through user32 and comctl32. (Wine itself loads
// version.dll before any code of the program runs, so that name is not
// among them.)
const wchar_t* const PlantedNames[] = {L"winmm", L"winhttp", L"uxtheme", L"dwmapi", L"cryptbase"};

bool PlantLibraries(const std::wstring& folder)
{
    const std::wstring planted = SiblingPath(L"planted-library.dll");
    for (const wchar_t* name : PlantedNames) {
        if (!CopyFileW(planted.c_str(), (folder + name + L".dll").c_str(), FALSE))
            return false;
    }
    return true;
}

// The planted libraries of `folder` that ran, by name.
std::wstring PlantedThatRan(const std::wstring& folder)
{
    std::wstring ran;
    for (const wchar_t* name : PlantedNames) {
        if (GetFileAttributesW((folder + name + L".dll.ran").c_str()) != INVALID_FILE_ATTRIBUTES)
            ran += std::wstring(name) + L" ";
    }
    return ran;
}

// The user's profile as the installer finds it, cleaned before and after
// each test; Revit keys are added by the tests.
class Installer : public testing::Test
{
protected:
    void SetUp() override
    {
        Clean();
        appData = AppData();
        ASSERT_FALSE(appData.empty());
    }
    void TearDown() override { Clean(); }

    static std::wstring AppData()
    {
        wchar_t path[MAX_PATH] = {};
        if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK)
            return std::wstring();
        return std::wstring(path) + L"\\";
    }

    void Clean()
    {
        const std::wstring folder = AppData();
        if (!folder.empty()) {
            DeleteTree(folder + L"Autodesk\\");
            DeleteTree(folder + L"Ostrel\\");
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Autodesk");
        RegDeleteKeyW(HKEY_CURRENT_USER, UninstallKey);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, RunOnceKey, L"tarmesh");
    }

    std::wstring Addins(int year) const
    {
        return appData + L"Autodesk\\Revit\\Addins\\" + std::to_wstring(year) + L"\\";
    }
    std::wstring SetupFolder() const { return appData + L"Ostrel\\tarmesh\\"; }

    // Every file of the add-in's years and of the setup folder. (Not all of
    // the roaming folder: Wine links a folder in it to the whole home.)
    Files Installation() const
    {
        Files files = FilesBelow(appData + L"Autodesk\\");
        for (const auto& [path, content] : FilesBelow(SetupFolder()))
            files[L"setup\\" + path] = content;
        return files;
    }

    // Ticks the box, presses Install and answers the box that ends it.
    ShownBox PressInstall(SetupDriver& setup, const wchar_t* caption, int answer = IDOK,
                          const std::function<void()>& beforeAnswer = {})
    {
        if (!setup.IsTicked())
            setup.Click(Accept);
        auto box = std::async(std::launch::async,
                              [&] { return AnswerMessageBox(caption, answer, 60000, beforeAnswer); });
        Sleep(100);
        setup.Click(Install);
        return box.get();
    }

    void ExpectInstalledFor(int year, const std::wstring& payload = TARMESH_PAYLOAD_FOLDER)
    {
        Files installed = FilesBelow(Addins(year));
        installed.erase(L"other.addin");
        EXPECT_EQ(installed, ExpectedFor(year, payload)) << year;
    }

    // Runs the uninstaller exactly as Windows would, from the entry.
    ChildResult UninstallThroughEntry()
    {
        const std::wstring command = RegistryText(HKEY_CURRENT_USER, UninstallKey, L"UninstallString");
        return RunChild(L"", command);
    }

    std::wstring appData;
};

}  // namespace

TEST_F(Installer, InstallsIntoEveryRevitFoundAndUninstallsThroughItsEntry)
{
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\Autodesk Revit 2016");
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2017");
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\Autodesk Revit 2018");
    SetText(RunOnceKey, L"tarmesh", L"cmd.exe /c RD /S /Q \"left by an uninstall\"");
    ASSERT_TRUE(CreateDirectoryW((appData + L"Autodesk").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((appData + L"Autodesk\\Revit").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((appData + L"Autodesk\\Revit\\Addins").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Addins(2017).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((Addins(2017) + L"tarmesh").c_str(), nullptr));
    ASSERT_TRUE(WriteWhole(Addins(2017) + L"other.addin", "another add-in"));
    ASSERT_TRUE(WriteWhole(Addins(2017) + L"tarmesh\\stale.dll", "from an earlier version"));

    SetupDriver setup;
    ASSERT_TRUE(setup.Start(SetupProgram));
    EXPECT_FALSE(setup.IsEnabled(Install));
    std::wstring progress;
    const std::wstring dayBefore = LocalDate();
    const ShownBox done = PressInstall(setup, L"Installation complete", IDOK, [&] { progress = setup.Text(); });
    const std::wstring dayAfter = LocalDate();
    ASSERT_TRUE(done.found);
    EXPECT_EQ(done.text, L"Installation successful.");
    EXPECT_EQ(done.owner, setup.window);
    EXPECT_EQ(progress, L"Installing...\r\n" + ProgressFor(2016) + ProgressFor(2017) +
                            L"Please wait...\r\nInstallation successful.");
    EXPECT_FALSE(setup.IsEnabled(Install));
    EXPECT_FALSE(setup.IsEnabled(Accept));

    ExpectInstalledFor(2016);
    ExpectInstalledFor(2017);
    EXPECT_EQ(ReadWhole(Addins(2017) + L"other.addin"), "another add-in");
    EXPECT_FALSE(Exists(Addins(2014)));
    EXPECT_FALSE(Exists(Addins(2015)));
    EXPECT_FALSE(Exists(Addins(2018)));
    const std::wstring copy = SetupFolder() + L"tarmesh.exe";
    EXPECT_EQ(ReadWhole(copy), ReadWhole(SetupProgram));
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, RunOnceKey, L"tarmesh"), L"<missing>");

    const std::pair<const wchar_t*, std::wstring> values[] = {
        {L"DisplayIcon", copy},
        {L"DisplayName", L"tarmesh"},
        {L"DisplayVersion", L"1.0.0"},
        {L"NoModify", L"#1"},
        {L"NoRepair", L"#1"},
        {L"Publisher", L"Ostrel SAS"},
        {L"UninstallString", L"\"" + copy + L"\" /uninstall"},
        {L"QuietUninstallString", L"\"" + copy + L"\" /uninstall /quiet"},
        {L"Version", L"1.0.0"},
        {L"InstallLocation", SetupFolder()},
        // The larger of the two years' add-in files, and the copy.
        {L"EstimatedSize", L"#" + std::to_wstring((std::max(BytesOf(ExpectedFor(2016)), BytesOf(ExpectedFor(2017))) +
                                                   ReadWhole(copy).size() + 1023) / 1024)},
    };
    for (const auto& [name, expected] : values) {
        DWORD type = 0;
        EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, UninstallKey, name, &type), expected) << Utf8(name);
        EXPECT_EQ(type, DWORD(expected[0] == L'#' ? REG_DWORD : REG_SZ)) << Utf8(name);
    }
    DWORD dateType = 0;
    const std::wstring installDate = RegistryText(HKEY_CURRENT_USER, UninstallKey, L"InstallDate", &dateType);
    EXPECT_TRUE(installDate == dayBefore || installDate == dayAfter) << Utf8(installDate);
    EXPECT_EQ(dateType, DWORD(REG_SZ));
    // Windows 10 and later keep the version as numbers (Wine 10's prefix);
    // older ones only as a text such as 6.1 (Wine 8's).
    const wchar_t* const versionKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    std::wstring major = RegistryText(HKEY_LOCAL_MACHINE, versionKey, L"CurrentMajorVersionNumber");
    std::wstring minor = RegistryText(HKEY_LOCAL_MACHINE, versionKey, L"CurrentMinorVersionNumber");
    if (major == L"<missing>") {
        const std::wstring windows = RegistryText(HKEY_LOCAL_MACHINE, versionKey, L"CurrentVersion");
        ASSERT_NE(windows.find(L'.'), std::wstring::npos);
        major = L"#" + std::to_wstring(_wtoi(windows.c_str()));
        minor = L"#" + std::to_wstring(_wtoi(windows.c_str() + windows.rfind(L'.') + 1));
    }
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, UninstallKey, L"VersionMajor"), major);
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, UninstallKey, L"VersionMinor"), minor);

    setup.Click(Quit);
    EXPECT_EQ(setup.WaitForExit(), 0);

    const ChildResult uninstall = UninstallThroughEntry();
    EXPECT_TRUE(uninstall.finished);
    EXPECT_EQ(uninstall.exitCode, 0u);
    for (int year : {2016, 2017}) {
        EXPECT_TRUE(Exists(Addins(year))) << year;
        EXPECT_FALSE(Exists(Addins(year) + L"tarmesh.addin")) << year;
        EXPECT_FALSE(Exists(Addins(year) + L"tarmesh")) << year;
    }
    EXPECT_EQ(ReadWhole(Addins(2017) + L"other.addin"), "another add-in");
    EXPECT_FALSE(KeyExists(UninstallKey));
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, RunOnceKey, L"tarmesh"),
              L"cmd.exe /c RD /S /Q \"" + appData + L"Ostrel\\tarmesh\"");
    EXPECT_TRUE(Exists(copy)) << "the setup folder goes at the next log-on, not before";
}

// The installation years are the build's: a program built for 2014-2027
// serves Revit 2025 with the payload's 2025 folder, removes it again, and
// leaves a Revit past its last year alone.
TEST_F(Installer, ABuildForOtherYearsInstallsAndUninstallsThoseYears)
{
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\Autodesk Revit 2025");
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2028");
    SetupDriver setup;
    ASSERT_TRUE(setup.Start(SetupProgramForOtherYears));
    std::wstring progress;
    const ShownBox done = PressInstall(setup, L"Installation complete", IDOK, [&] { progress = setup.Text(); });
    ASSERT_TRUE(done.found);
    EXPECT_EQ(progress, L"Installing...\r\n" + ProgressFor(2025, TARMESH_OTHER_YEARS_PACKAGE_PATH) +
                            L"Please wait...\r\nInstallation successful.");
    ExpectInstalledFor(2025, TARMESH_OTHER_YEARS_PAYLOAD_FOLDER);
    EXPECT_NE(ExpectedFor(2025, TARMESH_OTHER_YEARS_PAYLOAD_FOLDER),
              FilesBelow(std::wstring(TARMESH_OTHER_YEARS_PAYLOAD_FOLDER) + L"0000\\"))
        << "the year's own files must differ from the common ones";
    EXPECT_FALSE(Exists(Addins(2028)));
    setup.Click(Quit);
    EXPECT_EQ(setup.WaitForExit(), 0);

    ASSERT_TRUE(CreateDirectoryW(Addins(2028).c_str(), nullptr));
    ASSERT_TRUE(WriteWhole(Addins(2028) + L"tarmesh.addin", "not this build's year"));
    EXPECT_EQ(UninstallThroughEntry().exitCode, 0u);
    EXPECT_TRUE(Exists(Addins(2025)));
    EXPECT_FALSE(Exists(Addins(2025) + L"tarmesh.addin"));
    EXPECT_FALSE(Exists(Addins(2025) + L"tarmesh"));
    EXPECT_TRUE(Exists(Addins(2028) + L"tarmesh.addin"));
    EXPECT_FALSE(KeyExists(UninstallKey));
}

TEST_F(Installer, WithoutRevitNothingIsWrittenAndInstallCanBePressedAgain)
{
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\Autodesk Revit 2013");
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2018");
    SetupDriver setup;
    ASSERT_TRUE(setup.Start(SetupProgram));
    const std::wstring licence = setup.Text();
    ASSERT_GT(licence.size(), 10u);
    EXPECT_EQ(licence[0], L'\xFEFF');

    const ShownBox refused = PressInstall(setup, L"Error");
    ASSERT_TRUE(refused.found);
    EXPECT_EQ(refused.text, L"tarmesh plugin requires a version of Revit for installation.\nPlease install Revit and "
                            L"try again.");
    EXPECT_EQ(refused.owner, setup.window);
    EXPECT_TRUE(Eventually([&] { return setup.IsEnabled(Install); }));
    EXPECT_TRUE(Eventually([&] { return setup.Focus() == GetDlgItem(setup.window, Install); }))
        << "Enter would try again";
    EXPECT_EQ(setup.Text(), licence);
    EXPECT_TRUE(setup.IsEnabled(Accept));
    EXPECT_TRUE(setup.IsTicked());
    EXPECT_FALSE(Exists(appData + L"Autodesk"));
    EXPECT_FALSE(Exists(SetupFolder()));
    EXPECT_FALSE(KeyExists(UninstallKey));

    // Revit installed meanwhile: the same window installs at once.
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\Autodesk Revit Architecture 2014");
    const ShownBox done = PressInstall(setup, L"Installation complete");
    ASSERT_TRUE(done.found);
    ExpectInstalledFor(2014);
    EXPECT_TRUE(KeyExists(UninstallKey));
}

// An upgrade used to empty and rewrite every year before it met the file
// Revit held, leaving a manifest over a mix of two versions at the prompt.
TEST_F(Installer, AnUpgradeWhileRevitHoldsTheAddinAsksBeforeTouchingAnything)
{
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2016");
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2017");
    {
        SetupDriver setup;
        ASSERT_TRUE(setup.Start(SetupProgram));
        ASSERT_TRUE(PressInstall(setup, L"Installation complete").found);
    }
    // The earlier version: other manifests, a library of its own, another
    // program in the setup folder and another version in the entry.
    for (int year : {2016, 2017})
        ASSERT_TRUE(WriteWhole(Addins(year) + L"tarmesh.addin", "earlier manifest"));
    const std::wstring copy = SetupFolder() + L"tarmesh.exe";
    ASSERT_TRUE(WriteWhole(copy, "earlier setup program"));
    SetText(UninstallKey, L"DisplayVersion", L"0.9.0");
    RevitHolding revit(Addins(2017) + L"tarmesh\\x64\\tarmesh.dll");
    ASSERT_TRUE(revit.held) << revit.why;
    const Files earlier = Installation();

    SetupDriver setup;
    ASSERT_TRUE(setup.Start(SetupProgram));
    Files atPrompt;
    const ShownBox asked = PressInstall(setup, L"Error", IDCANCEL, [&] { atPrompt = Installation(); });
    ASSERT_TRUE(asked.found);
    EXPECT_EQ(asked.text, L"Please close Revit before installing the tarmesh plugin.");
    EXPECT_TRUE(asked.hasRetry && asked.hasCancel);
    EXPECT_EQ(asked.owner, setup.window);
    EXPECT_TRUE(Eventually([&] { return setup.IsEnabled(Install); }));
    EXPECT_TRUE(atPrompt == earlier) << "a year changed before the question";
    EXPECT_TRUE(Installation() == earlier) << "Cancel left a change";
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, UninstallKey, L"DisplayVersion"), L"0.9.0");

    // Revit closes while the question is open; Retry goes on. The earlier
    // setup copy runs meanwhile (an uninstaller's box left open): Windows
    // lets it be renamed but not replaced, which must not fail the upgrade.
    RevitHolding runningCopy(copy);
    ASSERT_TRUE(runningCopy.held) << runningCopy.why;
    auto retried = std::async(std::launch::async,
                              [&] { return AnswerMessageBox(L"Error", IDRETRY, 60000, [&] { revit.Release(); }); });
    auto done = std::async(std::launch::async, [] { return AnswerMessageBox(L"Installation complete", IDOK, 60000); });
    setup.Click(Install);
    EXPECT_TRUE(retried.get().found);
    EXPECT_TRUE(done.get().found);
    ExpectInstalledFor(2016);
    ExpectInstalledFor(2017);
    EXPECT_EQ(ReadWhole(copy), ReadWhole(SetupProgram));
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, UninstallKey, L"DisplayVersion"), L"1.0.0");

    // Revit takes hold of a file after the check (here the manifest's
    // temporary file) and the user gives up: the lines stay, and say which
    // year has which add-in.
    runningCopy.Release();
    HANDLE late = CreateFileW((Addins(2017) + L"tarmesh.addin.tarmesh-new").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(late, INVALID_HANDLE_VALUE);
    SetupDriver again;
    ASSERT_TRUE(again.Start(SetupProgram));
    EXPECT_TRUE(PressInstall(again, L"Error", IDCANCEL).found);
    CloseHandle(late);
    EXPECT_TRUE(Eventually([&] { return again.IsEnabled(Install); }));
    const std::wstring shown = again.Text();
    const std::wstring outcome =
        L"\r\nRevit 2016: installed\r\nRevit 2017: not installed, close Revit and run the setup again\r\n";
    EXPECT_NE(shown.find(L"2016\\tarmesh.addin...\r\n"), std::wstring::npos) << Utf8(shown);
    EXPECT_TRUE(shown.size() > outcome.size() && shown.compare(shown.size() - outcome.size(), outcome.size(), outcome) == 0)
        << Utf8(shown);
    EXPECT_FALSE(Exists(Addins(2017) + L"tarmesh.addin"));

    // The next run completes it and takes away the copy set aside.
    EXPECT_EQ(RunChild(SetupProgram, L"\"" + SetupProgram + L"\" /quiet").exitCode, 0u);
    ExpectInstalledFor(2017);
    const Files setupFolder = FilesBelow(SetupFolder());
    EXPECT_EQ(setupFolder.size(), 1u);
    EXPECT_EQ(setupFolder.count(L"tarmesh.exe"), 1u);
}

TEST_F(Installer, CheckBoxTogglesInstallAndTheTextBoxTakesTheFocusButNoTyping)
{
    SetupDriver setup;
    ASSERT_TRUE(setup.Start(SetupProgram));
    EXPECT_FALSE(setup.IsTicked());
    for (int click = 1; click <= 4; ++click) {
        setup.Click(Accept);
        Sleep(100);
        const bool odd = click % 2 == 1;
        EXPECT_EQ(setup.IsTicked(), odd) << click;
        EXPECT_EQ(setup.IsEnabled(Install), odd) << click;
    }
    const std::wstring licence = setup.Text();
    setup.ClickTextBox();
    EXPECT_TRUE(Eventually([&] { return setup.Focus() == setup.textBox; }));
    PostMessageW(setup.textBox, WM_CHAR, L'x', 0);
    // Handled in order: once ticked, the character has been handled too.
    setup.Click(Accept);
    EXPECT_TRUE(Eventually([&] { return setup.IsTicked(); }));
    EXPECT_EQ(setup.Text(), licence);
    // The close box ends the program too.
    PostMessageW(setup.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(setup.WaitForExit(), 0);
}

namespace {

LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_BLOCK, 20000, &result);
    return static_cast<LRESULT>(result);
}

// The distance between the first two lines of a text box: its font's height.
int LineHeight(HWND textBox)
{
    const LRESULT secondLine = SendTo(textBox, EM_LINEINDEX, 1, 0);
    return static_cast<short>(HIWORD(SendTo(textBox, EM_POSFROMCHAR, secondLine, 0))) -
           static_cast<short>(HIWORD(SendTo(textBox, EM_POSFROMCHAR, 0, 0)));
}

}  // namespace

// Runs with the rest at 96 DPI, and by window_at_dpi.sh at 144. A window laid
// out in 96-DPI pixels is a small window with large letters on a scaled
// screen; a font made for another DPI clips or shrinks its texts.
TEST_F(Installer, WindowFollowsTheScreensDpiWithNoTextClipped)
{
    const std::wstring logPixels = RegistryText(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
    const int dpi = logPixels[0] == L'#' ? std::stoi(logPixels.substr(1)) : USER_DEFAULT_SCREEN_DPI;
    const auto scaled = [dpi](int pixels) { return MulDiv(pixels, dpi, USER_DEFAULT_SCREEN_DPI); };
    SetupDriver setup;
    ASSERT_TRUE(setup.Start(SetupProgram));
    RECT frame = {};
    GetWindowRect(setup.window, &frame);
    EXPECT_EQ(frame.right - frame.left, scaled(515));
    EXPECT_EQ(frame.bottom - frame.top, scaled(600));
    // Its client area is what the frame Windows draws at this DPI leaves.
    RECT border = {};
    AdjustWindowRectExForDpi(&border, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, FALSE, 0, dpi);
    RECT client = {};
    GetClientRect(setup.window, &client);
    EXPECT_EQ(client.right, scaled(515) - (border.right - border.left));
    EXPECT_EQ(client.bottom, scaled(600) - (border.bottom - border.top));

    const HWND checkBox = GetDlgItem(setup.window, Accept);
    const HWND installButton = GetDlgItem(setup.window, Install);
    const HWND quitButton = GetDlgItem(setup.window, Quit);
    const struct
    {
        const char* name;
        HWND control;
        RECT at96;  // left, top, width, height
    } places[] = {{"text box", setup.textBox, {5, 210, 495, 290}},
                  {"check box", checkBox, {90, 510, 410, 25}},
                  {"Install", installButton, {300, 540, 90, 25}},
                  {"Quit", quitButton, {400, 540, 80, 25}}};
    for (const auto& [name, control, at96] : places) {
        SCOPED_TRACE(name);
        RECT place = {};
        GetWindowRect(control, &place);
        MapWindowPoints(nullptr, setup.window, reinterpret_cast<POINT*>(&place), 2);
        EXPECT_EQ(place.left, scaled(at96.left));
        EXPECT_EQ(place.top, scaled(at96.top));
        EXPECT_EQ(place.right - place.left, scaled(at96.right));
        EXPECT_EQ(place.bottom - place.top, scaled(at96.bottom));
        EXPECT_EQ(SendTo(control, WM_GETFONT, 0, 0), SendTo(setup.textBox, WM_GETFONT, 0, 0));
    }

    // Every control shows the message font made for this DPI.
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi));
    const GdiObject<HFONT> font(CreateFontIndirectW(&metrics.lfMessageFont));
    const MemoryContext measure(nullptr, font.Get());
    TEXTMETRICW fontMetrics = {};
    GetTextMetricsW(measure.Context(), &fontMetrics);
    EXPECT_EQ(LineHeight(setup.textBox), fontMetrics.tmHeight);
    // Room beside a text: the check box's box and gap, a button's edges.
    const std::pair<HWND, int> labels[] = {{checkBox, scaled(20)}, {installButton, scaled(8)}, {quitButton, scaled(8)}};
    for (const auto& [control, beside] : labels) {
        wchar_t text[64] = {};
        const int length = GetWindowTextW(control, text, 64);
        SIZE extent = {};
        GetTextExtentPoint32W(measure.Context(), text, length, &extent);
        RECT inside = {};
        GetClientRect(control, &inside);
        EXPECT_LE(extent.cx + beside, inside.right) << Utf8(text);
        EXPECT_LE(extent.cy, inside.bottom) << Utf8(text);
    }

    // The banner fills its place up to its far corner, and no further.
    POINT corner = {scaled(5) + scaled(500) - 2, scaled(5) + scaled(200) - 2};
    ClientToScreen(setup.window, &corner);
    HDC screen = GetDC(nullptr);
    EXPECT_TRUE(Eventually([&] { return GetPixel(screen, corner.x, corner.y) != GetSysColor(COLOR_BTNFACE); }));
    EXPECT_EQ(GetPixel(screen, corner.x, corner.y + 4), GetSysColor(COLOR_BTNFACE));
    ReleaseDC(nullptr, screen);
    PostMessageW(setup.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(setup.WaitForExit(), 0);
}

// Real key presses, as a user without a mouse makes them.
TEST_F(Installer, TheKeyboardAloneReadsTheLicenceTicksInstallsAndQuits)
{
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2017");
    SetupDriver setup;
    ASSERT_TRUE(setup.Start(SetupProgram));
    const HWND checkBox = GetDlgItem(setup.window, Accept);
    const HWND installButton = GetDlgItem(setup.window, Install);
    const HWND quitButton = GetDlgItem(setup.window, Quit);
    const auto pressFocusing = [&](WORD key, HWND expected) {
        setup.Press(key);
        return Eventually([&] { return setup.Focus() == expected; });
    };
    const auto firstVisibleLine = [&] {
        DWORD_PTR line = 0;
        SendMessageTimeoutW(setup.textBox, EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_BLOCK, 20000, &line);
        return line;
    };
    ASSERT_TRUE(Eventually([&] { return setup.Focus() == checkBox; })) << "the focus starts on the check box";
    // Install is still disabled, so Tab passes it by.
    ASSERT_TRUE(pressFocusing(VK_TAB, quitButton));
    ASSERT_TRUE(pressFocusing(VK_TAB, setup.textBox));

    const std::wstring licence = setup.Text();
    const DWORD_PTR top = firstVisibleLine();
    setup.Press(VK_NEXT);
    EXPECT_TRUE(Eventually([&] { return firstVisibleLine() > top; })) << "Page Down scrolls the licence";
    for (WORD key : {WORD('X'), WORD('Y'), WORD(VK_BACK), WORD(VK_DELETE), WORD(VK_RETURN)})
        setup.Press(key);
    ASSERT_TRUE(pressFocusing(VK_TAB, checkBox)) << "Tab leaves the licence";
    EXPECT_EQ(setup.Text(), licence) << "typed into, or Enter pressed the disabled Install";

    setup.Press(VK_SPACE);
    ASSERT_TRUE(Eventually([&] { return setup.IsTicked() && setup.IsEnabled(Install); }));
    for (HWND next : {installButton, quitButton, setup.textBox, checkBox})
        ASSERT_TRUE(pressFocusing(VK_TAB, next));
    EXPECT_TRUE(setup.IsTicked()) << "Space toggled once";
    auto done = std::async(std::launch::async, [] { return AnswerMessageBox(L"Installation complete", IDOK); });
    setup.Press(VK_RETURN);
    ASSERT_TRUE(done.get().found);
    ExpectInstalledFor(2017);
    EXPECT_TRUE(Eventually([&] { return IsWindowEnabled(setup.window) != FALSE; }));
    setup.Press(VK_ESCAPE);
    EXPECT_EQ(setup.WaitForExit(), 0);
}

TEST_F(Installer, UninstallStopsAtHeldFilesAndSucceedsWithNothingInstalled)
{
    // Nothing installed: the clean-up command is still left.
    ChildResult run = RunChild(SetupProgram, L"\"" + SetupProgram + L"\" /uninstall");
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, RunOnceKey, L"tarmesh"),
              L"cmd.exe /c RD /S /Q \"" + appData + L"Ostrel\\tarmesh\"");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, RunOnceKey, L"tarmesh");

    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2016");
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2017");
    {
        SetupDriver setup;
        ASSERT_TRUE(setup.Start(SetupProgram));
        ASSERT_TRUE(PressInstall(setup, L"Installation complete").found);
    }
    // Nothing at all goes while Revit holds the 2017 library, and a cut
    // install's leftover waits with the rest.
    ASSERT_TRUE(WriteWhole(Addins(2016) + L"tarmesh.addin.tarmesh-new", "left by a cut install"));
    const std::wstring heldMessage = L"Uninstall failed.\nPlease close Revit and run the uninstall again.";
    {
        RevitHolding revit(Addins(2017) + L"tarmesh\\x64\\tarmesh.dll");
        ASSERT_TRUE(revit.held) << revit.why;
        const Files before = Installation();
        auto failed = std::async(std::launch::async, [] { return AnswerMessageBox(L"Error", IDOK, 60000); });
        run = UninstallThroughEntry();
        const ShownBox box = failed.get();
        ASSERT_TRUE(box.found);
        EXPECT_EQ(box.text, heldMessage);
        EXPECT_EQ(box.owner, nullptr);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_TRUE(Installation() == before) << "a file was removed";
        EXPECT_TRUE(KeyExists(UninstallKey));
        EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, RunOnceKey, L"tarmesh"), L"<missing>");
    }

    // A manifest open without sharing stops it the same way.
    HANDLE manifest = CreateFileW((Addins(2016) + L"tarmesh.addin").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(manifest, INVALID_HANDLE_VALUE);
    auto failed = std::async(std::launch::async, [] { return AnswerMessageBox(L"Error", IDOK, 60000); });
    run = UninstallThroughEntry();
    EXPECT_EQ(failed.get().text, heldMessage);
    CloseHandle(manifest);
    EXPECT_TRUE(Exists(Addins(2016) + L"tarmesh"));
    EXPECT_TRUE(Exists(Addins(2017) + L"tarmesh.addin"));
    EXPECT_TRUE(KeyExists(UninstallKey));

    // Revit closed: the uninstall can be run again.
    run = UninstallThroughEntry();
    EXPECT_EQ(run.exitCode, 0u);
    for (int year : {2016, 2017}) {
        EXPECT_FALSE(Exists(Addins(year) + L"tarmesh")) << year;
        EXPECT_FALSE(Exists(Addins(year) + L"tarmesh.addin")) << year;
    }
    EXPECT_FALSE(Exists(Addins(2016) + L"tarmesh.addin.tarmesh-new"));
    EXPECT_FALSE(KeyExists(UninstallKey));
}

// Points the user's roaming folder elsewhere for the length of a test.
class AppDataRedirect
{
public:
    explicit AppDataRedirect(const std::wstring& folder)
        : original(RegistryText(HKEY_CURRENT_USER, ShellFoldersKey, L"AppData")), folder(folder)
    {
        CreateDirectoryW(folder.substr(0, folder.find_last_of(L'\\')).c_str(), nullptr);
        CreateDirectoryW(folder.c_str(), nullptr);
        SetText(ShellFoldersKey, L"AppData", folder, REG_EXPAND_SZ);
    }
    virtual ~AppDataRedirect()
    {
        DeleteTree(folder + L"\\");
        if (original == L"<missing>")
            RegDeleteKeyValueW(HKEY_CURRENT_USER, ShellFoldersKey, L"AppData");
        else
            SetText(ShellFoldersKey, L"AppData", original, REG_EXPAND_SZ);
    }

private:
    std::wstring original;
    std::wstring folder;
};

TEST_F(Installer, AProfilePathWithBlanksAndAccentsWorksEndToEnd)
{
    const std::wstring redirected = L"C:\\users\\Public\\Données de l'été\\Roaming";
    AppDataRedirect redirect(redirected);
    appData = AppData();
    EXPECT_EQ(appData, redirected + L"\\");

    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2017");
    {
        SetupDriver setup;
        ASSERT_TRUE(setup.Start(SetupProgram));
        ASSERT_TRUE(PressInstall(setup, L"Installation complete").found);
    }
    ExpectInstalledFor(2017);
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, UninstallKey, L"UninstallString"),
              L"\"" + redirected + L"\\Ostrel\\tarmesh\\tarmesh.exe\" /uninstall");
    const ChildResult uninstall = UninstallThroughEntry();
    EXPECT_EQ(uninstall.exitCode, 0u);
    EXPECT_FALSE(Exists(Addins(2017) + L"tarmesh"));
    EXPECT_FALSE(KeyExists(UninstallKey));
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, RunOnceKey, L"tarmesh"),
              L"cmd.exe /c RD /S /Q \"" + redirected + L"\\Ostrel\\tarmesh\"");
    Clean();
}

TEST_F(Installer, AProfilePathNearTheLengthLimitInstallsAndUninstalls)
{
    // The deepest add-in file then lies well past 260 characters.
    std::wstring redirected = L"C:\\users\\Public\\";
    while (redirected.size() < 200)
        redirected += L"long folder name\\";
    redirected += L"Roaming";
    for (size_t at = redirected.find(L'\\', 3); at != std::wstring::npos; at = redirected.find(L'\\', at + 1))
        CreateDirectoryW(redirected.substr(0, at).c_str(), nullptr);
    AppDataRedirect redirect(redirected);
    appData = AppData();
    ASSERT_EQ(appData, redirected + L"\\");

    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2017");
    {
        SetupDriver setup;
        ASSERT_TRUE(setup.Start(SetupProgram));
        const ShownBox done = PressInstall(setup, L"Installation complete");
        ASSERT_TRUE(done.found);
        EXPECT_EQ(done.text, L"Installation successful.");
    }
    ExpectInstalledFor(2017);
    EXPECT_EQ(UninstallThroughEntry().exitCode, 0u);
    EXPECT_FALSE(Exists(Addins(2017) + L"tarmesh"));
    EXPECT_FALSE(KeyExists(UninstallKey));
    Clean();
    DeleteTree(L"C:\\users\\Public\\long folder name\\");
}

TEST_F(Installer, DamagedAndHostilePackagesAreRefusedInTheWindow)
{
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2017");
    for (const wchar_t* variant : {L"tarmesh-setup-dotdot.exe", L"tarmesh-setup-truncated.exe",
                                   L"tarmesh-setup-count.exe", L"tarmesh-setup-lastmember.exe"}) {
        SetupDriver setup;
        ASSERT_TRUE(setup.Start(SiblingPath(variant)));
        const std::wstring licence = setup.Text();
        const ShownBox refused = PressInstall(setup, L"Error");
        ASSERT_TRUE(refused.found) << Utf8(variant);
        EXPECT_EQ(refused.text, L"Installation ERROR: archive data corrupted.") << Utf8(variant);
        EXPECT_TRUE(Eventually([&] { return setup.IsEnabled(Install); })) << Utf8(variant);
        EXPECT_EQ(setup.Text(), licence) << Utf8(variant);
        EXPECT_FALSE(KeyExists(UninstallKey)) << Utf8(variant);
        EXPECT_FALSE(Exists(SetupFolder())) << Utf8(variant);
        // The package is proved before anything is written: not even the
        // Addins folder is made.
        EXPECT_FALSE(Exists(appData + L"Autodesk")) << Utf8(variant);
        setup.Click(Quit);
        EXPECT_EQ(setup.WaitForExit(), 0);
    }
}

// A package damaged half way emptied the year's tarmesh folder first: the
// user who had the add-in was left without it.
TEST_F(Installer, ADamagedPackageLeavesAnEarlierInstallationByteForByte)
{
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2016");
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2017");
    {
        SetupDriver setup;
        ASSERT_TRUE(setup.Start(SetupProgram));
        ASSERT_TRUE(PressInstall(setup, L"Installation complete").found);
    }
    // The earlier installation's files stay; its entry and setup folder go,
    // so that whatever the damaged one wrote would show.
    RegDeleteKeyW(HKEY_CURRENT_USER, UninstallKey);
    DeleteTree(SetupFolder());
    const Files before = FilesBelow(appData + L"Autodesk\\");
    ASSERT_FALSE(before.empty());

    SetupDriver setup;
    ASSERT_TRUE(setup.Start(SiblingPath(L"tarmesh-setup-lastmember.exe")));
    const ShownBox refused = PressInstall(setup, L"Error");
    ASSERT_TRUE(refused.found);
    EXPECT_EQ(refused.text, L"Installation ERROR: archive data corrupted.");
    EXPECT_TRUE(Eventually([&] { return setup.IsEnabled(Install); }));
    EXPECT_TRUE(FilesBelow(appData + L"Autodesk\\") == before) << "the earlier installation changed";
    EXPECT_FALSE(KeyExists(UninstallKey));
    EXPECT_FALSE(Exists(SetupFolder()));
    setup.Click(Quit);
    EXPECT_EQ(setup.WaitForExit(), 0);
}

// The uninstall entry was written even when it pointed at no program.
TEST_F(Installer, ASetupFolderThatCannotBeMadeFailsWithoutAnEntry)
{
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2017");
    ASSERT_TRUE(CreateDirectoryW((appData + L"Ostrel").c_str(), nullptr));
    const std::wstring blocker = appData + L"Ostrel\\tarmesh";
    ASSERT_TRUE(WriteWhole(blocker, "a file where the setup folder belongs"));

    SetupDriver setup;
    ASSERT_TRUE(setup.Start(SetupProgram));
    const std::wstring licence = setup.Text();
    const ShownBox failed = PressInstall(setup, L"Error");
    ASSERT_TRUE(failed.found);
    EXPECT_EQ(failed.text, L"Installation ERROR: the folder " + SetupFolder() + L" cannot be made.");
    EXPECT_EQ(failed.owner, setup.window);
    EXPECT_TRUE(Eventually([&] { return setup.IsEnabled(Install); }));
    EXPECT_EQ(setup.Text(), licence);
    EXPECT_FALSE(KeyExists(UninstallKey));
    EXPECT_EQ(ReadWhole(blocker), "a file where the setup folder belongs");

    // The way cleared, the same window installs.
    ASSERT_TRUE(DeleteFileW(blocker.c_str()));
    ASSERT_TRUE(PressInstall(setup, L"Installation complete").found);
    EXPECT_EQ(ReadWhole(SetupFolder() + L"tarmesh.exe"), ReadWhole(SetupProgram));
    EXPECT_TRUE(KeyExists(UninstallKey));
}

// The installer runs from a folder anyone can drop files into (Downloads),
// the uninstaller from the setup folder; libraries planted there under
// system libraries' names, with Windows' own search order for them (the
// program's folder before System32), must never run.
TEST_F(Installer, LibrariesPlantedBesideTheInstallerAndTheUninstallerNeverRun)
{
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2017");
    const TempFolder downloads(L"tarmesh-downloads");
    const std::wstring installer = downloads.Path() + L"tarmesh-setup.exe";
    ASSERT_TRUE(CopyFileW(SetupProgram.c_str(), installer.c_str(), FALSE));
    ASSERT_TRUE(PlantLibraries(downloads.Path()));
    // Windows' own search order for these names: Wine looks in the
    // program's folder first only when told to, here for the installer's
    // name and the uninstaller's. (WINEDLLOVERRIDES would do the same, but
    // Wine reads it from the environment its first program started with.)
    RegistryRestore registry;
    for (const std::wstring program : {L"tarmesh-setup.exe", L"tarmesh.exe"}) {
        for (const wchar_t* name : PlantedNames)
            ASSERT_TRUE(registry.SetText(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\" + program + L"\\DllOverrides",
                                         name, L"native,builtin"));
    }
    {
        SetupDriver setup;
        const bool started = setup.Start(installer);
        const ShownBox done = started ? PressInstall(setup, L"Installation complete") : ShownBox();
        EXPECT_EQ(PlantedThatRan(downloads.Path()), L"");
        ASSERT_TRUE(done.found);
        EXPECT_EQ(done.text, L"Installation successful.");
        setup.Click(Quit);
        EXPECT_EQ(setup.WaitForExit(), 0);
    }
    ExpectInstalledFor(2017);

    ASSERT_TRUE(PlantLibraries(SetupFolder()));
    const ChildResult uninstall = UninstallThroughEntry();
    EXPECT_EQ(PlantedThatRan(SetupFolder()), L"");
    EXPECT_TRUE(uninstall.finished);
    EXPECT_EQ(uninstall.exitCode, 0u);
    EXPECT_FALSE(Exists(Addins(2017) + L"tarmesh.addin"));
    EXPECT_FALSE(KeyExists(UninstallKey));
}

// Run by statistic_namespace.py, where the statistics host is a server of
// the test's own on loopback; it checks what the server saw.
TEST_F(Installer, ReportsInstallAndUninstallToTheStatisticsServer)
{
    if (std::getenv("TARMESH_STATISTIC_SERVER") == nullptr)
        GTEST_SKIP() << "needs the statistics server of statistic_namespace.py";
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2017");
    {
        SetupDriver setup;
        ASSERT_TRUE(setup.Start(SetupProgram));
        ASSERT_TRUE(PressInstall(setup, L"Installation complete").found);
    }
    ExpectInstalledFor(2017);
    const ChildResult uninstall = UninstallThroughEntry();
    EXPECT_EQ(uninstall.exitCode, 0u);
    EXPECT_FALSE(KeyExists(UninstallKey));
}

// Unattended, as deployment tools run it in the user's context: no window
// and no box, the outcome in the exit code and the log. Run again by
// statistic_namespace.py with no display at all, where both reports must
// reach the statistics server.
TEST_F(Installer, QuietRunsNeedNoDesktopAndTellByExitCodeAndLog)
{
    TempFolder folder(L"tarmesh-quiet");
    const std::wstring log = folder.Path() + L"setup.log";
    const auto quietInstall = [&](const wchar_t* quiet = L"/quiet") {
        return RunChild(SetupProgram, L"\"" + SetupProgram + L"\" " + quiet + L" /log \"" + log + L"\"").exitCode;
    };
    // No Revit of the installation years: nothing is written.
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2018");
    EXPECT_EQ(quietInstall(), 1633u);
    EXPECT_FALSE(KeyExists(UninstallKey));
    EXPECT_FALSE(Exists(appData + L"Autodesk"));

    // Busy while Revit holds an earlier version's library, or while another
    // setup runs: nothing changes, and deployment tools try again later.
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2016");
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2017");
    Disk disk;
    ASSERT_TRUE(disk.CreateFolder((Addins(2017) + L"tarmesh\\x64\\").c_str()));
    ASSERT_TRUE(WriteWhole(Addins(2017) + L"tarmesh.addin", "earlier manifest"));
    {
        RevitHolding revit(Addins(2017) + L"tarmesh\\x64\\tarmesh.dll");
        ASSERT_TRUE(revit.held) << revit.why;
        const Files earlier = Installation();
        EXPECT_EQ(quietInstall(), 1618u);
        EXPECT_TRUE(Installation() == earlier);
    }
    // A file that may not be written at all is no reason to wait for
    // Revit: that would be 1618 for ever. (Read-only files are replaced;
    // Wine lets root write those, so only the immutable flag refuses here.)
    const std::wstring denied = Addins(2017) + L"tarmesh\\x64\\tarmesh.dll";
    ASSERT_TRUE(SetImmutable(denied, true));
    {
        const Files earlier = Installation();
        EXPECT_EQ(quietInstall(), 1603u);
        EXPECT_TRUE(Installation() == earlier);
    }
    ASSERT_TRUE(SetImmutable(denied, false));
    // Another setup of this user, in any session, makes it wait.
    HANDLE otherSetup = CreateMutexW(nullptr, TRUE, SetupMutexName().c_str());
    EXPECT_EQ(quietInstall(), 1618u);
    CloseHandle(otherSetup);
    EXPECT_FALSE(KeyExists(UninstallKey));

    // An entry that cannot be written fails the run and leaves no part of
    // itself (Windows refuses lasting keys below a volatile one); the
    // add-in's files stay, and the next run completes it.
    const wchar_t uninstallList[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    ASSERT_TRUE(RegDeleteKeyW(HKEY_CURRENT_USER, uninstallList) == ERROR_SUCCESS || !KeyExists(uninstallList));
    HKEY volatileList = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, uninstallList, 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr,
                              &volatileList, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(volatileList);
    EXPECT_EQ(quietInstall(), 1603u);
    EXPECT_FALSE(KeyExists(UninstallKey));
    ExpectInstalledFor(2016);
    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, uninstallList), ERROR_SUCCESS);

    // A mutex of the same name that another account made is none of this
    // user's setups.
    SECURITY_ATTRIBUTES squatted = {sizeof squatted, nullptr, FALSE};
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:SYD:(A;;GA;;;WD)", SDDL_REVISION_1,
                                                                     &squatted.lpSecurityDescriptor, nullptr));
    HANDLE squatter = CreateMutexW(&squatted, TRUE, SetupMutexName().c_str());
    LocalFree(squatted.lpSecurityDescriptor);
    EXPECT_NE(squatter, nullptr);
    EXPECT_EQ(quietInstall(L"/QUIET"), 0u) << "any letter case";
    CloseHandle(squatter);
    ExpectInstalledFor(2016);
    ExpectInstalledFor(2017);
    const std::wstring copy = SetupFolder() + L"tarmesh.exe";
    EXPECT_EQ(ReadWhole(copy), ReadWhole(SetupProgram));
    const std::wstring quietUninstall = RegistryText(HKEY_CURRENT_USER, UninstallKey, L"QuietUninstallString");
    EXPECT_EQ(quietUninstall, L"\"" + copy + L"\" /uninstall /quiet");

    // Revit takes hold of a file after the check (here the manifest's
    // temporary file): 2016 is done, 2017 has no add-in, and the run says
    // so and asks to be retried.
    HANDLE late = CreateFileW((Addins(2017) + L"tarmesh.addin.tarmesh-new").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(late, INVALID_HANDLE_VALUE);
    EXPECT_EQ(quietInstall(L"/s"), 1618u);
    CloseHandle(late);
    ExpectInstalledFor(2016);
    EXPECT_FALSE(Exists(Addins(2017) + L"tarmesh.addin"));

    const std::string written = ReadWhole(log);
    for (const char* line :
         {"tarmesh setup 1.0.0, quiet install", "exit code 1633", "held by another program: ",
          "\\tarmesh\\x64\\tarmesh.dll (Windows error 32)", "exit code 1618", "Revit 2016 found", "Revit 2017 found",
          "failed: cannot write ", "\\tarmesh\\x64\\tarmesh.dll (Windows error 5)\r\n", "exit code 1603",
          "failed: Installation ERROR: the entry in the installed-programs list cannot be written (Windows error 1021).\r\n",
          "written 2017\\tarmesh.addin\r\n", "exit code 0\r\n", "Revit 2016: installed\r\n",
          "Revit 2017: not installed, close Revit and run the setup again\r\n"})
        EXPECT_NE(written.find(line), std::string::npos) << line << "\n" << written;

    // Removed by the command the entry gives deployment tools; without
    // /log the log goes to the temporary folder.
    wchar_t temporary[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temporary);
    const std::wstring defaultLog = std::wstring(temporary) + L"tarmesh-setup.log";
    DeleteFileW(defaultLog.c_str());
    // An entry that cannot be deleted (Windows keeps a key that has
    // subkeys) is a failed removal, not "removed"; the next run ends it.
    const std::wstring blocker = std::wstring(UninstallKey) + L"\\blocker";
    AddRevitKey(blocker);
    EXPECT_EQ(RunChild(L"", quietUninstall).exitCode, 1603u);
    EXPECT_TRUE(KeyExists(UninstallKey));
    RegDeleteKeyW(HKEY_CURRENT_USER, blocker.c_str());
    EXPECT_EQ(RunChild(L"", quietUninstall).exitCode, 0u);
    for (int year : {2016, 2017}) {
        EXPECT_FALSE(Exists(Addins(year) + L"tarmesh")) << year;
        EXPECT_FALSE(Exists(Addins(year) + L"tarmesh.addin")) << year;
    }
    EXPECT_FALSE(KeyExists(UninstallKey));
    const std::string uninstallLog = ReadWhole(defaultLog);
    EXPECT_NE(uninstallLog.find("quiet uninstall"), std::string::npos) << uninstallLog;
    EXPECT_NE(uninstallLog.find("failed: cannot remove the uninstall entry (Windows error 5)"), std::string::npos)
        << uninstallLog;
    EXPECT_NE(uninstallLog.find("exit code 0"), std::string::npos) << uninstallLog;
    DeleteFileW(defaultLog.c_str());

    // On a cut-down Windows without WinHTTP the statistic is skipped with a
    // warning; before, its first call ended the process with an exception
    // after everything was written, and before the exit code.
    RegistryRestore registry;
    ASSERT_TRUE(registry.SetText(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\tarmesh-setup.exe\\DllOverrides",
                                 L"winhttp", L""));
    const ChildResult withoutWinHttp = RunChild(SetupProgram, L"\"" + SetupProgram + L"\" /quiet");
    EXPECT_EQ(withoutWinHttp.exitCode, 0u);
    EXPECT_NE(withoutWinHttp.output.find("statistic not sent"), std::string::npos) << withoutWinHttp.output;
    ExpectInstalledFor(2017);
}

namespace {

bool RunsElevated(HANDLE process = GetCurrentProcess())
{
    HANDLE token = nullptr;
    TOKEN_ELEVATION elevation = {};
    DWORD length = 0;
    if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
        GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &length);
        CloseHandle(token);
    }
    return elevation.TokenIsElevated != 0;
}

// Started as an administrator starts a program elevated (the UAC prompt);
// its exit code, or -1.
long RunElevated(const std::wstring& program, const std::wstring& arguments)
{
    SHELLEXECUTEINFOW start = {};
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    start.lpVerb = L"runas";
    start.lpFile = program.c_str();
    start.lpParameters = arguments.c_str();
    start.nShow = SW_HIDE;
    if (!ShellExecuteExW(&start) || start.hProcess == nullptr)
        return -1;
    DWORD code = 0;
    const bool ended = WaitForSingleObject(start.hProcess, 120000) == WAIT_OBJECT_0;
    GetExitCodeProcess(start.hProcess, &code);
    CloseHandle(start.hProcess);
    return ended ? static_cast<long>(code) : -1;
}

std::wstring ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return std::wstring(path) + L"\\";
}

// A key of the computer's 64-bit registry, which Revit, a 64-bit program,
// writes; a 32-bit program sees it only when it asks for that view.
void SetMachineKey64(const std::wstring& name, const wchar_t* value = nullptr, const std::wstring& text = L"")
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    if (value != nullptr)
        RegSetValueExW(key, value, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void DeleteMachineTree64(const wchar_t* parent, const wchar_t* name)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, parent, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return;
    RegDeleteTreeW(key, name);
    RegCloseKey(key);
}

const wchar_t ProfileListKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const wchar_t OtherProfileSid[] = L"S-1-5-21-0-0-0-1999";

// The computer as the machine-wide tests leave it: without Revit, without
// the second profile, without the add-in for all users.
class MachineWide : public Installer
{
protected:
    void SetUp() override
    {
        Installer::SetUp();
        CleanMachine();
    }
    void TearDown() override
    {
        CleanMachine();
        Installer::TearDown();
    }

    void CleanMachine()
    {
        DeleteMachineTree64(L"SOFTWARE", L"Autodesk");
        DeleteMachineTree64(ProfileListKey, OtherProfileSid);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, UninstallKey, KEY_WOW64_32KEY, 0);
        DeleteTree(ShellFolder(CSIDL_COMMON_APPDATA) + L"Autodesk\\");
        DeleteTree(ShellFolder(CSIDL_PROGRAM_FILESX86) + L"Ostrel\\");
        DeleteTree(OtherProfile());
        DeleteTree(ProgramFiles64() + L"Autodesk\\");
    }

    // Where Revit 2027 on reads the add-ins of all users, in Program Files;
    // what a 32-bit program's %ProgramFiles% names is the x86 one.
    static std::wstring ProgramFiles64()
    {
        return RegistryText(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir",
                            nullptr, KEY_WOW64_64KEY) +
               L"\\";
    }

    static std::wstring OtherProfile() { return ShellFolder(CSIDL_WINDOWS).substr(0, 3) + L"users\\tarmesh-other\\"; }
    static std::wstring AllUsersAddins(int year)
    {
        return ShellFolder(CSIDL_COMMON_APPDATA) + L"Autodesk\\Revit\\Addins\\" + std::to_wstring(year) + L"\\";
    }
    static std::wstring MachineSetupFolder() { return ShellFolder(CSIDL_PROGRAM_FILESX86) + L"Ostrel\\tarmesh\\"; }

    // A per-user copy of an earlier version in an Addins folder.
    static void PlantCopy(const std::wstring& addins)
    {
        Disk disk;
        ASSERT_TRUE(disk.CreateFolder((addins + L"tarmesh\\").c_str()));
        ASSERT_TRUE(WriteWhole(addins + L"tarmesh.addin", "earlier manifest"));
        ASSERT_TRUE(WriteWhole(addins + L"tarmesh\\tarmesh.dll", "earlier library"));
    }
};

}  // namespace

// As Configuration Manager and Intune run it in the system context: Revit
// known to the computer only (its keys in the 64-bit registry), a second
// local profile with its own earlier copy, then a user's own install and
// the removal through the computer's entry.
TEST_F(MachineWide, ARoundTripServesEveryProfileAndWinsOverPerUserCopies)
{
    SetMachineKey64(L"SOFTWARE\\Autodesk\\Revit\\2016");
    SetMachineKey64(L"SOFTWARE\\Autodesk\\Revit\\Autodesk Revit 2017");
    SetMachineKey64(std::wstring(ProfileListKey) + L"\\" + OtherProfileSid, L"ProfileImagePath",
                    L"%SystemDrive%\\users\\tarmesh-other");
    const std::wstring otherCopy = OtherProfile() + L"AppData\\Roaming\\Autodesk\\Revit\\Addins\\2017\\";
    PlantCopy(otherCopy);
    PlantCopy(Addins(2016));
    TempFolder folder(L"tarmesh-machine");
    const std::wstring log = folder.Path() + L"setup.log";
    const std::wstring arguments = L"/quiet /allusers /log \"" + log + L"\"";

    // Without an elevated token the computer is not touched. (Wine 10
    // starts programs with an administrator's filtered token, as Windows
    // does; Wine 8 with an elevated one.)
    const bool elevated = RunsElevated();
    // Recorded for the report: which of the two ways below was taken.
    RecordProperty("elevated", elevated ? "yes" : "no");
    if (!elevated) {
        EXPECT_EQ(RunChild(SetupProgram, L"\"" + SetupProgram + L"\" " + arguments).exitCode, 1603u);
        EXPECT_FALSE(Exists(AllUsersAddins(2017)));
    }
    const auto asAdministrator = [&](const std::wstring& program, const std::wstring& line) {
        return elevated ? static_cast<long>(RunChild(program, L"\"" + program + L"\" " + line).exitCode)
                        : RunElevated(program, line);
    };
    ASSERT_EQ(asAdministrator(SetupProgram, arguments), 0);
    for (int year : {2016, 2017})
        EXPECT_EQ(FilesBelow(AllUsersAddins(year)), ExpectedFor(year)) << year;
    EXPECT_FALSE(Exists(otherCopy + L"tarmesh.addin"));
    EXPECT_FALSE(Exists(otherCopy + L"tarmesh"));
    EXPECT_FALSE(Exists(Addins(2016) + L"tarmesh.addin"));
    EXPECT_FALSE(Exists(Addins(2016) + L"tarmesh"));
    const std::wstring copy = MachineSetupFolder() + L"tarmesh.exe";
    EXPECT_EQ(ReadWhole(copy), ReadWhole(SetupProgram));
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, L"DisplayVersion", nullptr, KEY_WOW64_32KEY),
              L"1.0.0");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, L"UninstallString", nullptr, KEY_WOW64_32KEY),
              L"\"" + copy + L"\" /uninstall /allusers");
    const std::wstring quietUninstall =
        RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, L"QuietUninstallString", nullptr, KEY_WOW64_32KEY);
    EXPECT_EQ(quietUninstall, L"\"" + copy + L"\" /uninstall /allusers /quiet");
    EXPECT_FALSE(KeyExists(UninstallKey)) << "the user's own list holds nothing";

    // A user's own installation leaves the years the computer serves to it,
    // and removes the user's copy of them.
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2017");
    PlantCopy(Addins(2017));
    EXPECT_EQ(RunChild(SetupProgram, L"\"" + SetupProgram + L"\" /quiet /log \"" + log + L"\"").exitCode, 0u);
    EXPECT_FALSE(Exists(Addins(2017) + L"tarmesh.addin"));
    EXPECT_FALSE(Exists(Addins(2017) + L"tarmesh"));
    EXPECT_FALSE(KeyExists(UninstallKey));
    EXPECT_EQ(FilesBelow(AllUsersAddins(2017)), ExpectedFor(2017));

    // The computer's entry removes it all; the running uninstaller's file
    // cannot go at once, and is renamed aside until the next restart.
    const size_t programAt = quietUninstall.find(L"\" ");
    ASSERT_NE(programAt, std::wstring::npos);
    EXPECT_EQ(asAdministrator(copy, quietUninstall.substr(programAt + 2) + L" /log \"" + log + L"\""), 0);
    for (int year : {2016, 2017}) {
        EXPECT_FALSE(Exists(AllUsersAddins(year) + L"tarmesh.addin")) << year;
        EXPECT_FALSE(Exists(AllUsersAddins(year) + L"tarmesh")) << year;
    }
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, UninstallKey, L"DisplayVersion", nullptr, KEY_WOW64_32KEY),
              L"<missing>");
    EXPECT_FALSE(Exists(copy));

    // From 2027 on, Revit reads them from the 64-bit Program Files only.
    SetMachineKey64(L"SOFTWARE\\Autodesk\\Revit\\2027");
    ASSERT_EQ(asAdministrator(SetupProgramForOtherYears, L"/quiet /allusers"), 0);
    const std::wstring addins2027 = ProgramFiles64() + L"Autodesk\\Revit\\Addins\\2027\\";
    EXPECT_EQ(FilesBelow(addins2027), ExpectedFor(2027, TARMESH_OTHER_YEARS_PAYLOAD_FOLDER));
    EXPECT_FALSE(Exists(AllUsersAddins(2027)));
    EXPECT_EQ(asAdministrator(copy, L"/uninstall /allusers /quiet"), 0);
    EXPECT_FALSE(Exists(addins2027 + L"tarmesh.addin"));

    const std::string written = ReadWhole(log);
    for (const char* line :
         {"quiet install for all users", "removed ", "tarmesh-other\\AppData\\Roaming\\Autodesk\\Revit\\Addins\\2017\\tarmesh.addin",
          "Revit 2017: installed for all users of this computer", "quiet uninstall for all users", "exit code 0"})
        EXPECT_NE(written.find(line), std::string::npos) << line << "\n" << written;
    if (!elevated) {
        EXPECT_NE(written.find("refused: /allusers needs an administrator's elevated rights"), std::string::npos)
            << written;
    }
}

// The window for all users, started with an administrator's filtered token
// (Wine 10 starts programs so, as Windows does), starts itself again
// elevated, through the UAC prompt, and ends.
TEST_F(MachineWide, TheWindowStartsItselfAgainElevated)
{
    if (RunsElevated())
        GTEST_SKIP() << "this Wine starts every program elevated";
    EXPECT_EQ(RunChild(SetupProgram, L"\"" + SetupProgram + L"\" /allusers").exitCode, 0u);
    HWND window = nullptr;
    for (int tries = 0; tries < 600 && window == nullptr; ++tries) {
        window = FindWindowW(L"OSTREL", L"tarmesh Setup");
        Sleep(window == nullptr ? 100 : 0);
    }
    ASSERT_NE(window, nullptr);
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id);
    ASSERT_NE(process, nullptr);
    EXPECT_TRUE(RunsElevated(process));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(process, 30000), WAIT_OBJECT_0);
    CloseHandle(process);
}
