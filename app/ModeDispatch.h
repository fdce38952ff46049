#pragma once

#include <windows.h>

// The program's modes: three chosen by the first argument, and the
// unattended ones that deployment tools start.
enum class SetupMode
{
    Interactive,
    Create,
    Uninstall,
    QuietInstall,    // /quiet [/log FILE]
    QuietUninstall,  // /uninstall /quiet [/log FILE]
    BadCommandLine,  // /quiet followed by anything else
};

// The exit codes of the unattended modes, the ones msiexec gives, which
// deployment tools read. The interactive modes always end with Done.
constexpr int ExitDone = 0;
constexpr int ExitFailed = 1603;
constexpr int ExitBusy = 1618;  // Revit holds the add-in, or another setup runs: nothing changed
constexpr int ExitNoRevit = 1633;
constexpr int ExitBadCommandLine = 1639;

// "/create", "/uninstall", "/quiet" and "/log" are matched exactly (case
// counts, no trimming); anything else first, or no argument, is the
// interactive installer. "/uninstall" followed by anything but "/quiet" is
// the uninstaller as ever.
SetupMode SelectMode();

// Runs the chosen mode to its end on this thread; the exit code.
int RunMode(SetupMode mode, HINSTANCE instance, int showCommand);
