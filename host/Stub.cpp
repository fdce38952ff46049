// STUB until the host and stats branches are merged.
#include <windows.h>
#include "host/RevitDiscovery.h"
#include "host/WindowsVersion.h"
#include "stats/Statistic.h"
bool IsRevitInstalled(int32_t year)
{
    const WString prefixes[] = {L"SOFTWARE\\Autodesk\\Revit\\Autodesk Revit Architecture ", L"SOFTWARE\\Autodesk\\Revit\\Autodesk Revit ", L"SOFTWARE\\Autodesk\\Revit\\"};
    for (const WString& prefix : prefixes) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, (prefix + WString(year)).buffer, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            RegCloseKey(key);
            return true;
        }
    }
    return false;
}
WString GetWindowsVersion() { return WString(L"10.0"); }
void SendStatistic(const wchar_t*) {}
