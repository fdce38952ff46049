#pragma once

// One tarmesh setup at a time for a user, or for the computer: an
// installation and an uninstallation that ran together would each find the
// other's half-done work. What it guards is the user's profile (or the
// computer's folders), which may be reached from several sessions at once
// (the console and a remote desktop), so its name is machine-wide and, per
// user, carries the user's SID (SetupScope). Held while the add-in's files,
// the setup folder and the entry change; released by the destructor, and by
// Windows if the process dies.

#include <windows.h>

#include "library/TString.h"

class SetupMutex
{
public:
    SetupMutex() = default;
    SetupMutex(const SetupMutex&) = delete;
    SetupMutex& operator=(const SetupMutex&) = delete;
    virtual ~SetupMutex();

    // False when another setup holds the mutex `name` now; nobody waits.
    // Every setup makes it with `owner` (a SID) as its owner: a mutex of
    // that name that another account made (to squat on it) is no setup's
    // and never stops one.
    [[nodiscard]] bool Acquire(const WString& name, const WString& owner);

private:
    HANDLE mutex = nullptr;
    bool owned = false;
};
