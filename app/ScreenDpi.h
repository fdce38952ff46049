#pragma once

// The setup window is laid out in pixels of a 96-DPI screen; these give the
// DPI of the monitor a window is on and scale to it.

#include <windows.h>

#include "library/GdiObject.h"

// The DPI of the monitor the window is on; before Windows 10 1607, the
// system DPI.
UINT WindowDpi(HWND window);

// `pixels` at 96 DPI, in pixels at `dpi`.
int ScaleToDpi(int pixels, UINT dpi);

// The font Windows uses for message boxes, made for `dpi`; empty when none
// could be made.
GdiObject<HFONT> MessageFontFor(UINT dpi);
