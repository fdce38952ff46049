#pragma once

#include <windows.h>

// The program's three modes, chosen by its first argument alone.
enum class SetupMode
{
    Interactive,
    Create,
    Uninstall,
};

// "/create" and "/uninstall" are matched exactly (case counts, no trimming);
// anything else, or no argument, is the interactive installer.
SetupMode SelectMode();

// Runs the chosen mode to its end on this thread.
void RunMode(SetupMode mode, HINSTANCE instance, int showCommand);
