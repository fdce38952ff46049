#include "SetupLog.h"

#include <memory>

#include <windows.h>

#include "library/Date.h"
#include "library/File.h"

namespace {

std::unique_ptr<File> logFile;

}  // namespace

bool SetupLog::Open(const WString& path)
{
    auto file = std::make_unique<File>();
    if (!file->Open(path, true, false))
        return false;
    logFile = std::move(file);
    return true;
}

void SetupLog::Close()
{
    logFile.reset();
}

void SetupLog::Line(const WString& text)
{
    if (logFile == nullptr)
        return;
    logFile->WriteUtf8Text(Date::Now().Format(L"#Y-#+M-#+D #+h:#+m:#+s  ") + text + L"\r\n");
    std::fflush(logFile->stream);
}

void SetupLog::Failure(const WString& text, uint32_t windowsError)
{
    Line(L"failed: " + text + L" (Windows error " + WString(static_cast<int32_t>(windowsError)) + L")");
}

WString SetupLog::DefaultPath()
{
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH)
        return WString(L"");
    return WString(folder) + L"tarmesh-setup.log";
}
