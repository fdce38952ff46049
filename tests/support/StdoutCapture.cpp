#include "StdoutCapture.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <windows.h>

StdoutCapture::StdoutCapture()
{
    wchar_t folder[MAX_PATH];
    wchar_t name[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"cap", 0, name);
    path = name;
    std::fflush(stdout);
    file = _wopen(path.c_str(), _O_CREAT | _O_TRUNC | _O_WRONLY | _O_TEXT, _S_IREAD | _S_IWRITE);
    saved = _dup(1);
    if (file >= 0)
        _dup2(file, 1);
}

StdoutCapture::~StdoutCapture()
{
    std::fflush(stdout);
    if (saved >= 0) {
        _dup2(saved, 1);
        _close(saved);
    }
    if (file >= 0)
        _close(file);
    DeleteFileW(path.c_str());
}

std::string StdoutCapture::Text() const
{
    std::fflush(stdout);
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
