// A GUI program like the setup program itself, started by the tests with a
// chosen command line and standard output redirected to a file. What it does
// is chosen by the environment variable TARMESH_PROBE, so that its command
// line stays free for the case under test:
//   args           the arguments as Library splits them, the module path
//                  and the mode the setup program would choose
//   warn           one Warn line for each of the first TARMESH_PROBE_LINES
//                  arguments
//   warn-threads   two threads writing Warn lines at the same time

#include <cstdio>
#include <cstdlib>
#include <string>

#include <windows.h>

#include "app/CommandLine.h"
#include "app/ModeDispatch.h"
#include "library/Library.h"
#include "library/Log.h"

namespace {

std::wstring EnvironmentText(const wchar_t* name)
{
    wchar_t value[64] = L"";
    GetEnvironmentVariableW(name, value, 64);
    return value;
}

void Print(const WString& text)
{
    const NString utf8((text + L"\n").buffer);
    std::fputs(utf8.buffer, stdout);
    std::fflush(stdout);
}

const wchar_t* ModeName(SetupMode mode)
{
    switch (mode) {
    case SetupMode::Create:
        return L"create";
    case SetupMode::Uninstall:
        return L"uninstall";
    case SetupMode::QuietInstall:
        return L"quiet-install";
    case SetupMode::QuietUninstall:
        return L"quiet-uninstall";
    case SetupMode::BadCommandLine:
        return L"bad-command-line";
    case SetupMode::Interactive:
        break;
    }
    return L"interactive";
}

void PrintArguments()
{
    for (int32_t i = -1; i <= 6; ++i)
        Print(WString(L"[") + WString(i) + L"]=" + Library::Argument(i));
    Print(WString(L"path=") + Library::ModulePath());
    Print(WString(L"mode=") + ModeName(ReadCommandLine().mode));
}

void WarnEachArgument(int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        Warn(Library::Argument(i).buffer);
}

DWORD WINAPI WarnMany(void* name)
{
    const WString prefix = WString(static_cast<const wchar_t*>(name)) +
                           L" says something long enough to be written in several pieces ";
    for (int32_t i = 0; i < 400; ++i)
        Warn((prefix + WString(i)).buffer);
    return 0;
}

void WarnFromTwoThreads()
{
    HANDLE threads[2] = {
        CreateThread(nullptr, 0, WarnMany, const_cast<wchar_t*>(L"first"), 0, nullptr),
        CreateThread(nullptr, 0, WarnMany, const_cast<wchar_t*>(L"second"), 0, nullptr),
    };
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    CloseHandle(threads[0]);
    CloseHandle(threads[1]);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    Library::Start(instance);
    const std::wstring what = EnvironmentText(L"TARMESH_PROBE");
    if (what == L"args")
        PrintArguments();
    else if (what == L"warn")
        WarnEachArgument(_wtoi(EnvironmentText(L"TARMESH_PROBE_LINES").c_str()));
    else if (what == L"warn-threads")
        WarnFromTwoThreads();
    Library::Stop();
    return 0;
}
