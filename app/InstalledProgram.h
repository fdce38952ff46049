#pragma once

// What the installed-programs list shows about an installation besides its
// names: how much disk it takes and when it was made.

#include <cstdint>
#include <vector>

#include "library/TString.h"

// Kilobytes, rounded up, of the add-in as installed for the year of `years`
// that holds the most (the manifest and the add-in subfolder) plus the setup
// program copy. Every year has its own copy of the add-in, but the list
// shows one size for a program, and the largest is what one Revit costs.
class SetupScope;
uint32_t InstalledKilobytes(const SetupScope& scope, const std::vector<int32_t>& years, const WString& programCopy);

// Today's local date as YYYYMMDD, the form the list reads "InstallDate" in.
WString InstallDateToday();
