// The driver sets its own DPI awareness, a function of Windows 10.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00

#include "SetupDriver.h"

#include <vector>

namespace {

constexpr DWORD ReplyTimeoutMs = 20000;

}  // namespace

SetupDriver::~SetupDriver()
{
    if (process.hProcess != nullptr) {
        // Ending takes a moment: until it has, the window is still there
        // for the next driver to find.
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, ReplyTimeoutMs);
        }
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
}

bool SetupDriver::Start(const std::wstring& program)
{
    // The program is aware of each monitor's DPI. A driver that were not
    // would see its window through Windows' scaling: rectangles and
    // pictures in 96-DPI pixels instead of the screen's.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    std::wstring line = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    WaitForInputIdle(process.hProcess, ReplyTimeoutMs);
    const ULONGLONG end = GetTickCount64() + ReplyTimeoutMs;
    // Only the window of this program: another one may still be closing.
    while (GetTickCount64() < end) {
        for (HWND found = FindWindowExW(nullptr, nullptr, L"OSTREL", L"tarmesh Setup"); found != nullptr;
             found = FindWindowExW(nullptr, found, L"OSTREL", L"tarmesh Setup")) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (owner == process.dwProcessId && IsWindowVisible(found)) {
                window = found;
                textBox = FindWindowExW(window, nullptr, L"EDIT", nullptr);
                return textBox != nullptr;
            }
        }
        Sleep(20);
    }
    return false;
}

void SetupDriver::Click(int controlId) const
{
    PostMessageW(GetDlgItem(window, controlId), BM_CLICK, 0, 0);
}

void SetupDriver::ClickTextBox() const
{
    PostMessageW(textBox, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    PostMessageW(textBox, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
}

void SetupDriver::Press(WORD virtualKey) const
{
    if (GetForegroundWindow() != window)
        SetForegroundWindow(window);
    INPUT keys[2] = {};
    for (INPUT& key : keys) {
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = virtualKey;
        key.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

bool SetupDriver::IsEnabled(int controlId) const
{
    return IsWindowEnabled(GetDlgItem(window, controlId)) != FALSE;
}

bool SetupDriver::IsTicked() const
{
    DWORD_PTR state = 0;
    SendMessageTimeoutW(GetDlgItem(window, 102), BM_GETCHECK, 0, 0, SMTO_BLOCK, ReplyTimeoutMs, &state);
    return state == BST_CHECKED;
}

std::wstring SetupDriver::Text() const
{
    DWORD_PTR length = 0;
    SendMessageTimeoutW(textBox, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, ReplyTimeoutMs, &length);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(textBox, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_BLOCK,
                        ReplyTimeoutMs, &got);
    text.resize(got);
    return text;
}

HWND SetupDriver::Focus() const
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(process.dwThreadId, &info);
    return info.hwndFocus;
}

long SetupDriver::WaitForExit(DWORD timeoutMs)
{
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    return static_cast<long>(code);
}

bool SetupDriver::SaveScreenshot(const std::wstring& path) const
{
    RECT frame = {};
    GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY);
    SelectObject(memory, previous);

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<char> pixels(rowBytes * height);
    GetDIBits(memory, picture, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(out, &file, sizeof file, &written, nullptr) && WriteFile(out, &info, sizeof info, &written, nullptr) &&
              WriteFile(out, pixels.data(), static_cast<DWORD>(pixels.size()), &written, nullptr);
    CloseHandle(out);
    return ok;
}
