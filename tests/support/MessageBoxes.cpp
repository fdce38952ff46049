#include "MessageBoxes.h"

namespace {

// The dialog class of every message box.
constexpr wchar_t DialogClass[] = L"#32770";
// The control that holds a message box's text.
constexpr int TextControl = 0xFFFF;

// Every box of that caption is looked at: the first one found may be a
// hidden one, or one of a program that is ending, in front of the box wanted.
HWND WaitForBox(const wchar_t* caption, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < end) {
        for (HWND box = FindWindowExW(nullptr, nullptr, DialogClass, caption); box != nullptr;
             box = FindWindowExW(nullptr, box, DialogClass, caption)) {
            if (IsWindowVisible(box))
                return box;
        }
        Sleep(20);
    }
    return nullptr;
}

std::wstring TextOf(HWND control)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

}  // namespace

ShownBox AnswerMessageBox(const wchar_t* caption, int button, DWORD timeoutMs,
                          const std::function<void()>& beforePressing)
{
    ShownBox shown;
    HWND box = WaitForBox(caption, timeoutMs);
    if (box == nullptr)
        return shown;
    shown.found = true;
    shown.text = TextOf(GetDlgItem(box, TextControl));
    shown.owner = GetWindow(box, GW_OWNER);
    shown.hasRetry = GetDlgItem(box, IDRETRY) != nullptr;
    shown.hasCancel = GetDlgItem(box, IDCANCEL) != nullptr;
    shown.hasOk = GetDlgItem(box, IDOK) != nullptr;
    if (beforePressing)
        beforePressing();
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
    return shown;
}
