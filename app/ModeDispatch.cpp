#include "ModeDispatch.h"

#include <cwchar>

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

// The uninstaller and the setup window are not part of this build yet:
// until they are, their modes end at once.
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
