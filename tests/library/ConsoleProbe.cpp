// A console program that colours its console, writes one Warn line and
// reports the colour the console has afterwards. Run on a terminal by
// warn_console_colour.sh.

#include <cstdio>

#include <windows.h>

#include "library/Library.h"
#include "library/Log.h"

int wmain()
{
    Library::Start(GetModuleHandleW(nullptr));
    HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    SetConsoleTextAttribute(console, 0x1F);
    Warn(L"on a console");
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    const bool known = GetConsoleScreenBufferInfo(console, &info) != 0;
    std::printf("attribute=%s%d\n", known ? "" : "unknown ", info.wAttributes);
    std::fflush(stdout);
    Library::Stop();
    return 0;
}
