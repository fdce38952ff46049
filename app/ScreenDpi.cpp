#include "ScreenDpi.h"

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using SystemParametersInfoForDpiFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);

// Functions of Windows 10 1607 and later, looked up while the program runs
// so that it still starts on the Windows before, which lack them. User32 is
// loaded with the program, so no folder is searched for it.
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

// Before Windows 10 1607 there are only the metrics of the system DPI.
// Windows 8.1 may still put the window on a monitor of another DPI, so
// their font is scaled to it; on Windows 7 and 8 the two are always equal.
bool SystemMetricsScaledTo(UINT dpi, NONCLIENTMETRICSW& metrics)
{
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return false;
    LONG& height = metrics.lfMessageFont.lfHeight;
    height = MulDiv(height, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    return true;
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

GdiObject<HFONT> MessageFontFor(UINT dpi)
{
    static const auto forDpi = NewerUser32Function<SystemParametersInfoForDpiFunction>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    const bool found = forDpi != nullptr ? forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi) != FALSE
                                         : SystemMetricsScaledTo(dpi, metrics);
    if (!found)
        return GdiObject<HFONT>();
    return GdiObject<HFONT>(CreateFontIndirectW(&metrics.lfMessageFont));
}
