#include "UserAccount.h"

#include <windows.h>
#include <sddl.h>

#include "library/RegistryKey.h"

namespace {

// The process token, closed on every path.
class ProcessToken
{
public:
    ProcessToken() { OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &handle); }
    ProcessToken(const ProcessToken&) = delete;
    ProcessToken& operator=(const ProcessToken&) = delete;
    virtual ~ProcessToken()
    {
        if (handle != nullptr)
            CloseHandle(handle);
    }

    HANDLE handle = nullptr;
};

// The token's user: TOKEN_USER and the SID it points to, which follows it
// in the buffer.
class TokenAccount
{
public:
    TokenAccount()
    {
        ProcessToken token;
        DWORD length = 0;
        read = token.handle != nullptr && GetTokenInformation(token.handle, ::TokenUser, buffer, sizeof buffer, &length);
    }

    PSID Sid() const { return read ? reinterpret_cast<const TOKEN_USER*>(buffer)->User.Sid : nullptr; }

private:
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
    bool read = false;
};

}  // namespace

bool RunsAsLocalSystem()
{
    const TokenAccount user;
    return user.Sid() != nullptr && IsWellKnownSid(user.Sid(), WinLocalSystemSid) != FALSE;
}

WString CurrentUserSid()
{
    const TokenAccount user;
    LPWSTR text = nullptr;
    if (user.Sid() == nullptr || !ConvertSidToStringSidW(user.Sid(), &text))
        return WString(L"");
    WString sid(text);
    LocalFree(text);
    return sid;
}

bool RunsElevated()
{
    if (RunsAsLocalSystem())
        return true;
    ProcessToken token;
    TOKEN_ELEVATION elevation = {};
    DWORD length = 0;
    return token.handle != nullptr &&
           GetTokenInformation(token.handle, TokenElevation, &elevation, sizeof elevation, &length) &&
           elevation.TokenIsElevated != 0;
}

std::vector<WString> LocalProfileFolders()
{
    std::vector<WString> folders;
    RegistryKey list;
    if (!list.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
                   KEY_READ | KEY_WOW64_64KEY))
        return folders;
    wchar_t sid[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof sid / sizeof sid[0];
        if (RegEnumKeyExW(list.Handle(), i, sid, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        wchar_t stored[MAX_PATH + 1] = {};
        DWORD bytes = sizeof stored - sizeof(wchar_t);
        if (RegGetValueW(list.Handle(), sid, L"ProfileImagePath", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                         nullptr, stored, &bytes) != ERROR_SUCCESS)
            continue;
        // The list names folders by %SystemDrive%.
        wchar_t path[MAX_PATH + 1] = {};
        const DWORD expanded = ExpandEnvironmentStringsW(stored, path, MAX_PATH + 1);
        if (expanded == 0 || expanded > MAX_PATH + 1 || path[0] == 0)
            continue;
        WString folder(path);
        if (folder.buffer[folder.length - 1] != L'\\')
            folder.Append(L"\\");
        folders.push_back(folder);
    }
    return folders;
}
