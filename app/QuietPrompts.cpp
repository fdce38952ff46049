#include "QuietPrompts.h"

#include <windows.h>

#include "app/SetupLog.h"

bool QuietPrompts::RetryLockedTarget()
{
    SetupLog::Failure(WString(L"a file of the add-in is held by another program (Revit?)"), GetLastError());
    return false;
}

void QuietPrompts::ReportCorrupted()
{
    SetupLog::Failure(WString(L"Installation ERROR: archive data corrupted."), GetLastError());
}

void QuietPrompts::ReportWriteFailed(const WString& target)
{
    SetupLog::Failure(L"cannot write " + target + L" (is the disk full?)", GetLastError());
}

void QuietPrompts::ReportCannotWrite(const WString& target, uint32_t windowsError)
{
    SetupLog::Failure(L"cannot write " + target, windowsError);
}

// The text names a Windows error itself where there is one.
void QuietPrompts::ReportFailure(const WString& text)
{
    SetupLog::Line(L"failed: " + text);
}

// The line comes with its own CR LF, which the log adds itself.
void QuietPrompts::ReportProgress(const wchar_t* line)
{
    const WString text(line);
    SetupLog::Line(L"written " + text.Left(text.length - 5));
}
