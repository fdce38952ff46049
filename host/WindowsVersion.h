#pragma once

// The running Windows version as "major.minor" (10.0, 6.1), read from the
// machine-wide registry rather than from the system's version functions,
// which report whatever the program's manifest lets them.

#include "library/TString.h"

// The two numeric values that newer releases keep win over the older
// "CurrentVersion" text; an unreadable key or text gives the empty string.
// Reads the registry again on every call.
WString GetWindowsVersion();
