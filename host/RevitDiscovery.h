#pragma once

// Which Revit versions the current user (or, for an installation for all
// users, the computer) has: a registry key named after the version's year
// is the only sign that counts. No file is looked at and no value is read.

#include <cstdint>

#include <windows.h>

// True when HKEY_CURRENT_USER holds a key of that year that the user may open
// for reading; every registry error just means "not this name".
bool IsRevitInstalled(int32_t year);

// The same under another hive, in a view of it (KEY_WOW64_64KEY for the
// computer's keys of 64-bit Revit, seen from this 32-bit program).
bool IsRevitInstalled(int32_t year, HKEY root, REGSAM view);
