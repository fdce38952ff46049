#include "ScreenDpi.h"

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using SystemParametersInfoForDpiFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

// Functions of newer Windows, looked up while the program runs so that it
// still starts on Windows 7 and 8, where they are missing. User32 is loaded
// with the program, so no folder is searched for it.
template <typename Function>
Function NewerUser32Function(const char* name)
{
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// The screen's device context, released again on every path.
class ScreenContext
{
public:
    ScreenContext() = default;
    ScreenContext(const ScreenContext&) = delete;
    ScreenContext& operator=(const ScreenContext&) = delete;
    virtual ~ScreenContext()
    {
        if (context != nullptr)
            ReleaseDC(nullptr, context);
    }

    HDC const context = GetDC(nullptr);
};

// The DPI Windows gave the whole session when the user logged on.
UINT SystemDpi()
{
    const ScreenContext screen;
    const int dpi = screen.context != nullptr ? GetDeviceCaps(screen.context, LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace

UINT WindowDpi(HWND window)
{
    static const auto getDpiForWindow = NewerUser32Function<GetDpiForWindowFunction>("GetDpiForWindow");
    const UINT dpi = getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
    return dpi != 0 ? dpi : SystemDpi();
}

int ScaleToDpi(int pixels, UINT dpi)
{
    return MulDiv(pixels, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

// Without the per-DPI function the system's metrics are those of the system
// DPI, which is then the only DPI there is.
GdiObject<HFONT> MessageFontFor(UINT dpi)
{
    static const auto forDpi = NewerUser32Function<SystemParametersInfoForDpiFunction>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    const BOOL found = forDpi != nullptr ? forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)
                                         : SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    if (!found)
        return GdiObject<HFONT>();
    return GdiObject<HFONT>(CreateFontIndirectW(&metrics.lfMessageFont));
}
