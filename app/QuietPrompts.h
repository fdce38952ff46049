#pragma once

#include "app/InstallProcedure.h"

// The answers of an unattended installation: nobody is there to close
// Revit, so a held file ends it at once, and everything the window would
// show goes to the log instead.
class QuietPrompts : public InstallPrompts
{
public:
    bool RetryLockedTarget() override;
    void ReportCorrupted() override;
    void ReportWriteFailed(const WString& target) override;
    void ReportCannotWrite(const WString& target, uint32_t windowsError) override;
    void ReportFailure(const WString& text) override;
    void ReportProgress(const wchar_t* line) override;
};
