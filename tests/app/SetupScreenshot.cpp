// setup-screenshot: starts the setup program, ticks its check box, saves a
// picture of its window as a BMP file and closes it again. For a display
// nobody looks at (Xvfb) and for the README's picture.
//   setup-screenshot SETUP_PROGRAM PICTURE.bmp

#include <cstdio>
#include <string>

#include <windows.h>

#include "SetupDriver.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fputs("usage: setup-screenshot SETUP_PROGRAM PICTURE.bmp\n", stderr);
        return 2;
    }
    SetupDriver setup;
    if (!setup.Start(argv[1])) {
        std::fputs("setup-screenshot: the setup window did not appear\n", stderr);
        return 1;
    }
    setup.Click(102);
    Sleep(500);
    const bool saved = setup.SaveScreenshot(argv[2]);
    PostMessageW(setup.window, WM_CLOSE, 0, 0);
    setup.WaitForExit();
    return saved ? 0 : 1;
}
