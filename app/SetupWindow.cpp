#include "SetupWindow.h"

#include "app/InstallProcedure.h"
#include "app/Progress.h"
#include "app/SetupPrompts.h"
#include "app/SetupScope.h"
#include "library/Library.h"
#include "library/Mem.h"

namespace {

constexpr wchar_t ClassName[] = L"OSTREL";
constexpr uint16_t LicenceResourceId = 132;
constexpr int BannerBitmapId = 131;
constexpr int IconId = 107;
constexpr int SmallIconId = 108;
constexpr int WindowWidth = 515;
constexpr int WindowHeight = 600;

HWND CreateControl(const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int width, int height,
                   int id, HINSTANCE instance)
{
    return CreateWindowExW(0, className, text, style, x, y, width, height, SetupWindows::window,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

SetupScope installScope;
WNDPROC licenceBoxProc = nullptr;
// The control that had the keyboard focus when the window was last left.
HWND focusToRestore = nullptr;

// A multi-line box asks for every key, Tab and Enter included. The licence
// is only read, so Tab, Enter and Escape stay with the dialog keys and a
// keyboard user is never caught inside it. Nor is its whole text selected
// when Tab reaches it, which would put the caret, and a screen reader's
// reading, at its end.
LRESULT CALLBACK LicenceBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CallWindowProcW(licenceBoxProc, box, message, wParam, lParam);
    if (message == WM_GETDLGCODE)
        return result & ~static_cast<LRESULT>(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_HASSETSEL);
    return result;
}

// The order of creation is the order of Tab: check box, Install, Quit,
// licence.
void CreateControls(HINSTANCE instance)
{
    SetupWindows::checkBox = CreateControl(L"BUTTON", L"I accept the terms and conditions",
                                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_CHECKBOX, 90, 510, 410, 25,
                                           AcceptCheckBoxId, instance);
    SetupWindows::installButton = CreateControl(L"BUTTON", L"Install",
                                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_DISABLED | BS_DEFPUSHBUTTON,
                                                300, 540, 90, 25, InstallButtonId, instance);
    SetupWindows::quitButton = CreateControl(L"BUTTON", L"Quit", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                             400, 540, 80, 25, QuitButtonId, instance);
    SetupWindows::textBox = CreateControl(L"EDIT", L"",
                                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE |
                                              ES_READONLY,
                                          5, 210, 495, 290, 0, instance);
    licenceBoxProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        SetupWindows::textBox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LicenceBoxProc)));
    const WPARAM font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    for (HWND control : {SetupWindows::textBox, SetupWindows::checkBox, SetupWindows::installButton,
                         SetupWindows::quitButton})
        SendMessageW(control, WM_SETFONT, font, 0);
}

// The banner is loaded anew for every paint; without it the area keeps the
// window's background.
void PaintBanner(HWND window)
{
    HBITMAP banner = static_cast<HBITMAP>(
        LoadImageW(Library::Instance(), MAKEINTRESOURCEW(BannerBitmapId), IMAGE_BITMAP, 0, 0, 0));
    if (banner == nullptr)
        return;
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    HDC memory = CreateCompatibleDC(target);
    HGDIOBJ previous = SelectObject(memory, banner);
    BitBlt(target, 5, 5, 500, 200, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    EndPaint(window, &paint);
    DeleteObject(banner);
}

void SetControlsEnabled(bool enabled)
{
    EnableWindow(SetupWindows::installButton, enabled);
    EnableWindow(SetupWindows::checkBox, enabled);
}

void OnInstall()
{
    // Disabling the buttons takes the keyboard focus from Install.
    const HWND focused = GetFocus();
    SetControlsEnabled(false);
    UpdateWindow(SetupWindows::window);
    Sleep(10);
    SetupPrompts prompts;
    const InstallResult result = InstallAddin(prompts, installScope);
    if (result == InstallResult::Installed || result == InstallResult::InstalledForAllUsers) {
        MessageBoxW(SetupWindows::window,
                    result == InstallResult::Installed ? L"Installation successful."
                                                       : L"tarmesh is installed for all users of this computer.",
                    L"Installation complete", MB_ICONINFORMATION);
        return;
    }
    // The user may try again at once; the tick stays, and so does the
    // focus, so that Enter does not land on Quit. What each year holds
    // after a part-way stop stays in view.
    if (result != InstallResult::HeldPartway)
        LoadLicenceText();
    SetControlsEnabled(true);
    if (IsChild(SetupWindows::window, focused))
        SetFocus(focused);
    UpdateWindow(SetupWindows::window);
}

void OnAcceptToggled()
{
    const bool ticked = SendMessageW(SetupWindows::checkBox, BM_GETCHECK, 0, 0) != BST_UNCHECKED;
    SendMessageW(SetupWindows::checkBox, BM_SETCHECK, ticked ? BST_UNCHECKED : BST_CHECKED, 0);
    EnableWindow(SetupWindows::installButton, !ticked);
    UpdateWindow(SetupWindows::window);
}

// True when the command was handled completely.
bool OnCommand(int id, int notification)
{
    if (notification == BN_CLICKED) {
        switch (id) {
        case InstallButtonId:
            // Enter may send this while Install is disabled; only an
            // enabled Install installs.
            if (IsWindowEnabled(SetupWindows::installButton))
                OnInstall();
            return false;
        case QuitButtonId:
        case IDCANCEL:  // Escape
            PostQuitMessage(0);
            return true;
        case AcceptCheckBoxId:
            OnAcceptToggled();
            return false;
        default:
            return false;
        }
    }
    return false;
}

// The window is no dialog, so nothing else brings the keyboard focus back
// to a control when it is activated again: without this the focus would
// stay on the window itself, where only Tab and Escape do anything.
void RestoreFocus()
{
    HWND target = focusToRestore;
    if (target == nullptr || !IsWindowEnabled(target))
        target = IsWindowEnabled(SetupWindows::checkBox) ? SetupWindows::checkBox
                                                          : GetNextDlgTabItem(SetupWindows::window, nullptr, FALSE);
    if (target != nullptr)
        SetFocus(target);
}

}  // namespace

void SetInstallScope(const SetupScope& scope)
{
    installScope = scope;
}

void RegisterSetupClass(HINSTANCE instance)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = SetupWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IconId));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = ClassName;
    windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(SmallIconId));
    RegisterClassExW(&windowClass);
}

bool CreateSetupWindow(HINSTANCE instance, const RECT& workArea)
{
    const int x = (workArea.left + workArea.right) / 2 - 257;
    const int y = (workArea.top + workArea.bottom) / 2 - 300;
    SetupWindows::window = CreateWindowExW(0, ClassName, L"tarmesh Setup", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                           x, y, WindowWidth, WindowHeight, nullptr, nullptr, instance, nullptr);
    if (SetupWindows::window == nullptr)
        return false;
    CreateControls(instance);
    LoadLicenceText();
    return true;
}

LRESULT CALLBACK SetupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_PAINT:
        if (window == SetupWindows::window)
            PaintBanner(window);
        break;
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam), HIWORD(wParam)))
            return 0;
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            focusToRestore = IsChild(window, focus) ? focus : nullptr;
        }
        break;
    case WM_SETFOCUS:
        RestoreFocus();
        return 0;
    case DM_GETDEFID:
        // Enter presses Install wherever the focus is, unless it is on
        // another button.
        return MAKELRESULT(InstallButtonId, DC_HASDEFID);
    case WM_CTLCOLORSTATIC:
        // A read-only box would be grey; the licence keeps its white page.
        if (reinterpret_cast<HWND>(lParam) == SetupWindows::textBox) {
            HDC context = reinterpret_cast<HDC>(wParam);
            SetTextColor(context, GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(context, GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void LoadLicenceText()
{
    Mem licence;
    WString text;
    if (licence.LoadBinaryResource(LicenceResourceId))
        text = licence.ReadRestWideText();
    SendMessageW(SetupWindows::textBox, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.buffer != nullptr ? text.buffer : L""));
}
