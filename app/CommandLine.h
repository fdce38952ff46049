#pragma once

// The command line, read once at the start into one value: the mode, the
// log file of an unattended run, and what was wrong with a line that is
// refused. Nothing else looks at the arguments.

#include <vector>

#include "app/ModeDispatch.h"
#include "library/TString.h"

struct CommandLine
{
    SetupMode mode = SetupMode::Interactive;
    // "/allusers": for every user of the computer.
    bool allUsers = false;
    // "/elevated": the window or the uninstaller started itself again with
    // an administrator's rights, and must not do so once more.
    bool elevated = false;
    // The /log file; empty when none was given (the default log is used).
    WString logPath;
    // Why a BadCommandLine line is refused, in words for the log.
    WString fault;

    [[nodiscard]] bool IsQuiet() const
    {
        return mode == SetupMode::QuietInstall || mode == SetupMode::QuietUninstall ||
               mode == SetupMode::BadCommandLine;
    }
};

// "/create" and "/uninstall" first are matched exactly (case counts), as
// the uninstall entry and the build write them. A quiet switch anywhere
// makes the run unattended: "/quiet", or out of other installers' habit
// "/qn", "/q", "/s", "/silent" or "/verysilent", in any letter case. Then
// every other argument must be understood ("/log FILE", "/allusers"), or
// the line is refused, so that a deployment tool never waits for a window
// nobody sees. Without a quiet switch anything unknown is the window (or
// the uninstaller after "/uninstall"), as ever, for all users when
// "/allusers" is among the arguments.
[[nodiscard]] CommandLine ParseCommandLine(const std::vector<WString>& arguments);

// The running program's arguments, as the library context split them.
[[nodiscard]] CommandLine ReadCommandLine();
