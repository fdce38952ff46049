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

[[nodiscard]] bool OpenTarget(File& file, const WString& target, ExtractionPrompts& prompts)
{
    while (!file.Open(target, true, true)) {
        if (!prompts.RetryLockedTarget())
            return false;
    }
    return true;
}

}  // namespace

int32_t ExtractEntry(int32_t year, const WString& relativePath, Mem& package, const WString& addinsFolder,
                     ExtractionPrompts& prompts)
{
    Mem member;
    Mem unpacked;
    if (!ReadMember(package, member) || member.Gunzip(unpacked) == 0) {
        prompts.ReportCorrupted();
        return -1;
    }
    const WString target = addinsFolder + relativePath;
    // A folder that cannot be made shows up as a target that cannot be
    // opened, which the user is asked about.
    Disk disk;
    (void)disk.CreateFolder(FolderPart(target));
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

YearResult ExtractPackageForYear(Mem& package, int32_t year, const WString& addinsFolder,
                                 ExtractionPrompts& prompts)
{
    const int32_t count = ReadEntryCount(package);
    if (count <= 0)
        return YearResult::NoEntries;
    for (int32_t i = 0; i < count; ++i) {
        WString name;
        if (!ReadEntryName(package, name)) {
            prompts.ReportCorrupted();
            return YearResult::Stopped;
        }
        const int32_t version = EntryVersion(name);
        if (version == 0 || version == year) {
            if (ExtractEntry(year, EntryTarget(name), package, addinsFolder, prompts) != 0)
                return YearResult::Stopped;
        } else if (!SkipMember(package)) {
            prompts.ReportCorrupted();
            return YearResult::Stopped;
        }
    }
    return YearResult::Installed;
}
