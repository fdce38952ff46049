#include "ChildProcess.h"

#include <vector>

namespace {

class Handle
{
public:
    explicit Handle(HANDLE value = INVALID_HANDLE_VALUE) : value(value) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    virtual ~Handle()
    {
        if (value != INVALID_HANDLE_VALUE && value != nullptr)
            CloseHandle(value);
    }
    HANDLE Get() const { return value; }

private:
    HANDLE value;
};

std::wstring TempFileName()
{
    wchar_t folder[MAX_PATH];
    wchar_t name[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"out", 0, name);
    return name;
}

std::string ReadWhole(const std::wstring& path)
{
    Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    return bytes;
}

// The environment block of this process with `extra` ("A=1\nB=2") added.
std::vector<wchar_t> EnvironmentWith(const std::wstring& extra)
{
    std::vector<wchar_t> block;
    wchar_t* current = GetEnvironmentStringsW();
    for (const wchar_t* p = current; *p != 0; p += wcslen(p) + 1)
        block.insert(block.end(), p, p + wcslen(p) + 1);
    FreeEnvironmentStringsW(current);
    size_t start = 0;
    while (start < extra.size()) {
        size_t end = extra.find(L'\n', start);
        if (end == std::wstring::npos)
            end = extra.size();
        block.insert(block.end(), extra.begin() + start, extra.begin() + end);
        block.push_back(0);
        start = end + 1;
    }
    block.push_back(0);
    return block;
}

}  // namespace

ChildResult RunChild(const std::wstring& program, const std::wstring& commandLine,
                     const std::wstring& environment, DWORD timeoutMs)
{
    ChildResult result;
    const std::wstring outputPath = TempFileName();
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    {
        Handle output(CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        Handle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               &inherit, OPEN_EXISTING, 0, nullptr));
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nul.Get();
        startup.hStdOutput = output.Get();
        startup.hStdError = nul.Get();
        PROCESS_INFORMATION process = {};
        std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
        line.push_back(0);
        std::vector<wchar_t> block = EnvironmentWith(environment);
        result.started = CreateProcessW(program.empty() ? nullptr : program.c_str(), line.data(), nullptr, nullptr, TRUE,
                                        CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, &startup,
                                        &process) != 0;
        if (result.started) {
            Handle processHandle(process.hProcess);
            Handle threadHandle(process.hThread);
            result.finished = WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
            if (!result.finished)
                TerminateProcess(process.hProcess, 1);
            GetExitCodeProcess(process.hProcess, &result.exitCode);
        }
    }
    result.output = ReadWhole(outputPath);
    DeleteFileW(outputPath.c_str());
    return result;
}

std::wstring SiblingPath(const wchar_t* fileName)
{
    std::vector<wchar_t> path(32768);
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    std::wstring own(path.data(), n);
    return own.substr(0, own.find_last_of(L'\\') + 1) + fileName;
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr,
                        nullptr);
    return bytes;
}

namespace {

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path + L"\\");
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

TempFolder::TempFolder(const wchar_t* name)
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    for (unsigned attempt = GetTickCount() ^ GetCurrentProcessId();; ++attempt) {
        path = std::wstring(base) + name + L"-" + std::to_wstring(attempt % 1000000) + L"\\";
        if (CreateDirectoryW(path.c_str(), nullptr))
            return;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return;
    }
}

TempFolder::~TempFolder()
{
    RemoveTree(path);
}

std::map<std::string, std::string> ParseProbeLines(const std::string& output)
{
    std::map<std::string, std::string> values;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        std::string line = output.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            values[line.substr(0, equals)] = line.substr(equals + 1);
        start = end + 1;
    }
    return values;
}
