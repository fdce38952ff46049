#include "PackageFormat.h"

#include <cstdlib>
#include <cwchar>

namespace {

constexpr int32_t MemberHeaderAndTrailer = 18;

constexpr int32_t LongestComponent = 255;

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

wchar_t Upper(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? wchar_t(c - L'a' + L'A') : c;
}

bool SameLetters(const wchar_t* start, const wchar_t* upper)
{
    for (int32_t i = 0; upper[i] != 0; ++i) {
        if (Upper(start[i]) != upper[i])
            return false;
    }
    return true;
}

// Windows opens the device instead of the file for these names, whatever
// extension follows them.
bool IsDeviceName(const wchar_t* start, int32_t length)
{
    int32_t stem = 0;
    while (stem < length && start[stem] != L'.')
        ++stem;
    if (stem == 3)
        return SameLetters(start, L"CON") || SameLetters(start, L"PRN") || SameLetters(start, L"AUX") ||
               SameLetters(start, L"NUL");
    if (stem == 4 && start[3] >= L'1' && start[3] <= L'9')
        return SameLetters(start, L"COM") || SameLetters(start, L"LPT");
    return false;
}

const wchar_t* ComponentFault(const wchar_t* start, int32_t length)
{
    if (length == 0)
        return L"has an empty folder name";
    if ((length == 1 && start[0] == L'.') || (length == 2 && start[0] == L'.' && start[1] == L'.'))
        return L"has a \".\" or \"..\" folder";
    if (length > LongestComponent)
        return L"has a name longer than 255 characters";
    // Windows drops a trailing dot or blank, so "..." or ". " would name
    // another folder than the one written.
    const wchar_t last = start[length - 1];
    if (last == L'.' || last == L' ')
        return L"has a name ending in a dot or a blank";
    for (int32_t i = 0; i < length; ++i) {
        if (start[i] < 0x20 || std::wcschr(L":<>\"|?*", start[i]) != nullptr)
            return L"has a character Windows refuses in file names";
    }
    if (IsDeviceName(start, length))
        return L"has a device name (CON, NUL, COM1, ...)";
    return nullptr;
}

const wchar_t* VersionFolderFault(const WString& name)
{
    if (name.length < 6 || name.buffer[4] != L'\\')
        return L"is not below a version folder";
    const wchar_t* folder = name.buffer;
    for (int32_t i = 0; i < 4; ++i) {
        if (folder[i] < L'0' || folder[i] > L'9')
            return L"is not below a version folder (0000 or a year)";
    }
    const bool common = folder[0] == L'0' && folder[1] == L'0' && folder[2] == L'0' && folder[3] == L'0';
    if (!common && folder[0] == L'0')
        return L"is not below a version folder (0000 or a year)";
    return nullptr;
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

WString EntryNameFault(const WString& name)
{
    if (const wchar_t* fault = VersionFolderFault(name))
        return WString(fault);
    const wchar_t* path = name.buffer + 5;
    const int32_t length = name.length - 5;
    int32_t start = 0;
    for (int32_t i = 0; i <= length; ++i) {
        if (i == length || IsSeparator(path[i])) {
            if (const wchar_t* fault = ComponentFault(path + start, i - start))
                return WString(fault);
            start = i + 1;
        } else if (path[i] == 0) {
            return WString(L"has a character Windows refuses in file names");
        }
    }
    return WString(L"");
}

bool IsSafeEntryName(const WString& name)
{
    return EntryNameFault(name).length == 0;
}
