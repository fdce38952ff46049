#pragma once

// The process-wide context: the running program's path, its command-line
// arguments, its module instance and the lock that keeps log lines whole.
// The entry point calls Start first and Stop last; nothing else creates or
// changes these values.

#include <cstdint>
#include <memory>

#include <windows.h>

#include "TString.h"

class Library
{
public:
    static void Start(HINSTANCE instance);
    static void Stop();

    // Argument `index` after the program's own path, with one pair of
    // enclosing double quotes removed; the empty string when there is none.
    static WString Argument(int32_t index);
    // How many arguments follow the program's own path, empty ones included.
    static int32_t ArgumentCount();
    static WString ModulePath();
    static HINSTANCE Instance();

    // Held by the console log for one whole line.
    static CRITICAL_SECTION logLock;

private:
    static WString ReadModulePath();
    static void SplitCommandLine();

    static std::unique_ptr<WString> modulePath;
    static std::unique_ptr<WString[]> arguments;
    static int32_t splitCount;
    static HINSTANCE instance;
};
