#pragma once

// Starts a real Windows process with a chosen command line, its standard
// output redirected to a file, and collects what it wrote.

#include <map>
#include <string>

#include <windows.h>

struct ChildResult
{
    bool started = false;
    bool finished = false;
    DWORD exitCode = 0;
    std::string output;  // the exact bytes written to standard output
};

// `commandLine` is passed to CreateProcessW as it is, program path included;
// an empty `program` lets Windows take the program from the command line.
// Environment variables named in `environment` ("NAME=value" pairs) are set
// for the child only.
ChildResult RunChild(const std::wstring& program, const std::wstring& commandLine,
                     const std::wstring& environment = L"", DWORD timeoutMs = 60000);

// A file beside the running test program.
std::wstring SiblingPath(const wchar_t* fileName);

// UTF-8 of a wide text, for comparing with what a child wrote.
std::string Utf8(const std::wstring& text);

// The "name=value" lines that the test probes print.
std::map<std::string, std::string> ParseProbeLines(const std::string& output);

// A new empty folder under the temporary folder, removed with its content
// on destruction. Its path ends with a backslash.
class TempFolder
{
public:
    explicit TempFolder(const wchar_t* name = L"tarmesh-test");
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    virtual ~TempFolder();

    const std::wstring& Path() const { return path; }

private:
    std::wstring path;
};
