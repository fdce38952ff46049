#include "Registry.h"

namespace {

bool SetValue(const RegistryHive& hive, const WString& key, const wchar_t* name, DWORD type, const void* data,
              DWORD bytes)
{
    if (key.length == 0)
        return false;
    RegistryKey opened;
    if (!opened.Create(hive.root, key.buffer, hive.view))
        return false;
    const LSTATUS status = RegSetValueExW(opened.Handle(), name, 0, type, static_cast<const BYTE*>(data), bytes);
    SetLastError(static_cast<DWORD>(status));
    return status == ERROR_SUCCESS;
}

}  // namespace

bool SetRegistryString(const RegistryHive& hive, const WString& key, const wchar_t* name, const WString& text)
{
    const DWORD bytes = static_cast<DWORD>((text.length + 1) * sizeof(wchar_t));
    return SetValue(hive, key, name, REG_SZ, text.buffer != nullptr ? text.buffer : L"", bytes);
}

bool SetRegistryNumber(const RegistryHive& hive, const WString& key, const wchar_t* name, uint32_t value)
{
    const DWORD data = value;
    return SetValue(hive, key, name, REG_DWORD, &data, sizeof data);
}
