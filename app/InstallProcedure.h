#pragma once

// The installation, run from the setup window's "Install": the add-in into
// the Addins folder of every Revit of the installation years that the user
// has, the setup program into the setup folder, the uninstall entry, and the
// "install" report.

#include <cstdint>

#include "app/InstallationYears.h"
#include "library/TString.h"

// 0 when the installation is complete, -1 when it failed (the user has been
// told why, except for an empty package).
int32_t InstallAddin();

// The paths both procedures share, below the roaming application-data
// folder `appData` (with its final "\").
WString AddinsFolderOf(const WString& appData, int32_t year);
WString SetupFolderOf(const WString& appData);

extern const wchar_t* const UninstallKey;
extern const wchar_t* const RunOnceKey;
extern const wchar_t* const RunOnceValue;
