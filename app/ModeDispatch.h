#pragma once

#include <windows.h>

// The program's modes: three chosen by the first argument, and the
// unattended ones that deployment tools start.
enum class SetupMode
{
    Interactive,
    Create,
    Uninstall,
    QuietInstall,    // /quiet [/allusers] [/log FILE]
    QuietUninstall,  // /uninstall /quiet [/allusers] [/log FILE]
    BadCommandLine,  // a quiet switch with anything not understood
};

struct CommandLine;

// The exit codes of the unattended modes, the ones msiexec gives, which
// deployment tools read. The interactive modes always end with Done.
constexpr int ExitDone = 0;
constexpr int ExitFailed = 1603;
constexpr int ExitBusy = 1618;  // Revit holds the add-in, or another setup runs: nothing changed
constexpr int ExitNoRevit = 1633;
constexpr int ExitBadCommandLine = 1639;

// Runs the mode the command line chose to its end on this thread; the exit
// code.
int RunMode(const CommandLine& line, HINSTANCE instance, int showCommand);
