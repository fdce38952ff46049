#include "SetupWindow.h"

#include <utility>

#include "app/InstallProcedure.h"
#include "app/Progress.h"
#include "app/ScreenDpi.h"
#include "app/SetupPrompts.h"
#include "app/SetupScope.h"
#include "library/GdiObject.h"
#include "library/Library.h"
#include "library/Mem.h"
#include "library/MemoryContext.h"

namespace {

constexpr wchar_t ClassName[] = L"OSTREL";
constexpr uint16_t LicenceResourceId = 132;
constexpr int BannerBitmapId = 131;
// The same banner at twice the size, sharper on screens scaled above 150 %.
constexpr int LargeBannerBitmapId = 133;
constexpr int IconId = 107;
constexpr int SmallIconId = 108;

// A rectangle in pixels of a 96-DPI screen.
struct Place
{
    int x;
    int y;
    int width;
    int height;
};

// The layout at 96 DPI. Every size on screen is scaled from these numbers
// for the DPI of the monitor the window is on.
constexpr int WindowWidth = 515;
constexpr int WindowHeight = 600;
constexpr Place BannerPlace = {5, 5, 500, 200};
constexpr Place TextBoxPlace = {5, 210, 495, 290};
constexpr Place CheckBoxPlace = {90, 510, 410, 25};
constexpr Place InstallPlace = {300, 540, 90, 25};
constexpr Place QuitPlace = {400, 540, 80, 25};

// The DPI the window is laid out for, and the controls' font made for it.
UINT layoutDpi = USER_DEFAULT_SCREEN_DPI;
GdiObject<HFONT> controlFont;

Place Scaled(const Place& place, UINT dpi)
{
    return {ScaleToDpi(place.x, dpi), ScaleToDpi(place.y, dpi), ScaleToDpi(place.width, dpi),
            ScaleToDpi(place.height, dpi)};
}

// The window at `dpi`, centred on the work area.
Place CentredOn(const RECT& workArea, UINT dpi)
{
    const int width = ScaleToDpi(WindowWidth, dpi);
    const int height = ScaleToDpi(WindowHeight, dpi);
    return {(workArea.left + workArea.right) / 2 - width / 2, (workArea.top + workArea.bottom) / 2 - height / 2, width,
            height};
}

void MoveTo(HWND window, const Place& place)
{
    SetWindowPos(window, nullptr, place.x, place.y, place.width, place.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Placed and given its font by LayOutControls.
HWND CreateControl(const wchar_t* className, const wchar_t* text, DWORD style, int id, HINSTANCE instance)
{
    return CreateWindowExW(0, className, text, style, 0, 0, 0, 0, SetupWindows::window,
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
                                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_CHECKBOX, AcceptCheckBoxId,
                                           instance);
    SetupWindows::installButton = CreateControl(L"BUTTON", L"Install",
                                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_DISABLED | BS_DEFPUSHBUTTON,
                                                InstallButtonId, instance);
    SetupWindows::quitButton = CreateControl(L"BUTTON", L"Quit", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                             QuitButtonId, instance);
    SetupWindows::textBox = CreateControl(L"EDIT", L"",
                                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE |
                                              ES_READONLY,
                                          0, instance);
    licenceBoxProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        SetupWindows::textBox, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LicenceBoxProc)));
}

// Places the controls for `dpi` and gives them the message font made for
// it. The font made for the last DPI is deleted only once no control
// shows it any more.
void LayOutControls(UINT dpi)
{
    layoutDpi = dpi;
    GdiObject<HFONT> font = MessageFontFor(dpi);
    const HGDIOBJ shown = font.Get() != nullptr ? font.Get() : GetStockObject(DEFAULT_GUI_FONT);
    const std::pair<HWND, Place> places[] = {{SetupWindows::textBox, TextBoxPlace},
                                             {SetupWindows::checkBox, CheckBoxPlace},
                                             {SetupWindows::installButton, InstallPlace},
                                             {SetupWindows::quitButton, QuitPlace}};
    for (const auto& [control, place] : places) {
        MoveTo(control, Scaled(place, dpi));
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(shown), TRUE);
    }
    controlFont = std::move(font);
    InvalidateRect(SetupWindows::window, nullptr, TRUE);
}

// Sizes the window for the DPI of the monitor it was made on.
void FitToMonitor(const RECT& workArea)
{
    const UINT dpi = WindowDpi(SetupWindows::window);
    MoveTo(SetupWindows::window, CentredOn(workArea, dpi));
    LayOutControls(dpi);
}

// Moved to a monitor of another DPI: Windows suggests where the window
// goes and how large it is there.
void OnDpiChanged(UINT dpi, const RECT& suggested)
{
    MoveTo(SetupWindows::window, {suggested.left, suggested.top, suggested.right - suggested.left,
                                  suggested.bottom - suggested.top});
    LayOutControls(dpi);
}

// Begins painting a window and ends it again on every path.
class WindowPaint
{
public:
    explicit WindowPaint(HWND painted)
        : window(painted)
    {
        context = BeginPaint(window, &paint);
    }
    WindowPaint(const WindowPaint&) = delete;
    WindowPaint& operator=(const WindowPaint&) = delete;
    virtual ~WindowPaint() { EndPaint(window, &paint); }

    HDC Context() const { return context; }

private:
    HWND const window;
    PAINTSTRUCT paint = {};
    HDC context = nullptr;
};

// Above 150 % the 1x banner would be stretched more than it can bear.
GdiObject<HBITMAP> LoadBanner(UINT dpi)
{
    const int id = dpi * 2 > USER_DEFAULT_SCREEN_DPI * 3 ? LargeBannerBitmapId : BannerBitmapId;
    return GdiObject<HBITMAP>(
        static_cast<HBITMAP>(LoadImageW(Library::Instance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0)));
}

// The banner fills its place at the window's DPI, resampled smoothly
// rather than with jagged copied pixels. It is loaded anew for every paint;
// without it the area keeps the window's background.
void PaintBanner(HWND window)
{
    const GdiObject<HBITMAP> banner = LoadBanner(layoutDpi);
    BITMAP size = {};
    if (banner.Get() == nullptr || GetObjectW(banner.Get(), sizeof size, &size) == 0)
        return;
    const WindowPaint paint(window);
    const MemoryContext source(paint.Context(), banner.Get());
    const Place place = Scaled(BannerPlace, layoutDpi);
    // Halftone stretching needs the brush origin set after it is chosen.
    SetStretchBltMode(paint.Context(), HALFTONE);
    SetBrushOrgEx(paint.Context(), 0, 0, nullptr);
    StretchBlt(paint.Context(), place.x, place.y, place.width, place.height, source.Context(), 0, 0, size.bmWidth,
               size.bmHeight, SRCCOPY);
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

// The window's DPI is known only once it exists: it is made at its 96-DPI
// size, then sized for the monitor it is on.
bool CreateSetupWindow(HINSTANCE instance, const RECT& workArea)
{
    const Place place = CentredOn(workArea, USER_DEFAULT_SCREEN_DPI);
    SetupWindows::window = CreateWindowExW(0, ClassName, L"tarmesh Setup", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                           place.x, place.y, place.width, place.height, nullptr, nullptr, instance,
                                           nullptr);
    if (SetupWindows::window == nullptr)
        return false;
    CreateControls(instance);
    FitToMonitor(workArea);
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
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
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
