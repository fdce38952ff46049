#include "ModeDispatch.h"

#include "app/CommandLine.h"
#include "app/InstallProcedure.h"
#include "app/Progress.h"
#include "app/QuietPrompts.h"
#include "app/SetupLog.h"
#include "app/SetupScope.h"
#include "app/SetupVersion.h"
#include "app/SetupWindow.h"
#include "app/UninstallProcedure.h"
#include "host/UserAccount.h"
#include "library/Library.h"
#include "package/PackageBuilder.h"

#include <shellapi.h>

namespace {

int InstallExitCode(InstallResult result)
{
    switch (result) {
    case InstallResult::Installed:
    case InstallResult::InstalledForAllUsers:
        return ExitDone;
    case InstallResult::Busy:
    case InstallResult::HeldPartway:
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

WString QuietModeName(const CommandLine& line)
{
    const WString scope = line.allUsers ? L" for all users" : L"";
    switch (line.mode) {
    case SetupMode::QuietInstall:
        return L"quiet install" + scope;
    case SetupMode::QuietUninstall:
        return L"quiet uninstall" + scope;
    default:
        return WString(L"invalid command line");
    }
}

// Where a quiet run writes its log: the /log file, else the temporary
// folder. As LocalSystem only a file named on the command line: that
// account's temporary folder is one in which any user can create files,
// and a file or link prepared there would be written with the system's
// rights.
WString QuietLogPath(const CommandLine& line, bool asLocalSystem)
{
    if (line.logPath.length > 0 || asLocalSystem)
        return line.logPath;
    return SetupLog::DefaultPath();
}

int QuietOutcome(const CommandLine& line, bool asLocalSystem)
{
    if (line.mode == SetupMode::BadCommandLine) {
        SetupLog::Line(L"refused: invalid command line: " + line.fault);
        return ExitBadCommandLine;
    }
    if (line.allUsers && !RunsElevated()) {
        SetupLog::Line(WString(L"refused: /allusers needs an administrator's elevated rights, or LocalSystem; run "
                               L"it elevated"));
        return ExitFailed;
    }
    if (!line.allUsers && asLocalSystem) {
        SetupLog::Line(WString(L"refused: running as LocalSystem, the add-in would go to the system's own "
                               L"profile; deploy it in the user's context, or for all users of the computer "
                               L"with /allusers"));
        return ExitFailed;
    }
    const SetupScope scope = SetupScope::For(line.allUsers);
    if (line.mode == SetupMode::QuietInstall) {
        QuietPrompts prompts;
        return InstallExitCode(InstallAddin(prompts, scope));
    }
    return UninstallExitCode(UninstallAddin(scope));
}

// No window and no message box: nobody may be there to answer, and there
// may be no desktop at all. Whoever deploys the program this way accepts
// the licence for the users.
int RunQuietMode(const CommandLine& line)
{
    // Nor a system dialog, such as the one for a drive without a disc
    // that a /log path names.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    const bool asLocalSystem = RunsAsLocalSystem();
    const WString logPath = QuietLogPath(line, asLocalSystem);
    if (logPath.length > 0)
        (void)SetupLog::Open(logPath);
    SetupLog::Line(L"tarmesh setup " + WString(SetupVersion()) + L", " + QuietModeName(line) + L", " +
                   Library::ModulePath());
    const int code = QuietOutcome(line, asLocalSystem);
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

void RunUninstallMode(const SetupScope& scope)
{
    switch (UninstallAddin(scope)) {
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
// message loop, so the program ends at once instead, and says by its exit
// code that nothing was installed.
int RunInteractiveMode(HINSTANCE instance, int showCommand, const SetupScope& scope)
{
    RECT workArea = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    SetInstallScope(scope);
    RegisterSetupClass(instance);
    if (!CreateSetupWindow(instance, workArea))
        return ExitFailed;
    ShowWindow(SetupWindows::window, showCommand);
    UpdateWindow(SetupWindows::window);
    RunMessageLoop();
    return ExitDone;
}

// The window and the uninstaller for all users, started without an
// administrator's rights, start themselves again with them (the UAC
// prompt) and end. Started so already and still without them, they say so
// rather than ask again and again.
int StartElevated(const CommandLine& line)
{
    if (line.elevated) {
        MessageBoxW(nullptr, L"Installing or removing tarmesh for all users of this computer needs an administrator.",
                    L"Error", MB_ICONERROR);
        return ExitFailed;
    }
    const WString program = Library::ModulePath();
    SHELLEXECUTEINFOW start = {};
    start.cbSize = sizeof start;
    start.fMask = SEE_MASK_NOASYNC;
    start.lpVerb = L"runas";
    start.lpFile = program.buffer;
    start.lpParameters =
        line.mode == SetupMode::Uninstall ? L"/uninstall /allusers /elevated" : L"/allusers /elevated";
    start.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&start) ? ExitDone : ExitFailed;
}

}  // namespace

int RunMode(const CommandLine& line, HINSTANCE instance, int showCommand)
{
    if (line.IsQuiet())
        return RunQuietMode(line);
    if (line.mode == SetupMode::Create) {
        RunCreateMode();
        return ExitDone;
    }
    if (line.allUsers && !RunsElevated())
        return StartElevated(line);
    if (line.mode == SetupMode::Uninstall) {
        RunUninstallMode(SetupScope::For(line.allUsers));
        return ExitDone;
    }
    return RunInteractiveMode(instance, showCommand, SetupScope::For(line.allUsers));
}
