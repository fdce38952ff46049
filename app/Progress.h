#pragma once

#include <windows.h>

// The setup window and its controls, reached by the install procedure for
// progress lines and as the owner of its message boxes. All stay null in
// the create and uninstall modes, where no window exists.
struct SetupWindows
{
    static HWND window;
    static HWND textBox;
    static HWND checkBox;
    static HWND installButton;
    static HWND quitButton;
};

// Adds `text` (whole lines, with their own CR LF) to the end of the text
// box, shows its end and repaints at once: the installation keeps the
// window's thread busy, so no paint message would be handled before it ends.
void AppendProgress(const wchar_t* text);
