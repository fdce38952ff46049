#pragma once

// What the installed-programs list shows about an installation besides its
// names: how much disk it takes and when it was made.

#include <cstdint>

#include "library/TString.h"

// Kilobytes, rounded up, of the add-in as installed for the found year that
// holds the most (the manifest and the add-in subfolder) plus the setup
// program copy. Every year has its own copy of the add-in, but the list
// shows one size for a program, and the largest is what one Revit costs.
class SetupScope;
uint32_t InstalledKilobytes(const SetupScope& scope, const WString& programCopy);

// Today's local date as YYYYMMDD, the form the list reads "InstallDate" in.
WString InstallDateToday();
