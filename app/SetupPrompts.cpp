#include "SetupPrompts.h"

#include <windows.h>

#include "app/Progress.h"

bool SetupPrompts::RetryLockedTarget()
{
    return MessageBoxW(SetupWindows::window, L"Please close Revit before installing the tarmesh plugin.", L"Error",
                       MB_RETRYCANCEL | MB_ICONEXCLAMATION) == IDRETRY;
}

void SetupPrompts::ReportCorrupted()
{
    MessageBoxW(SetupWindows::window, L"Installation ERROR: archive data corrupted.", L"Error", MB_ICONERROR);
}

void SetupPrompts::ReportWriteFailed(const WString& target)
{
    const WString text = L"Installation ERROR: cannot write " + target + L" (is the disk full?)";
    MessageBoxW(SetupWindows::window, text.buffer, L"Error", MB_ICONERROR);
}

void SetupPrompts::ReportCannotWrite(const WString& target, uint32_t windowsError)
{
    ReportFailure(CannotWriteText(target, windowsError));
}

void SetupPrompts::ReportFailure(const WString& text)
{
    MessageBoxW(SetupWindows::window, text.buffer, L"Error", MB_ICONERROR);
}

void SetupPrompts::ReportProgress(const wchar_t* line)
{
    AppendProgress(line);
    Sleep(5);
}
