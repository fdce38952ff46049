#pragma once

// One tarmesh setup at a time in the user's session: an installation and an
// uninstallation that ran together would each find the other's half-done
// work. Held while the add-in's files, the setup folder and the entry
// change; released by the destructor, and by Windows if the process dies.

#include <windows.h>

extern const wchar_t* const SetupMutexName;

class SetupMutex
{
public:
    SetupMutex() = default;
    SetupMutex(const SetupMutex&) = delete;
    SetupMutex& operator=(const SetupMutex&) = delete;
    virtual ~SetupMutex();

    // False when another setup holds it now; nobody waits.
    [[nodiscard]] bool Acquire();

private:
    HANDLE mutex = nullptr;
    bool owned = false;
};
