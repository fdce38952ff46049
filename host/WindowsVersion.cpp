#include "host/WindowsVersion.h"

#include <cstdint>

#include <windows.h>

#include "library/RegistryKey.h"

namespace {

const wchar_t* const currentVersionKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// The value's type is not checked, only its bytes: a value shorter than four
// bytes leaves the rest of the number zero rather than undefined.
bool QueryNumber(const RegistryKey& key, const wchar_t* name, int32_t* number)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(key.Handle(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return false;
    *number = static_cast<int32_t>(value);
    return true;
}

// Registry text need not end in a terminator, so the text ends at the first
// terminator or after the bytes the query returned, whichever comes first.
// Text that does not fit the 128 characters is not cut short but refused.
WString QueryText(const RegistryKey& key, const wchar_t* name)
{
    wchar_t text[128] = {};
    DWORD size = sizeof text;
    if (RegQueryValueExW(key.Handle(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS)
        return WString(L"");
    const int32_t units = static_cast<int32_t>(size / sizeof(wchar_t));
    int32_t length = 0;
    while (length < units && text[length] != 0)
        ++length;
    WString result(L"");
    result.Set(text, length);
    return result;
}

}  // namespace

WString GetWindowsVersion()
{
    RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, currentVersionKey, KEY_READ))
        return WString(L"");
    int32_t major = 0;
    if (!QueryNumber(key, L"CurrentMajorVersionNumber", &major) || major == 0)
        return QueryText(key, L"CurrentVersion");
    int32_t minor = 0;
    QueryNumber(key, L"CurrentMinorVersionNumber", &minor);  // a missing minor number reads as 0
    return WString(major) + L"." + WString(minor);
}
