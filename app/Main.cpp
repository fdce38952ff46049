#include <windows.h>

#include "app/ModeDispatch.h"
#include "library/Library.h"

// The interactive modes end with 0 whatever happened: their user learns of
// failures from message boxes. The unattended ones tell by the exit code.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    Library::Start(instance);
    const int exitCode = RunMode(SelectMode(), instance, showCommand);
    Library::Stop();
    return exitCode;
}
