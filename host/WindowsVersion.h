#pragma once
// STUB until the host branch is merged.
#include "library/TString.h"
WString GetWindowsVersion();
