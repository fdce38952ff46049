#include "Progress.h"

#include "library/TString.h"

HWND SetupWindows::window = nullptr;
HWND SetupWindows::textBox = nullptr;
HWND SetupWindows::checkBox = nullptr;
HWND SetupWindows::installButton = nullptr;
HWND SetupWindows::quitButton = nullptr;

void AppendProgress(const wchar_t* text)
{
    HWND box = SetupWindows::textBox;
    if (box == nullptr)
        return;
    const int32_t length = static_cast<int32_t>(SendMessageW(box, WM_GETTEXTLENGTH, 0, 0));
    WString current(WString::Count{length});
    const LRESULT got =
        SendMessageW(box, WM_GETTEXT, static_cast<WPARAM>(length) + 1, reinterpret_cast<LPARAM>(current.buffer));
    const WString joined = current.Left(static_cast<int32_t>(got)) + text;
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(joined.buffer));
    // The caret goes to the true end, however long the text has grown.
    SendMessageW(box, EM_SETSEL, joined.length, joined.length);
    SendMessageW(box, EM_SCROLLCARET, 0, 0);
    UpdateWindow(box);
}
