#pragma once

// The uninstaller, run by "/uninstall": removes the add-in from the Addins
// folder of every installation year, deletes the uninstall entry and leaves a
// log-on command that deletes the setup folder, the running copy of this
// program included.

#include "library/TString.h"

enum class UninstallResult
{
    Removed,
    Held,    // another program (Revit) holds a file of the add-in: nothing was removed
    Failed,  // a file or folder of the add-in could not be removed; the entry stays
    AnotherSetup,  // another tarmesh setup is running: nothing was removed
};

// Every file to remove is looked at first: while Revit holds one, nothing
// is removed at all. Whenever the result is not Removed the uninstall entry
// stays, so the user can try again.
UninstallResult UninstallAddin();

// The RunOnce command: cmd.exe /c RD /S /Q and the quoted setup folder
// without its final "\".
WString LogOnCleanUpCommand(const WString& appData);
