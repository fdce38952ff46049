#pragma once

// The interactive installer's window: the banner, the licence in a text box,
// "I accept the terms and conditions", "Install" and "Quit". Its handles
// live in SetupWindows (Progress.h), where the install procedure finds them.

#include <windows.h>

// Identifiers of the controls.
constexpr int InstallButtonId = 100;
constexpr int QuitButtonId = 101;
constexpr int AcceptCheckBoxId = 102;

class SetupScope;

// Where Install installs: the user's profile, or the computer's folders.
void SetInstallScope(const SetupScope& scope);

void RegisterSetupClass(HINSTANCE instance);

// Creates the window, centred on the work area, and its four controls, all
// scaled for the DPI of the monitor it is on, with the message font, and
// loads the licence. False when the window could
// not be made (no desktop to show it on).
bool CreateSetupWindow(HINSTANCE instance, const RECT& workArea);

LRESULT CALLBACK SetupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Replaces the text box's content with the licence text (empty when the
// program carries none).
void LoadLicenceText();
