#include <windows.h>

#include "app/ModeDispatch.h"
#include "library/Library.h"

// The exit code is 0 whatever happened: the user learns of failures only
// from the message boxes of each mode.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    // The installer runs from Downloads and the uninstaller from the setup
    // folder, both writable by anyone: every library loaded from here on
    // (WinHTTP and WinMM at their first call, what the window loads) comes
    // from System32, never from beside the program.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    Library::Start(instance);
    RunMode(SelectMode(), instance, showCommand);
    Library::Stop();
    return 0;
}
