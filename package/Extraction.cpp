#include "Extraction.h"

#include <cstdio>

#include "library/Disk.h"
#include "library/File.h"
#include "package/PackageFormat.h"

namespace {

WString FolderPart(const WString& path)
{
    for (int32_t i = path.length - 1; i >= 0; --i) {
        if (path.buffer[i] == L'\\' || path.buffer[i] == L'/')
            return path.Left(i + 1);
    }
    return WString(L"");
}

// The folders are made only when the first open fails: a folder check (a
// path search and a listing) cost as much as writing the file, while a
// failed open happens once per new folder. A folder that cannot be made
// shows up as a target that cannot be opened, which the user is asked about.
[[nodiscard]] bool OpenTarget(File& file, const WString& target, ExtractionPrompts& prompts)
{
    if (file.Open(target, true, true))
        return true;
    Disk disk;
    (void)disk.CreateFolder(FolderPart(target));
    while (!file.Open(target, true, true)) {
        if (!prompts.RetryLockedTarget())
            return false;
    }
    return true;
}

// The member is unpacked where it lies in the package into `unpacked`, a
// buffer the caller keeps from entry to entry: fresh pages for every member
// cost more than the unpacking itself.
int32_t ExtractInto(Mem& unpacked, int32_t year, const WString& relativePath, Mem& package,
                    const WString& addinsFolder, ExtractionPrompts& prompts)
{
    unpacked.Clear();
    int32_t storedSize = 0;
    if (!ReadStoredSize(package, storedSize) || package.GunzipNext(storedSize, unpacked) == 0) {
        prompts.ReportCorrupted();
        return -1;
    }
    const WString target = addinsFolder + relativePath;
    File file;
    if (!OpenTarget(file, target, prompts))
        return -1;
    unpacked.Seek(0);
    file.WriteMem(unpacked);
    // A full disk must not leave a cut file that counts as installed.
    const bool written = unpacked.position == unpacked.size && std::fflush(file.stream) == 0;
    file.Close();
    if (!written) {
        prompts.ReportWriteFailed(target);
        return -1;
    }
    prompts.ReportProgress((WString(year) + L"\\" + relativePath + L"...\r\n").buffer);
    return 0;
}

}  // namespace

int32_t ExtractEntry(int32_t year, const WString& relativePath, Mem& package, const WString& addinsFolder,
                     ExtractionPrompts& prompts)
{
    Mem unpacked;
    return ExtractInto(unpacked, year, relativePath, package, addinsFolder, prompts);
}

PackageProof ProvePackage(Mem& package)
{
    const int32_t count = ReadEntryCount(package);
    if (count <= 0)
        return PackageProof::Empty;
    Mem unpacked;
    for (int32_t i = 0; i < count; ++i) {
        WString name;
        int32_t storedSize = 0;
        unpacked.Clear();
        if (!ReadEntryName(package, name) || !ReadStoredSize(package, storedSize) ||
            package.GunzipNext(storedSize, unpacked) == 0)
            return PackageProof::Damaged;
    }
    return PackageProof::Sound;
}

YearResult ExtractPackageForYear(Mem& package, int32_t year, const WString& addinsFolder,
                                 ExtractionPrompts& prompts)
{
    const int32_t count = ReadEntryCount(package);
    if (count <= 0)
        return YearResult::NoEntries;
    Mem unpacked;
    for (int32_t i = 0; i < count; ++i) {
        WString name;
        if (!ReadEntryName(package, name)) {
            prompts.ReportCorrupted();
            return YearResult::Stopped;
        }
        const int32_t version = EntryVersion(name);
        if (version == 0 || version == year) {
            if (ExtractInto(unpacked, year, EntryTarget(name), package, addinsFolder, prompts) != 0)
                return YearResult::Stopped;
        } else if (!SkipMember(package)) {
            prompts.ReportCorrupted();
            return YearResult::Stopped;
        }
    }
    return YearResult::Installed;
}
