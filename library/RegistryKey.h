#pragma once

// Owner of one open registry key. It holds a key only once the open has
// succeeded, closes it in its destructor and is never copied, so a key is
// closed exactly once on every path. A failed open leaves the registry's
// error code as the thread's last error.

#include <windows.h>

class RegistryKey
{
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    virtual ~RegistryKey() { Close(); }

    [[nodiscard]] bool Open(HKEY root, const wchar_t* name, REGSAM access)
    {
        Close();
        HKEY opened = nullptr;
        const LSTATUS status = RegOpenKeyExW(root, name, 0, access, &opened);
        if (status != ERROR_SUCCESS) {
            SetLastError(static_cast<DWORD>(status));
            return false;
        }
        key = opened;
        return true;
    }

    // Opens the key for writing, creating it and its missing parents, in
    // the registry view `view` (0, KEY_WOW64_32KEY or KEY_WOW64_64KEY).
    [[nodiscard]] bool Create(HKEY root, const wchar_t* name, REGSAM view = 0)
    {
        Close();
        wchar_t noClass[] = L"";
        HKEY opened = nullptr;
        const LSTATUS status = RegCreateKeyExW(root, name, 0, noClass, 0, KEY_WRITE | view, nullptr, &opened, nullptr);
        if (status != ERROR_SUCCESS) {
            SetLastError(static_cast<DWORD>(status));
            return false;
        }
        key = opened;
        return true;
    }

    HKEY Handle() const { return key; }

    void Close()
    {
        if (key != nullptr)
            RegCloseKey(key);
        key = nullptr;
    }

private:
    HKEY key = nullptr;
};
