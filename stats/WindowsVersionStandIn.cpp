// STAND-IN, to be removed when the host discovery code joins this branch:
// a minimal GetWindowsVersion so that the statistic reporter links and can
// be tested now. It reads the same registry values the real probe reads.

#include "host/WindowsVersion.h"

#include <windows.h>

namespace {

constexpr const wchar_t* VersionKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

bool ReadNumber(const wchar_t* name, DWORD& value)
{
    DWORD size = sizeof value;
    return RegGetValueW(HKEY_LOCAL_MACHINE, VersionKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
           ERROR_SUCCESS;
}

}  // namespace

WString GetWindowsVersion()
{
    DWORD major = 0;
    if (ReadNumber(L"CurrentMajorVersionNumber", major) && major != 0) {
        DWORD minor = 0;
        if (!ReadNumber(L"CurrentMinorVersionNumber", minor))
            minor = 0;
        return WString(static_cast<int32_t>(major)) + L"." + WString(static_cast<int32_t>(minor));
    }
    wchar_t text[128] = {};
    DWORD size = sizeof text;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, VersionKey, L"CurrentVersion", RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return WString();
    return WString(text);
}
