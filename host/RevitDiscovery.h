#pragma once

// Which Revit versions the current user has: a per-user registry key named
// after the version's year is the only sign that counts. No file is looked
// at, no value is read and the machine-wide registry is not consulted.

#include <cstdint>

// True when HKEY_CURRENT_USER holds a key of that year that the user may open
// for reading; every registry error just means "not this name".
bool IsRevitInstalled(int32_t year);
