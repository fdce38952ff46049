#pragma once

// Whose profile an installation would land in.

#include <vector>

#include "library/TString.h"

// True when the program runs as the LocalSystem account, as some
// deployment tools start programs by default: the add-in would then go to
// the system's own profile, where no user's Revit finds it.
[[nodiscard]] bool RunsAsLocalSystem();

// The running account's SID as text ("S-1-5-21-..."); empty when the token
// cannot be read.
[[nodiscard]] WString CurrentUserSid();

// True for an administrator's elevated token and for LocalSystem: what
// writing for every user of the computer needs. An administrator's
// filtered token (UAC) is not elevated.
[[nodiscard]] bool RunsElevated();

// The folder of every local user profile that the profile list names
// (HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\ProfileList), each
// with its final "\".
[[nodiscard]] std::vector<WString> LocalProfileFolders();
