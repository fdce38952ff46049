#include <windows.h>

#include "app/ModeDispatch.h"
#include "library/Library.h"

// The exit code is 0 whatever happened: the user learns of failures only
// from the message boxes of each mode.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    Library::Start(instance);
    RunMode(SelectMode(), instance, showCommand);
    Library::Stop();
    return 0;
}
