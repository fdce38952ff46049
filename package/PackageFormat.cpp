#include "PackageFormat.h"

#include <cstdlib>
#include <cwchar>

namespace {

constexpr int32_t MemberHeaderAndTrailer = 18;

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool IsSafeComponent(const wchar_t* start, int32_t length)
{
    if (length == 0)
        return false;
    if (length == 1 && start[0] == L'.')
        return false;
    if (length == 2 && start[0] == L'.' && start[1] == L'.')
        return false;
    // Windows drops a trailing dot or blank, so "..." or ". " would name
    // another folder than the one written.
    const wchar_t last = start[length - 1];
    if (last == L'.' || last == L' ')
        return false;
    for (int32_t i = 0; i < length; ++i) {
        if (start[i] < 0x20 || std::wcschr(L":<>\"|?*", start[i]) != nullptr)
            return false;
    }
    return true;
}

int32_t ReadInt32(Mem& package)
{
    uint8_t bytes[4];
    package.Read(bytes, 4);
    return static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t(bytes[3]) << 24);
}

bool IsPossibleSize(const Mem& package, int32_t storedSize)
{
    return storedSize >= MemberHeaderAndTrailer && storedSize <= package.Remaining();
}

}  // namespace

int32_t ReadEntryCount(Mem& package)
{
    package.Seek(0);
    return ReadInt32(package);
}

bool ReadEntryName(Mem& package, WString& name)
{
    name = package.ReadWideText();
    return IsSafeEntryName(name);
}

bool ReadStoredSize(Mem& package, int32_t& storedSize)
{
    storedSize = ReadInt32(package);
    return IsPossibleSize(package, storedSize);
}

bool ReadMember(Mem& package, Mem& member)
{
    int32_t storedSize = 0;
    if (!ReadStoredSize(package, storedSize))
        return false;
    member.Reset(storedSize);
    member.WriteFrom(package, storedSize);
    member.Seek(0);
    return true;
}

bool SkipMember(Mem& package)
{
    int32_t storedSize = 0;
    if (!ReadStoredSize(package, storedSize))
        return false;
    package.Seek(package.position + storedSize);
    return true;
}

int32_t EntryVersion(const WString& name)
{
    const WString folder = name.Left(4);
    return _wtoi(folder.buffer);
}

WString EntryTarget(const WString& name)
{
    return name.Mid(5);
}

bool IsSafeEntryName(const WString& name)
{
    if (name.length < 6 || name.buffer[4] != L'\\')
        return false;
    const wchar_t* path = name.buffer + 5;
    const int32_t length = name.length - 5;
    int32_t start = 0;
    for (int32_t i = 0; i <= length; ++i) {
        if (i == length || IsSeparator(path[i])) {
            if (!IsSafeComponent(path + start, i - start))
                return false;
            start = i + 1;
        } else if (path[i] == 0) {
            return false;
        }
    }
    return true;
}
