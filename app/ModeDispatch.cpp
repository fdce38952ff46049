#include "ModeDispatch.h"

#include <cwchar>

#include "app/InstallProcedure.h"
#include "app/Progress.h"
#include "app/QuietPrompts.h"
#include "app/SetupLog.h"
#include "app/SetupVersion.h"
#include "app/SetupWindow.h"
#include "app/UninstallProcedure.h"
#include "host/UserAccount.h"
#include "library/Library.h"
#include "package/PackageBuilder.h"

namespace {

bool IsArgument(int32_t index, const wchar_t* wanted)
{
    const WString argument = Library::Argument(index);
    return std::wcscmp(argument.buffer != nullptr ? argument.buffer : L"", wanted) == 0;
}

bool IsPresent(int32_t index)
{
    return Library::Argument(index).length > 0;
}

// After "/quiet" at `index`: nothing, or "/log" and a file, and no more.
bool QuietArgumentsAreValid(int32_t index)
{
    if (!IsPresent(index + 1))
        return true;
    return IsArgument(index + 1, L"/log") && IsPresent(index + 2) && !IsPresent(index + 3);
}

// Where the log of a quiet run goes: its /log file, else the temporary folder.
WString QuietLogPath(int32_t quietIndex)
{
    return IsPresent(quietIndex + 2) ? Library::Argument(quietIndex + 2) : SetupLog::DefaultPath();
}

int InstallExitCode(InstallResult result)
{
    switch (result) {
    case InstallResult::Installed:
        return ExitDone;
    case InstallResult::Busy:
        return ExitBusy;
    case InstallResult::NoRevit:
        return ExitNoRevit;
    case InstallResult::Failed:
        break;
    }
    return ExitFailed;
}

int UninstallExitCode(UninstallResult result)
{
    switch (result) {
    case UninstallResult::Removed:
        return ExitDone;
    case UninstallResult::Held:
    case UninstallResult::AnotherSetup:
        return ExitBusy;
    case UninstallResult::Failed:
        break;
    }
    return ExitFailed;
}

// No window and no message box: nobody may be there to answer, and there
// may be no desktop at all. Whoever deploys the program this way accepts
// the licence for the users.
int RunQuietMode(bool install, int32_t quietIndex)
{
    (void)SetupLog::Open(QuietLogPath(quietIndex));
    SetupLog::Line(L"tarmesh setup " + WString(SetupVersion()) + (install ? L", quiet install" : L", quiet uninstall") +
                   L", " + Library::ModulePath());
    int code = ExitFailed;
    if (RunsAsLocalSystem()) {
        SetupLog::Line(WString(L"refused: running as LocalSystem, the add-in would go to the system's own "
                               L"profile; deploy it in the user's context"));
    } else if (install) {
        QuietPrompts prompts;
        code = InstallExitCode(InstallAddin(prompts));
    } else {
        code = UninstallExitCode(UninstallAddin());
    }
    SetupLog::Line(L"exit code " + WString(code));
    SetupLog::Close();
    return code;
}

// The maker's build tool: missing arguments reach the builder as empty
// texts, and its result alone decides the answer.
void RunCreateMode()
{
    const bool created = CreatePackage(Library::Argument(1), Library::Argument(2), Library::Argument(3),
                                       Library::Argument(4));
    MessageBoxW(nullptr, created ? L"OK" : L"BUG", L"Library Message Box", 0);
}

void RunUninstallMode()
{
    switch (UninstallAddin()) {
    case UninstallResult::Removed:
        break;
    case UninstallResult::AnotherSetup:
        MessageBoxW(nullptr, L"Uninstall failed.\nAnother tarmesh setup is running; run the uninstall again when it has finished.",
                    L"Error", MB_ICONERROR);
        break;
    case UninstallResult::Held:
        MessageBoxW(nullptr, L"Uninstall failed.\nPlease close Revit and run the uninstall again.", L"Error",
                    MB_ICONERROR);
        break;
    case UninstallResult::Failed:
        MessageBoxW(nullptr, L"Uninstall failed.", L"Error", MB_ICONERROR);
        break;
    }
}

void RunMessageLoop()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab, Space, Enter and Escape work as in any dialog, for users
        // without a mouse.
        if (IsDialogMessageW(SetupWindows::window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Without a window (no desktop to show it on) nothing could ever end the
// message loop, so the program ends at once instead.
void RunInteractiveMode(HINSTANCE instance, int showCommand)
{
    RECT workArea = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    RegisterSetupClass(instance);
    if (!CreateSetupWindow(instance, workArea))
        return;
    ShowWindow(SetupWindows::window, showCommand);
    UpdateWindow(SetupWindows::window);
    RunMessageLoop();
}

}  // namespace

SetupMode SelectMode()
{
    if (IsArgument(0, L"/create"))
        return SetupMode::Create;
    if (IsArgument(0, L"/uninstall") && IsArgument(1, L"/quiet"))
        return QuietArgumentsAreValid(1) ? SetupMode::QuietUninstall : SetupMode::BadCommandLine;
    if (IsArgument(0, L"/uninstall"))
        return SetupMode::Uninstall;
    if (IsArgument(0, L"/quiet"))
        return QuietArgumentsAreValid(0) ? SetupMode::QuietInstall : SetupMode::BadCommandLine;
    return SetupMode::Interactive;
}

int RunMode(SetupMode mode, HINSTANCE instance, int showCommand)
{
    switch (mode) {
    case SetupMode::Create:
        RunCreateMode();
        break;
    case SetupMode::Uninstall:
        RunUninstallMode();
        break;
    case SetupMode::Interactive:
        RunInteractiveMode(instance, showCommand);
        break;
    case SetupMode::QuietInstall:
        return RunQuietMode(true, 0);
    case SetupMode::QuietUninstall:
        return RunQuietMode(false, 1);
    case SetupMode::BadCommandLine:
        return ExitBadCommandLine;
    }
    return ExitDone;
}
