#pragma once

#include "app/InstallProcedure.h"

// The installer's answers to the package extraction: message boxes owned
// by the setup window and progress lines in its text box.
class SetupPrompts : public InstallPrompts
{
public:
    // Retry and Cancel; any answer but Retry, a box that could not be
    // shown included, gives up, so the question never loops unanswered.
    bool RetryLockedTarget() override;
    void ReportCorrupted() override;
    void ReportWriteFailed(const WString& target) override;
    void ReportCannotWrite(const WString& target, uint32_t windowsError) override;
    void ReportFailure(const WString& text) override;
    // The short sleep lets the window show each line as it comes.
    void ReportProgress(const wchar_t* line) override;
};
