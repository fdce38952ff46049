#include "ModeDispatch.h"

#include <cwchar>

#include "library/Library.h"

namespace {

bool IsArgument0(const wchar_t* wanted)
{
    const WString argument = Library::Argument(0);
    return std::wcscmp(argument.buffer != nullptr ? argument.buffer : L"", wanted) == 0;
}

// The package builder, the uninstaller and the setup window are not part of
// this build yet: until they are, their modes end at once.
void RunCreateMode() {}
void RunUninstallMode() {}
void RunInteractiveMode(HINSTANCE, int) {}

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
