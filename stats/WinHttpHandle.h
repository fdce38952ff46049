#pragma once

// Owns one WinHTTP handle (root, connection or request) and closes it on
// destruction, so every path out of a request closes what it opened.

#include <windows.h>
#include <winhttp.h>

class WinHttpHandle
{
public:
    explicit WinHttpHandle(HINTERNET opened)
        : handle(opened)
    {
    }
    WinHttpHandle(const WinHttpHandle&) = delete;
    WinHttpHandle& operator=(const WinHttpHandle&) = delete;
    virtual ~WinHttpHandle()
    {
        if (handle != nullptr)
            WinHttpCloseHandle(handle);
    }

    [[nodiscard]] bool IsOpen() const { return handle != nullptr; }

    HINTERNET const handle;
};
