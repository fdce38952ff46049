#pragma once

// Where an installation goes: into the running user's profile (the
// default), or for every user of the computer ("/allusers"). The install
// and uninstall procedures are the same for both and take everything that
// differs from here: where each year's Addins folder is, where the setup
// folder is, the registry hive and view of the Revit keys and of the
// uninstall entry, the mutex, and how the setup folder goes away.

#include <cstdint>

#include <windows.h>

#include "app/Registry.h"
#include "library/TString.h"

class SetupScope
{
public:
    // Below the user's roaming application-data folder, HKEY_CURRENT_USER.
    [[nodiscard]] static SetupScope ForUser();
    // ProgramData and Program Files, HKEY_LOCAL_MACHINE.
    [[nodiscard]] static SetupScope ForAllUsers();
    [[nodiscard]] static SetupScope For(bool allUsers) { return allUsers ? ForAllUsers() : ForUser(); }

    // False when a folder it needs cannot be found: every path would then
    // be relative to wherever the program was started.
    [[nodiscard]] bool IsKnown() const { return known; }
    [[nodiscard]] bool IsAllUsers() const { return allUsers; }

    // The Addins folder of a Revit year, with its final "\".
    [[nodiscard]] WString AddinsFolder(int32_t year) const;
    // Where the setup program's copy, tarmesh.exe, goes.
    [[nodiscard]] WString SetupFolder() const { return setupFolder; }
    // Revit is a 64-bit program: its keys are read in the 64-bit view,
    // which a 32-bit program has to ask for.
    [[nodiscard]] RegistryHive RevitHive() const;
    // The uninstall entry is in the view of this 32-bit program, as every
    // 32-bit installer's.
    [[nodiscard]] RegistryHive EntryHive() const;
    // One setup at a time: per user, or for the computer.
    [[nodiscard]] WString MutexName() const;
    // The SID of the account that owns a setup's mutex.
    [[nodiscard]] WString MutexOwner() const;
    // The user's setup folder goes at the next log-on (a RunOnce command);
    // the computer's goes at once, or its running program at the next
    // restart.
    [[nodiscard]] bool RemovesSetupFolderAtLogOn() const { return !allUsers; }

private:
    bool allUsers = false;
    bool known = false;
    // Per user: the roaming application-data folder. For all users:
    // ProgramData, whose Addins folders Revit reads up to 2026.
    WString addinsRoot;
    // For all users: the 64-bit Program Files, whose Addins folders Revit
    // reads from 2027 on.
    WString laterAddinsRoot;
    WString setupFolder;
};

// The first year whose all-users add-ins folder is below Program Files.
constexpr int32_t FirstProgramFilesAddinsYear = 2027;
