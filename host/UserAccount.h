#pragma once

// Whose profile an installation would land in.

#include "library/TString.h"

// True when the program runs as the LocalSystem account, as some
// deployment tools start programs by default: the add-in would then go to
// the system's own profile, where no user's Revit finds it.
[[nodiscard]] bool RunsAsLocalSystem();

// The running account's SID as text ("S-1-5-21-..."); empty when the token
// cannot be read.
[[nodiscard]] WString CurrentUserSid();
