#include "host/RevitDiscovery.h"

#include <windows.h>

#include "library/RegistryKey.h"
#include "library/TString.h"

namespace {

// Revit has named its per-user key in three ways over its releases; the year
// follows each of these directly.
const wchar_t* const revitKeyPrefixes[] = {
    L"SOFTWARE\\Autodesk\\Revit\\Autodesk Revit Architecture ",
    L"SOFTWARE\\Autodesk\\Revit\\Autodesk Revit ",
    L"SOFTWARE\\Autodesk\\Revit\\",
};

}  // namespace

bool IsRevitInstalled(int32_t year)
{
    return IsRevitInstalled(year, HKEY_CURRENT_USER, 0);
}

bool IsRevitInstalled(int32_t year, HKEY root, REGSAM view)
{
    const WString digits(year);
    for (const wchar_t* prefix : revitKeyPrefixes) {
        const WString name = prefix + digits;
        RegistryKey key;
        if (key.Open(root, name.buffer, KEY_READ | view))
            return true;
    }
    return false;
}
