#pragma once

// The uninstaller, run by "/uninstall": removes the add-in from the Addins
// folder of every installation year, deletes the uninstall entry and leaves a
// log-on command that deletes the setup folder, the running copy of this
// program included.

#include "library/TString.h"

// False when a file or folder of the add-in could not be removed; the
// uninstall entry then stays, so the user can try again.
bool UninstallAddin();

// The RunOnce command: cmd.exe /c RD /S /Q and the quoted setup folder
// without its final "\".
WString LogOnCleanUpCommand(const WString& appData);
