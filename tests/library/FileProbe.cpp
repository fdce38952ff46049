// A console program that packs and unpacks gzip members with File and Mem,
// so that gzip_interop.py can hold them against the gzip tools of the Linux
// side. Any number of file pairs per run:
//   file-probe gzip IN OUT [IN OUT ...]     File::Gzip of IN into a new OUT;
//                                           prints "written=<result>"
//   file-probe gunzip IN OUT [IN OUT ...]   Mem::LoadFile of IN, Mem::Gunzip,
//                                           the result into a new OUT; prints
//                                           "unpacked=<result>"
// The exit code is 2 when a file cannot be opened or loaded, or the command
// line is wrong; otherwise 0, whatever the results.

#include <cstdio>
#include <cwchar>

#include <windows.h>

#include "library/File.h"
#include "library/Library.h"
#include "library/Mem.h"

namespace {

bool Gzip(const wchar_t* in, const wchar_t* out)
{
    File source;
    File target;
    if (!source.Open(in, false, false) || !target.Open(out, true, true))
        return false;
    std::printf("written=%d\n", source.Gzip(target));
    return true;
}

bool Gunzip(const wchar_t* in, const wchar_t* out)
{
    Mem member;
    File target;
    if (!member.LoadFile(in) || !target.Open(out, true, true))
        return false;
    Mem unpacked;
    const int32_t result = member.Gunzip(unpacked);
    unpacked.Seek(0);
    target.WriteMem(unpacked);
    std::printf("unpacked=%d\n", result);
    return true;
}

int Run(int argc, wchar_t** argv)
{
    if (argc < 4 || argc % 2 != 0)
        return 2;
    const bool pack = std::wcscmp(argv[1], L"gzip") == 0;
    if (!pack && std::wcscmp(argv[1], L"gunzip") != 0)
        return 2;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (!(pack ? Gzip(argv[i], argv[i + 1]) : Gunzip(argv[i], argv[i + 1])))
            return 2;
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    Library::Start(GetModuleHandleW(nullptr));
    const int status = Run(argc, argv);
    std::fflush(stdout);
    Library::Stop();
    return status;
}
