#pragma once

// Catches what this process writes to its standard output (file descriptor
// 1) while the object lives, for tests of code that logs with Warn. The
// output goes to a temporary file opened in text mode, so line ends arrive
// as CR LF, exactly as on a redirected standard output.

#include <string>

class StdoutCapture
{
public:
    StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;
    virtual ~StdoutCapture();

    // The bytes written so far.
    std::string Text() const;

private:
    std::wstring path;
    int file = -1;
    int saved = -1;
};
