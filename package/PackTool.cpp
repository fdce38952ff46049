// tarmesh-pack: the package builder as a console program for build scripts.
//
//   tarmesh-pack SOURCE\ PACKAGE [ASSEMBLYINFO HEADER]
//       packs SOURCE\ into PACKAGE (and rewrites HEADER's version lines);
//       exit code 0 when the package was written completely, 1 otherwise
//   tarmesh-pack --list PACKAGE
//       one line per entry: name, stored size, unpacked size
//   tarmesh-pack --verify PACKAGE
//       unpacks every member; exit code 1 at the first damaged entry
//
// Arguments are split as the setup program splits them, so a quoted folder
// keeps its trailing backslash.

#include <cstdio>
#include <cwchar>

#include <windows.h>

#include "library/Library.h"
#include "library/Mem.h"
#include "package/PackageBuilder.h"
#include "package/PackageFormat.h"

namespace {

void Print(FILE* stream, const WString& line)
{
    const NString utf8((line + L"\n").buffer);
    std::fputs(utf8.buffer, stream);
}

int Fail(const WString& reason)
{
    Print(stderr, L"tarmesh-pack: " + reason);
    return 1;
}

int32_t UnpackedSize(const Mem& member)
{
    const uint8_t* end = member.data.get() + member.size;
    return static_cast<int32_t>(end[-4] | end[-3] << 8 | end[-2] << 16 | uint32_t(end[-1]) << 24);
}

// Walks every entry, checking names and stored sizes, and with `verify`
// unpacks every member.
int Walk(const WString& packagePath, bool verify)
{
    Mem package;
    if (!package.LoadFile(packagePath))
        return Fail(L"cannot read " + packagePath);
    const int32_t count = ReadEntryCount(package);
    if (count <= 0)
        return Fail(L"no entries in " + packagePath);
    for (int32_t i = 0; i < count; ++i) {
        WString name;
        if (!ReadEntryName(package, name))
            return Fail(L"entry " + WString(i + 1) + L" of " + WString(count) + L" has a missing or unsafe name");
        Mem member;
        if (!ReadMember(package, member))
            return Fail(L"entry " + name + L" has an impossible stored size");
        if (verify) {
            Mem unpacked;
            if (member.Gunzip(unpacked) == 0)
                return Fail(L"entry " + name + L" is damaged");
        } else {
            Print(stdout, name + L"\t" + WString(member.size) + L"\t" + WString(UnpackedSize(member)));
        }
    }
    if (verify)
        Print(stdout, WString(count) + L" entries verified");
    return 0;
}

int Pack()
{
    const PackageBuild build =
        BuildPackage(Library::Argument(0), Library::Argument(1), Library::Argument(2), Library::Argument(3));
    return build.complete ? 0 : Fail(build.reason);
}

int Run()
{
    const WString first = Library::Argument(0);
    if (first.length == 0 || Library::Argument(1).length == 0)
        return Fail(L"usage: tarmesh-pack SOURCE\\ PACKAGE [ASSEMBLYINFO HEADER] | --list PACKAGE | --verify PACKAGE");
    if (std::wcscmp(first.buffer, L"--list") == 0)
        return Walk(Library::Argument(1), false);
    if (std::wcscmp(first.buffer, L"--verify") == 0)
        return Walk(Library::Argument(1), true);
    return Pack();
}

}  // namespace

int wmain()
{
    // Makers run the tool from build folders; a library beside it must never
    // stand in for a system one.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    Library::Start(GetModuleHandleW(nullptr));
    const int result = Run();
    std::fflush(stdout);
    std::fflush(stderr);
    Library::Stop();
    return result;
}
