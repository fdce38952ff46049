// revit-stand-in LIBRARY: holds a library of the add-in the way a running
// Revit does, mapped as an image, so that it can be renamed but neither
// rewritten nor deleted. Prints "held" once it is, then waits until it is
// ended; exit code 1 when the library cannot be loaded.

#include <cstdio>

#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2 || LoadLibraryExW(argv[1], nullptr, DONT_RESOLVE_DLL_REFERENCES) == nullptr) {
        std::printf("not held (%lu)\n", argc < 2 ? 0ul : GetLastError());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
