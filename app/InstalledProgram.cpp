#include "InstalledProgram.h"

#include <algorithm>

#include <windows.h>

#include "app/SetupScope.h"
#include "library/Date.h"
#include "library/Disk.h"
#include "library/File.h"
#include "library/StringList.h"

namespace {

// 0 for a file that cannot be opened: the size is an estimate, and a file
// that cannot be read adds nothing a user could free.
uint64_t FileBytes(const WString& path)
{
    File file;
    if (!file.Open(path, false, false))
        return 0;
    const int32_t size = file.Size();
    return size > 0 ? static_cast<uint64_t>(size) : 0;
}

uint64_t AddinBytes(Disk& disk, const WString& addins)
{
    uint64_t bytes = FileBytes(addins + L"tarmesh.addin");
    OwnedStringList files;
    disk.List(&files.items, addins + L"tarmesh\\*.*", Disk::Recurse | Disk::Files, nullptr, nullptr);
    for (const WString* path : files.items)
        bytes += FileBytes(*path);
    return bytes;
}

}  // namespace

uint32_t InstalledKilobytes(const SetupScope& scope, const std::vector<int32_t>& years, const WString& programCopy)
{
    Disk disk;
    uint64_t largest = 0;
    for (int32_t year : years)
        largest = std::max(largest, AddinBytes(disk, scope.AddinsFolder(year)));
    const uint64_t kilobytes = (largest + FileBytes(programCopy) + 1023) / 1024;
    return static_cast<uint32_t>(std::min<uint64_t>(kilobytes, UINT32_MAX));
}

WString InstallDateToday()
{
    return Date::Now().Format(L"#Y#+M#+D");
}
