// tarmesh-setup-peak: the real setup program's install, driven through its
// window as a user would, to measure its memory and its install's time for
// bench/run.sh.
//
//   tarmesh-setup-peak PROGRAM
//
// Makes Revit 2016 and 2017 present for the user, starts PROGRAM (a setup
// program carrying the package to measure), ticks the box and presses
// Install. While "Installation complete" is shown, the installation is over
// and the program's peak memory is read; then the box is answered, the
// program quit, and everything the installation wrote is removed again.
// Standard output: "peak_kb N", the program's largest resident set, and
// "install_ms T", the time from pressing Install until the box appeared.
// Exit code 0 when the installation completed.

#include <cstdio>
#include <future>
#include <string>

#include <windows.h>
#include <psapi.h>
#include <shlobj.h>

#include "app/SetupDriver.h"
#include "library/Disk.h"
#include "support/MessageBoxes.h"

namespace {

constexpr int Install = 100;
constexpr int Quit = 101;
constexpr int Accept = 102;
const wchar_t UninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tarmesh";
const wchar_t RunOnceKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

std::wstring AppData()
{
    wchar_t path[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK)
        return std::wstring();
    return std::wstring(path) + L"\\";
}

void RemoveInstallation(const std::wstring& appData)
{
    Disk disk;
    for (const wchar_t* folder : {L"Autodesk\\", L"Ostrel\\"}) {
        if (disk.FolderExists((appData + folder).c_str()))
            disk.DeleteFolder((appData + folder).c_str(), true, false);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Autodesk");
    RegDeleteKeyW(HKEY_CURRENT_USER, UninstallKey);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, RunOnceKey, L"tarmesh");
}

bool AddRevit(int year)
{
    HKEY key;
    const std::wstring name = L"SOFTWARE\\Autodesk\\Revit\\" + std::to_wstring(year);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The largest resident set of the process that owns `window`, in KB.
SIZE_T PeakKilobytes(HWND window)
{
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    if (process == nullptr)
        return 0;
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    const BOOL got = GetProcessMemoryInfo(process, &counters, sizeof counters);
    CloseHandle(process);
    return got ? counters.PeakWorkingSetSize / 1024 : 0;
}

int Measure(const std::wstring& program)
{
    SetupDriver setup;
    if (!setup.Start(program)) {
        std::fprintf(stderr, "tarmesh-setup-peak: the setup window did not appear\n");
        return 1;
    }
    setup.Click(Accept);
    SIZE_T peak = 0;
    LARGE_INTEGER frequency, pressed, shown;
    QueryPerformanceFrequency(&frequency);
    auto done = std::async(std::launch::async, [&] {
        return AnswerMessageBox(L"Installation complete", IDOK, 120000, [&] {
            QueryPerformanceCounter(&shown);
            peak = PeakKilobytes(setup.window);
        });
    });
    Sleep(100);
    QueryPerformanceCounter(&pressed);
    setup.Click(Install);
    const ShownBox box = done.get();
    setup.Click(Quit);
    setup.WaitForExit();
    if (!box.found || peak == 0) {
        std::fprintf(stderr, "tarmesh-setup-peak: the installation did not complete, or its memory is unknown\n");
        return 1;
    }
    std::printf("peak_kb %llu\n", static_cast<unsigned long long>(peak));
    std::printf("install_ms %lld\n",
                static_cast<long long>((shown.QuadPart - pressed.QuadPart) * 1000 / frequency.QuadPart));
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: tarmesh-setup-peak PROGRAM\n");
        return 2;
    }
    const std::wstring appData = AppData();
    if (appData.empty())
        return 1;
    RemoveInstallation(appData);
    const int result = AddRevit(2016) && AddRevit(2017) ? Measure(argv[1]) : 1;
    RemoveInstallation(appData);
    std::fflush(stdout);
    return result;
}
