#include "Library.h"

#include <objbase.h>
#include <shellapi.h>

CRITICAL_SECTION Library::logLock;
std::unique_ptr<WString> Library::modulePath;
std::unique_ptr<WString[]> Library::arguments;
int32_t Library::splitCount = 0;
HINSTANCE Library::instance = nullptr;

void Library::Start(HINSTANCE moduleInstance)
{
    modulePath = std::make_unique<WString>(ReadModulePath());
    SplitCommandLine();
    instance = moduleInstance;
    InitializeCriticalSection(&logLock);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
}

void Library::Stop()
{
    modulePath.reset();
    arguments.reset();
    splitCount = 0;
    CoUninitialize();
    DeleteCriticalSection(&logLock);
    instance = nullptr;
}

WString Library::Argument(int32_t index)
{
    WString result(L"");
    const int32_t stored = splitCount > 0 ? splitCount - 1 : 0;
    if (arguments != nullptr && index >= 0 && index < stored) {
        result = arguments[index];
        result.Unquote();
    }
    return result;
}

int32_t Library::ArgumentCount()
{
    return splitCount > 0 ? splitCount - 1 : 0;
}

WString Library::ModulePath()
{
    return modulePath != nullptr ? *modulePath : WString(L"");
}

HINSTANCE Library::Instance()
{
    return instance;
}

// Grows the buffer until the whole path fits, so a deep install folder is
// never cut short.
WString Library::ReadModulePath()
{
    WString path(L"");
    for (DWORD size = 256; size <= 65536; size *= 2) {
        WString buffer(WString::Count{static_cast<int32_t>(size)});
        const DWORD written = GetModuleFileNameW(nullptr, buffer.buffer, size);
        if (written == 0)
            return path;
        if (written < size) {
            path.Set(buffer.buffer, static_cast<int32_t>(written));
            return path;
        }
    }
    return path;
}

// A backslash right before a double quote is doubled first, so a quoted
// folder path such as "C:\Out\" keeps its trailing backslash and its
// closing quote still ends the argument.
void Library::SplitCommandLine()
{
    WString line(GetCommandLineW());
    line.Replace(L"\\\"", L"\\\\\"");
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(line.buffer != nullptr ? line.buffer : L"", &count);
    splitCount = 0;
    arguments.reset();
    if (split == nullptr)
        return;
    splitCount = count;
    if (count > 1) {
        arguments = std::make_unique<WString[]>(count - 1);
        for (int i = 1; i < count; ++i)
            arguments[i - 1].Set(split[i]);
    }
    LocalFree(split);
}
