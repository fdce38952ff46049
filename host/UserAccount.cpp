#include "UserAccount.h"

#include <windows.h>

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

}  // namespace

bool RunsAsLocalSystem()
{
    ProcessToken token;
    if (token.handle == nullptr)
        return false;
    // TOKEN_USER and the SID it points to, which follows it in the buffer.
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
    DWORD length = 0;
    if (!GetTokenInformation(token.handle, TokenUser, buffer, sizeof buffer, &length))
        return false;
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer);
    return IsWellKnownSid(user->User.Sid, WinLocalSystemSid) != FALSE;
}
