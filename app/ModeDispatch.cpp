#include "ModeDispatch.h"

#include <cwchar>

#include "app/Progress.h"
#include "app/SetupWindow.h"
#include "app/UninstallProcedure.h"
#include "library/Library.h"
#include "package/PackageBuilder.h"

namespace {

bool IsArgument0(const wchar_t* wanted)
{
    const WString argument = Library::Argument(0);
    return std::wcscmp(argument.buffer != nullptr ? argument.buffer : L"", wanted) == 0;
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
    if (!UninstallAddin())
        MessageBoxW(nullptr, L"Uninstall failed.", L"Error", MB_ICONERROR);
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
    if (IsArgument0(L"/create"))
        return SetupMode::Create;
    if (IsArgument0(L"/uninstall"))
        return SetupMode::Uninstall;
    return SetupMode::Interactive;
}

void RunMode(SetupMode mode, HINSTANCE instance, int showCommand)
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
    }
}
