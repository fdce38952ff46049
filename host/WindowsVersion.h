#pragma once

// The running Windows version as "major.minor" (10.0, 6.1), read from the
// registry each call; the old text value when the numbers are missing, and
// the empty text when neither can be read.

#include "library/TString.h"

[[nodiscard]] WString GetWindowsVersion();
