#include "UserAccount.h"

#include <windows.h>
#include <sddl.h>

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
