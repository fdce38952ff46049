#include "Registry.h"

namespace {

bool SetValue(const WString& key, const wchar_t* name, DWORD type, const void* data, DWORD bytes)
{
    if (key.length == 0)
        return false;
    RegistryKey opened;
    if (!opened.Create(HKEY_CURRENT_USER, key.buffer))
        return false;
    const LSTATUS status = RegSetValueExW(opened.Handle(), name, 0, type, static_cast<const BYTE*>(data), bytes);
    SetLastError(static_cast<DWORD>(status));
    return status == ERROR_SUCCESS;
}

}  // namespace

bool SetRegistryString(const WString& key, const wchar_t* name, const WString& text)
{
    const DWORD bytes = static_cast<DWORD>((text.length + 1) * sizeof(wchar_t));
    return SetValue(key, name, REG_SZ, text.buffer != nullptr ? text.buffer : L"", bytes);
}

bool SetRegistryNumber(const WString& key, const wchar_t* name, uint32_t value)
{
    const DWORD data = value;
    return SetValue(key, name, REG_DWORD, &data, sizeof data);
}
