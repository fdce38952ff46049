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
#include <shlobj.h>

#include "BuildPaths.h"
#include "SetupDriver.h"
#include "library/Disk.h"
#include "library/Mem.h"
#include "package/PackageFormat.h"
#include "support/ChildProcess.h"
#include "support/MessageBoxes.h"
#include "support/RealFiles.h"

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

// The progress lines of one year, in the order of the built package.
std::wstring ProgressFor(int year, const wchar_t* packagePath = TARMESH_PACKAGE_FILE_PATH)
{
    Mem package;
    EXPECT_TRUE(package.LoadFile(packagePath));
    std::wstring lines;
    const int32_t count = ReadEntryCount(package);
    for (int32_t i = 0; i < count; ++i) {
        WString name;
        EXPECT_TRUE(ReadEntryName(package, name));
        EXPECT_TRUE(SkipMember(package));
        const int32_t version = EntryVersion(name);
        if (version == 0 || version == year)
            lines += std::to_wstring(year) + L"\\" + EntryTarget(name).buffer + L"...\r\n";
    }
    return lines;
}

std::wstring RegistryText(HKEY root, const wchar_t* key, const wchar_t* name, DWORD* type = nullptr)
{
    wchar_t data[2048] = {};
    DWORD bytes = sizeof data - sizeof(wchar_t);
    DWORD kind = 0;
    if (RegGetValueW(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &kind, data, &bytes) != ERROR_SUCCESS)
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

TEST_F(Installer, AFileHeldByRevitAsksRetryOrCancel)
{
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2017");
    const std::wstring held = Addins(2017) + L"tarmesh\\x64\\README.txt";
    for (const wchar_t* folder : {L"Autodesk", L"Autodesk\\Revit", L"Autodesk\\Revit\\Addins"})
        CreateDirectoryW((appData + folder).c_str(), nullptr);
    CreateDirectoryW(Addins(2017).c_str(), nullptr);
    CreateDirectoryW((Addins(2017) + L"tarmesh").c_str(), nullptr);
    CreateDirectoryW((Addins(2017) + L"tarmesh\\x64").c_str(), nullptr);
    ASSERT_TRUE(WriteWhole(held, "loaded by Revit"));
    HANDLE revit = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(revit, INVALID_HANDLE_VALUE);

    SetupDriver setup;
    ASSERT_TRUE(setup.Start(SetupProgram));
    const ShownBox asked = PressInstall(setup, L"Error", IDCANCEL);
    ASSERT_TRUE(asked.found);
    EXPECT_EQ(asked.text, L"Please close Revit before installing the tarmesh plugin.");
    EXPECT_TRUE(asked.hasRetry && asked.hasCancel);
    EXPECT_TRUE(Eventually([&] { return setup.IsEnabled(Install); }));
    EXPECT_TRUE(Exists(Addins(2017) + L"tarmesh\\help\\index.html")) << "files before the held one stay";
    EXPECT_FALSE(KeyExists(UninstallKey));

    // Revit closes while the question is open; Retry goes on.
    auto retried = std::async(std::launch::async, [&] {
        return AnswerMessageBox(L"Error", IDRETRY, 60000, [&] { CloseHandle(revit); });
    });
    auto done = std::async(std::launch::async, [] { return AnswerMessageBox(L"Installation complete", IDOK, 60000); });
    setup.Click(Install);
    EXPECT_TRUE(retried.get().found);
    EXPECT_TRUE(done.get().found);
    ExpectInstalledFor(2017);
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

    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2017");
    {
        SetupDriver setup;
        ASSERT_TRUE(setup.Start(SetupProgram));
        ASSERT_TRUE(PressInstall(setup, L"Installation complete").found);
    }
    const std::wstring held = Addins(2017) + L"tarmesh\\x64\\README.txt";
    HANDLE revit = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(revit, INVALID_HANDLE_VALUE);
    auto failed = std::async(std::launch::async, [] { return AnswerMessageBox(L"Error", IDOK, 60000); });
    run = UninstallThroughEntry();
    ShownBox box = failed.get();
    CloseHandle(revit);
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.text, L"Uninstall failed.");
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(Exists(Addins(2017) + L"tarmesh.addin")) << "the manifest goes first";
    EXPECT_TRUE(KeyExists(UninstallKey));
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, RunOnceKey, L"tarmesh"), L"<missing>");

    // A manifest held open stops it at once too, before its add-in folder.
    AddRevitKey(L"SOFTWARE\\Autodesk\\Revit\\2016");
    {
        SetupDriver setup;
        ASSERT_TRUE(setup.Start(SetupProgram));
        ASSERT_TRUE(PressInstall(setup, L"Installation complete").found);
    }
    HANDLE manifest = CreateFileW((Addins(2016) + L"tarmesh.addin").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(manifest, INVALID_HANDLE_VALUE);
    failed = std::async(std::launch::async, [] { return AnswerMessageBox(L"Error", IDOK, 60000); });
    run = UninstallThroughEntry();
    EXPECT_EQ(failed.get().text, L"Uninstall failed.");
    CloseHandle(manifest);
    EXPECT_TRUE(Exists(Addins(2016) + L"tarmesh"));
    EXPECT_TRUE(Exists(Addins(2017) + L"tarmesh.addin")) << "later years are not touched";
    EXPECT_TRUE(KeyExists(UninstallKey));

    // Revit closed: the uninstall can be run again.
    run = UninstallThroughEntry();
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(Exists(Addins(2017) + L"tarmesh"));
    EXPECT_FALSE(Exists(Addins(2016) + L"tarmesh"));
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
