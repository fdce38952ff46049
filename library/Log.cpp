#include "Log.h"

#include <cstdio>

#include <windows.h>

#include "Library.h"
#include "TString.h"

namespace {

constexpr WORD BrightYellow = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_INTENSITY;

// Keeps the lock for the whole line, so lines of different threads never mix.
class LogLockHolder
{
public:
    LogLockHolder() { EnterCriticalSection(&Library::logLock); }
    LogLockHolder(const LogLockHolder&) = delete;
    LogLockHolder& operator=(const LogLockHolder&) = delete;
    virtual ~LogLockHolder() { LeaveCriticalSection(&Library::logLock); }
};

// Colours one line and puts back the colour the console had before, so the
// user's console is not left yellow. Without a console it does nothing.
class ConsoleColour
{
public:
    explicit ConsoleColour(WORD attribute)
        : console(GetStdHandle(STD_OUTPUT_HANDLE))
    {
        CONSOLE_SCREEN_BUFFER_INFO info;
        restore = GetConsoleScreenBufferInfo(console, &info) != 0;
        previous = restore ? info.wAttributes : 0;
        SetConsoleTextAttribute(console, attribute);
    }
    ConsoleColour(const ConsoleColour&) = delete;
    ConsoleColour& operator=(const ConsoleColour&) = delete;
    virtual ~ConsoleColour()
    {
        if (restore)
            SetConsoleTextAttribute(console, previous);
    }

private:
    HANDLE console;
    bool restore;
    WORD previous;
};

}  // namespace

void Warn(const wchar_t* text)
{
    const LogLockHolder hold;
    const ConsoleColour colour(BrightYellow);
    const WString line = WString(L"WARN> ") + (text != nullptr ? text : L"") + L"\n";
    const NString utf8(line.buffer);
    if (utf8.buffer != nullptr)
        std::fputs(utf8.buffer, stdout);
    std::fflush(stdout);
}
