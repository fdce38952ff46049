#pragma once

// The installation, run from the setup window's "Install": the add-in into
// the Addins folder of every Revit of the installation years that the user
// has, the setup program into the setup folder, the uninstall entry, and the
// "install" report.

#include <cstdint>

#include "app/InstallationYears.h"
#include "library/TString.h"
#include "package/Extraction.h"

// What the installation tells its user and asks: the setup window answers
// with message boxes owned by itself.
class InstallPrompts : public ExtractionPrompts
{
public:
    // A failure that ends the installation, in words for the user.
    virtual void ReportFailure(const WString& text) = 0;
};

enum class InstallResult
{
    Installed,
    Failed,   // the user has been told why, except for an empty package
    Busy,     // Revit held a file and the user gave up, or another setup runs; nothing changed
    HeldPartway,  // Revit took hold of a file after writing began and the user gave up: some
                  // years have no add-in now; each year's state has been told
    NoRevit,  // no Revit of the installation years; nothing written
    InstalledForAllUsers,  // per user: every Revit found has the computer's add-in; the user's own copies went
};

class SetupScope;

// Into the scope's folders (the user's, or the computer's); a per-user
// installation leaves the years that the computer's add-in serves to it,
// and one for all users removes every local profile's own copy of the years
// it installs.
InstallResult InstallAddin(InstallPrompts& prompts, const SetupScope& scope);

// Deletes the scope's uninstall entry; true when it is gone (or was never
// there), else the registry's error is the thread's last error.
[[nodiscard]] bool DeleteUninstallEntry(const SetupScope& scope);

// "Installation ERROR: <target> cannot be written (Windows error N)."
WString CannotWriteText(const WString& target, uint32_t windowsError);

extern const wchar_t* const UninstallKey;
extern const wchar_t* const RunOnceKey;
extern const wchar_t* const RunOnceValue;
