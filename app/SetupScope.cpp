#include "SetupScope.h"

#include <shlobj.h>

#include "host/UserAccount.h"
#include "library/Disk.h"
#include "library/RegistryKey.h"

namespace {

WString WithSeparator(WString path)
{
    if (path.length > 0 && path.buffer[path.length - 1] != L'\\')
        path.Append(L"\\");
    return path;
}

// A 32-bit program asking the shell for Program Files gets the x86 one;
// the 64-bit one is named in the 64-bit view of the registry.
WString ProgramFiles64()
{
    RegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                  KEY_QUERY_VALUE | KEY_WOW64_64KEY))
        return WString(L"");
    wchar_t path[MAX_PATH + 1] = {};
    DWORD bytes = sizeof path - sizeof(wchar_t);
    if (RegGetValueW(key.Handle(), nullptr, L"ProgramFilesDir", RRF_RT_REG_SZ, nullptr, path, &bytes) != ERROR_SUCCESS)
        return WString(L"");
    return WithSeparator(WString(path));
}

}  // namespace

SetupScope SetupScope::ForUser()
{
    SetupScope scope;
    Disk disk;
    scope.addinsRoot = disk.AppDataPath();
    scope.laterAddinsRoot = scope.addinsRoot;
    scope.known = scope.addinsRoot.length > 0;
    scope.setupFolder = scope.addinsRoot + L"Ostrel\\tarmesh\\";
    return scope;
}

// The setup copy goes where only administrators may write: never below
// ProgramData, where any user can put a file beside a program that
// administrators run.
SetupScope SetupScope::ForAllUsers()
{
    SetupScope scope;
    scope.allUsers = true;
    Disk disk;
    scope.addinsRoot = disk.ShellFolderPath(CSIDL_COMMON_APPDATA);
    scope.laterAddinsRoot = ProgramFiles64();
    const WString programFiles = disk.ShellFolderPath(CSIDL_PROGRAM_FILESX86);
    scope.known = scope.addinsRoot.length > 0 && scope.laterAddinsRoot.length > 0 && programFiles.length > 0;
    scope.setupFolder = programFiles + L"Ostrel\\tarmesh\\";
    return scope;
}

WString SetupScope::AddinsFolder(int32_t year) const
{
    const WString& root = year >= FirstProgramFilesAddinsYear ? laterAddinsRoot : addinsRoot;
    return root + L"Autodesk\\Revit\\Addins\\" + WString(year) + L"\\";
}

RegistryHive SetupScope::RevitHive() const
{
    return allUsers ? RegistryHive{HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY} : RegistryHive{HKEY_CURRENT_USER, 0};
}

RegistryHive SetupScope::EntryHive() const
{
    return allUsers ? RegistryHive{HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY} : RegistryHive{HKEY_CURRENT_USER, 0};
}

WString SetupScope::MutexName() const
{
    return allUsers ? WString(L"Global\\tarmesh-setup-allusers") : L"Global\\tarmesh-setup-" + CurrentUserSid();
}

// Administrators own the computer's: an elevated administrator and
// LocalSystem both have that group to give as owner.
WString SetupScope::MutexOwner() const
{
    return allUsers ? WString(L"S-1-5-32-544") : CurrentUserSid();
}
