#pragma once

// Values under HKEY_CURRENT_USER, written by the install and uninstall
// procedures. Each call opens (or creates) its key and closes it again.

#include <cstdint>

#include <windows.h>

#include "library/RegistryKey.h"
#include "library/TString.h"

// REG_SZ with its terminator. False for an empty key name, a key that
// cannot be opened for writing, or a value that cannot be set.
bool SetRegistryString(const WString& key, const wchar_t* name, const WString& text);

// REG_DWORD, on the same terms.
bool SetRegistryNumber(const WString& key, const wchar_t* name, uint32_t value);
