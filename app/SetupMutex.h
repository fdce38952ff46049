#pragma once

// One tarmesh setup at a time for a user: an installation and an
// uninstallation that ran together would each find the other's half-done
// work. What it guards is the user's profile, which the same user may
// reach from several sessions at once (the console and a remote desktop),
// so its name is machine-wide and carries the user's SID. Held while the
// add-in's files, the setup folder and the entry change; released by the
// destructor, and by Windows if the process dies.

#include <windows.h>

#include "library/TString.h"

class SetupMutex
{
public:
    SetupMutex() = default;
    SetupMutex(const SetupMutex&) = delete;
    SetupMutex& operator=(const SetupMutex&) = delete;
    virtual ~SetupMutex();

    // "Global\tarmesh-setup-" and the running user's SID.
    [[nodiscard]] static WString Name();

    // False when another setup of this user holds it now; nobody waits. A
    // mutex of that name that another account made (to squat on it) is no
    // setup of this user's and never stops one.
    [[nodiscard]] bool Acquire();

private:
    HANDLE mutex = nullptr;
    bool owned = false;
};
