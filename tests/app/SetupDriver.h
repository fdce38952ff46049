#pragma once

// Drives the real setup program from outside, as a user would: starts it,
// finds its window and controls by class, caption and identifier, clicks,
// presses keys, reads the text box, and answers its message boxes (MessageBoxes.h).
// It sees the window in the screen's own pixels, whatever the screen's DPI.

#include <string>

#include <windows.h>

class SetupDriver
{
public:
    SetupDriver() = default;
    SetupDriver(const SetupDriver&) = delete;
    SetupDriver& operator=(const SetupDriver&) = delete;
    virtual ~SetupDriver();

    // Starts the program without arguments and waits for its window.
    bool Start(const std::wstring& program);

    // Posts a click, so the program may show boxes while the driver goes on.
    void Click(int controlId) const;
    // A click of the mouse into the text box.
    void ClickTextBox() const;
    // Presses and releases a key on the keyboard (SendInput), with the
    // window brought to the front first, where key presses go.
    void Press(WORD virtualKey) const;
    bool IsEnabled(int controlId) const;
    bool IsTicked() const;
    std::wstring Text() const;
    // The window of the program's thread that has the keyboard focus.
    HWND Focus() const;
    // Waits until the program has ended; its exit code, or -1.
    long WaitForExit(DWORD timeoutMs = 30000);
    // Saves the window's picture as a 24-bit BMP file.
    bool SaveScreenshot(const std::wstring& path) const;

    HWND window = nullptr;
    HWND textBox = nullptr;

private:
    PROCESS_INFORMATION process = {};
};
