#pragma once

// Answers a real message box the way a user would: waits for it to appear
// on the display, notes what it says and presses one of its buttons. Run it
// on a second thread (or for a box of another process) while the code under
// test waits in the box.

#include <functional>
#include <string>

#include <windows.h>

struct ShownBox
{
    bool found = false;
    std::wstring text;
    HWND owner = nullptr;
    bool hasRetry = false;
    bool hasCancel = false;
    bool hasOk = false;
};

// Waits up to timeoutMs for a visible message box with this caption, in
// any process of the display, and presses `button` (IDOK, IDRETRY...);
// `beforePressing` runs while the box is still open.
ShownBox AnswerMessageBox(const wchar_t* caption, int button, DWORD timeoutMs = 30000,
                          const std::function<void()>& beforePressing = {});
