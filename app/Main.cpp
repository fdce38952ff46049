#include <windows.h>

#include "app/CommandLine.h"
#include "app/ModeDispatch.h"
#include "library/Library.h"

// The interactive modes end with 0 whatever happened once their user has
// been shown it in a message box. The unattended ones tell by the exit code.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    // The installer runs from Downloads and the uninstaller from the setup
    // folder, both writable by anyone: every library loaded from here on
    // (WinHTTP and WinMM at their first call, what the window loads) comes
    // from System32, never from beside the program.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    Library::Start(instance);
    const int exitCode = RunMode(ReadCommandLine(), instance, showCommand);
    Library::Stop();
    return exitCode;
}
