#include "SetupWindow.h"

#include "app/InstallProcedure.h"
#include "app/Progress.h"
#include "app/SetupPrompts.h"
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

void CreateControls(HINSTANCE instance)
{
    SetupWindows::textBox = CreateControl(L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE,
                                          5, 210, 495, 290, 0, instance);
    SetupWindows::checkBox = CreateControl(L"BUTTON", L"I accept the terms and conditions",
                                           WS_CHILD | WS_VISIBLE | BS_CHECKBOX, 90, 510, 410, 25, AcceptCheckBoxId,
                                           instance);
    SetupWindows::installButton = CreateControl(L"BUTTON", L"Install",
                                                WS_CHILD | WS_VISIBLE | WS_DISABLED | BS_DEFPUSHBUTTON, 300, 540, 90,
                                                25, InstallButtonId, instance);
    SetupWindows::quitButton = CreateControl(L"BUTTON", L"Quit", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 400, 540, 80,
                                             25, QuitButtonId, instance);
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
    SetControlsEnabled(false);
    UpdateWindow(SetupWindows::window);
    Sleep(10);
    SetupPrompts prompts;
    if (InstallAddin(prompts) == InstallResult::Installed) {
        MessageBoxW(SetupWindows::window, L"Installation successful.", L"Installation complete",
                    MB_ICONINFORMATION);
        return;
    }
    // The user may try again at once; the tick stays.
    LoadLicenceText();
    SetControlsEnabled(true);
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
            OnInstall();
            return false;
        case QuitButtonId:
            PostQuitMessage(0);
            return true;
        case AcceptCheckBoxId:
            OnAcceptToggled();
            return false;
        default:
            return false;
        }
    }
    // The licence is for reading: the text box never keeps the focus, so
    // typing never reaches it.
    if (notification == EN_SETFOCUS && (id < InstallButtonId || id > AcceptCheckBoxId))
        SetFocus(SetupWindows::window);
    return false;
}

}  // namespace

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
