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
};

InstallResult InstallAddin(InstallPrompts& prompts);

// "Installation ERROR: <target> cannot be written (Windows error N)."
WString CannotWriteText(const WString& target, uint32_t windowsError);

// The paths both procedures share, below the roaming application-data
// folder `appData` (with its final "\").
WString AddinsFolderOf(const WString& appData, int32_t year);
WString SetupFolderOf(const WString& appData);

extern const wchar_t* const UninstallKey;
extern const wchar_t* const RunOnceKey;
extern const wchar_t* const RunOnceValue;
