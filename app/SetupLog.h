#pragma once

// The log of an unattended run: UTF-8 lines, each with the local date and
// time, appended to a file that IT staff name on the command line (or the
// temporary folder's tarmesh-setup.log). Process-wide, like the console
// log: the install and uninstall procedures write to it wherever they are,
// and every line is on disk before the next step, so a run that is cut
// short still tells how far it came. Without an open log nothing happens.

#include <cstdint>

#include "library/TString.h"

class SetupLog
{
public:
    // Appends from now on to `path`; false when it cannot be opened.
    [[nodiscard]] static bool Open(const WString& path);
    static void Close();

    static void Line(const WString& text);
    // A failure, with the Windows error code that goes with it.
    static void Failure(const WString& text, uint32_t windowsError);

    // %TEMP%\tarmesh-setup.log.
    [[nodiscard]] static WString DefaultPath();
};
