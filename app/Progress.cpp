#include "Progress.h"

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
    // Appending leaves the lines already shown alone, so a line costs the
    // same however long the text has grown. Lines added this way count
    // against the limit of typed text, which would cut a long log short.
    SendMessageW(box, EM_SETLIMITTEXT, 0, 0);
    const LRESULT end = SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
    SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(end), end);
    SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
    SendMessageW(box, EM_SCROLLCARET, 0, 0);
    UpdateWindow(box);
}
