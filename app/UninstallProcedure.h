#pragma once

// The uninstaller, run by "/uninstall": removes the add-in from the Addins
// folder of every installation year, deletes the uninstall entry and
// removes the setup folder: per user by a log-on command that deletes it,
// the running copy of this program included; for all users at once, but
// for the running program, which goes at the next restart.

#include "library/TString.h"

enum class UninstallResult
{
    Removed,
    Held,    // another program (Revit) holds a file of the add-in: nothing was removed
    Failed,  // a file or folder of the add-in could not be removed; the entry stays
    AnotherSetup,  // another tarmesh setup is running: nothing was removed
};

class Disk;
class SetupScope;

// Every file to remove is looked at first: while Revit holds one, nothing
// is removed at all. Whenever the result is not Removed the uninstall entry
// stays, so the user can try again. A per-user removal leaves the
// computer's add-in alone, and one for all users every user's own.
UninstallResult UninstallAddin(const SetupScope& scope);

// The add-in from one Addins folder: its manifest first, so that Revit
// never loads a half-removed add-in, then leftovers and the add-in
// subfolder; each removal is logged. False when something stayed.
[[nodiscard]] bool RemoveAddin(Disk& disk, const WString& addinsFolder);

// The RunOnce command: cmd.exe /c RD /S /Q and the quoted setup folder
// without its final "\".
WString LogOnCleanUpCommand(const WString& setupFolder);
