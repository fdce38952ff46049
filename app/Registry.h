#pragma once

// Values of the uninstall entry and the log-on clean-up, written by the
// install and uninstall procedures. Each call opens (or creates) its key
// and closes it again.

#include <cstdint>

#include <windows.h>

#include "library/RegistryKey.h"
#include "library/TString.h"

// A registry hive and the view of it (0, KEY_WOW64_32KEY or
// KEY_WOW64_64KEY) in which a key is reached.
struct RegistryHive
{
    HKEY root = HKEY_CURRENT_USER;
    REGSAM view = 0;
};

// REG_SZ with its terminator. False for an empty key name, a key that
// cannot be opened for writing, or a value that cannot be set; the
// registry's error code is then the thread's last error.
[[nodiscard]] bool SetRegistryString(const RegistryHive& hive, const WString& key, const wchar_t* name,
                                     const WString& text);

// REG_DWORD, on the same terms.
[[nodiscard]] bool SetRegistryNumber(const RegistryHive& hive, const WString& key, const wchar_t* name,
                                     uint32_t value);

// A series of writes, every one attempted: the first failure's error is
// kept.
class RegistryWrites
{
public:
    void Note(bool written)
    {
        if (!written && firstError == ERROR_SUCCESS) {
            const DWORD error = GetLastError();
            firstError = error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
        }
    }
    // True when every write succeeded; else the first failure's error is
    // the thread's last error.
    [[nodiscard]] bool AllWritten() const
    {
        SetLastError(firstError);
        return firstError == ERROR_SUCCESS;
    }

private:
    DWORD firstError = ERROR_SUCCESS;
};
