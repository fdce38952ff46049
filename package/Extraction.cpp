#include "Extraction.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include <windows.h>

#include "library/Disk.h"
#include "library/File.h"
#include "package/PackageFormat.h"

const wchar_t* const AddinSubfolder = L"tarmesh\\";
const wchar_t* const TemporarySuffix = L".tarmesh-new";
const wchar_t* const AsideSuffix = L".tarmesh-old";

namespace {

WString FolderPart(const WString& path)
{
    for (int32_t i = path.length - 1; i >= 0; --i) {
        if (path.buffer[i] == L'\\' || path.buffer[i] == L'/')
            return path.Left(i + 1);
    }
    return WString(L"");
}

bool IsTopLevel(const WString& relativePath)
{
    return FolderPart(relativePath).length == 0;
}

// True to try again: the user is asked while another program holds the
// target; any other failure is reported and ends the work.
[[nodiscard]] bool RetryAfter(uint32_t error, const WString& target, ExtractionPrompts& prompts)
{
    if (Disk::IsHeldError(error))
        return prompts.RetryLockedTarget();
    prompts.ReportCannotWrite(target, error);
    return false;
}

// The folders are made only when the first open fails: a folder check (a
// path search and a listing) cost as much as writing the file, while a
// failed open happens once per new folder. A folder that cannot be made
// shows up as a target that cannot be opened.
[[nodiscard]] bool OpenTarget(File& file, const WString& target, ExtractionPrompts& prompts)
{
    if (file.Open(target, true, true))
        return true;
    Disk disk;
    (void)disk.CreateFolder(FolderPart(target));
    Disk::MakeWritable(target);
    while (!file.Open(target, true, true)) {
        if (!RetryAfter(GetLastError(), target, prompts))
            return false;
    }
    return true;
}

// The member whose stored size the package is positioned on, unpacked
// where it lies into `unpacked`, a buffer the caller keeps from entry to
// entry: fresh pages for every member cost more than the unpacking itself.
[[nodiscard]] bool Unpack(Mem& package, Mem& unpacked, ExtractionPrompts& prompts)
{
    unpacked.Clear();
    int32_t storedSize = 0;
    if (!ReadStoredSize(package, storedSize) || package.GunzipNext(storedSize, unpacked) == 0) {
        prompts.ReportCorrupted();
        return false;
    }
    return true;
}

// A full disk must not leave a cut file that counts as installed; `shownAs`
// is the name the user is told about. With `commit` the file is on the disk
// itself before it is renamed into place.
[[nodiscard]] bool WriteTarget(const WString& target, Mem& unpacked, bool commit, const WString& shownAs,
                               ExtractionPrompts& prompts)
{
    File file;
    if (!OpenTarget(file, target, prompts))
        return false;
    unpacked.Seek(0);
    file.WriteMem(unpacked);
    const bool written =
        unpacked.position == unpacked.size && (commit ? file.Commit() : std::fflush(file.stream) == 0);
    file.Close();
    if (!written)
        prompts.ReportWriteFailed(shownAs);
    return written;
}

void ReportWritten(int32_t year, const WString& relativePath, ExtractionPrompts& prompts)
{
    prompts.ReportProgress((WString(year) + L"\\" + relativePath + L"...\r\n").buffer);
}

int32_t ExtractInto(Mem& unpacked, int32_t year, const WString& relativePath, Mem& package,
                    const WString& addinsFolder, ExtractionPrompts& prompts)
{
    if (!Unpack(package, unpacked, prompts))
        return -1;
    const WString target = addinsFolder + relativePath;
    if (!WriteTarget(target, unpacked, false, target, prompts))
        return -1;
    ReportWritten(year, relativePath, prompts);
    return 0;
}

// A top-level entry of the year, found by its stored size's position.
struct Manifest
{
    WString relativePath;
    int32_t storedSizeAt = 0;
};

// The year's top-level entries in package order; one of the year replaces
// the common one of the same name, as it would on disk.
[[nodiscard]] bool FindManifests(Mem& package, int32_t count, int32_t year, std::vector<Manifest>& manifests)
{
    for (int32_t i = 0; i < count; ++i) {
        WString name;
        if (!ReadEntryName(package, name))
            return false;
        const int32_t version = EntryVersion(name);
        const WString relativePath = EntryTarget(name);
        if ((version == 0 || version == year) && IsTopLevel(relativePath)) {
            const Manifest found{relativePath, package.position};
            auto same = std::find_if(manifests.begin(), manifests.end(),
                                     [&](const Manifest& m) { return Disk::SamePath(m.relativePath, relativePath); });
            if (same != manifests.end())
                *same = found;
            else
                manifests.push_back(found);
        }
        if (!SkipMember(package))
            return false;
    }
    return true;
}

// Gone already is as good as removed.
[[nodiscard]] bool RemoveManifest(const WString& path, ExtractionPrompts& prompts)
{
    Disk::MakeWritable(path);
    while (!DeleteFileW(path.buffer)) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return true;
        if (!RetryAfter(error, path, prompts))
            return false;
    }
    return true;
}

// Written whole under the temporary name, then renamed over: Revit finds
// the old manifest, none, or the new one, never a cut one.
[[nodiscard]] bool WriteManifest(Mem& unpacked, int32_t year, const Manifest& manifest, Mem& package,
                                 const WString& addinsFolder, ExtractionPrompts& prompts)
{
    package.Seek(manifest.storedSizeAt);
    if (!Unpack(package, unpacked, prompts))
        return false;
    const WString target = addinsFolder + manifest.relativePath;
    const WString temporary = target + TemporarySuffix;
    if (!WriteTarget(temporary, unpacked, true, target, prompts))
        return false;
    while (!MoveFileExW(temporary.buffer, target.buffer, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        if (!RetryAfter(GetLastError(), target, prompts)) {
            DeleteFileW(temporary.buffer);
            return false;
        }
    }
    ReportWritten(year, manifest.relativePath, prompts);
    return true;
}

// Every entry below a folder, common ones and the year's, in package order.
[[nodiscard]] bool ExtractAddinFiles(Mem& package, int32_t count, int32_t year, const WString& addinsFolder,
                                     ExtractionPrompts& prompts)
{
    Mem unpacked;
    for (int32_t i = 0; i < count; ++i) {
        WString name;
        if (!ReadEntryName(package, name)) {
            prompts.ReportCorrupted();
            return false;
        }
        const int32_t version = EntryVersion(name);
        const WString relativePath = EntryTarget(name);
        if ((version == 0 || version == year) && !IsTopLevel(relativePath)) {
            if (ExtractInto(unpacked, year, relativePath, package, addinsFolder, prompts) != 0)
                return false;
        } else if (!SkipMember(package)) {
            prompts.ReportCorrupted();
            return false;
        }
    }
    return true;
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
    std::vector<Manifest> manifests;
    if (!FindManifests(package, count, year, manifests)) {
        prompts.ReportCorrupted();
        return YearResult::Stopped;
    }
    for (const Manifest& manifest : manifests) {
        if (!RemoveManifest(addinsFolder + manifest.relativePath, prompts))
            return YearResult::Stopped;
    }
    RemoveTemporaryFiles(addinsFolder);
    // Files an earlier version left behind go; one that cannot go stays,
    // and the year's new manifest names only files of this version.
    Disk disk;
    if (disk.FolderExists(addinsFolder + AddinSubfolder))
        (void)disk.DeleteFolder(addinsFolder + AddinSubfolder, true, true);
    (void)ReadEntryCount(package);  // back to the first entry
    if (!ExtractAddinFiles(package, count, year, addinsFolder, prompts))
        return YearResult::Stopped;
    const int32_t end = package.position;
    Mem unpacked;
    for (const Manifest& manifest : manifests) {
        if (!WriteManifest(unpacked, year, manifest, package, addinsFolder, prompts))
            return YearResult::Stopped;
    }
    package.Seek(end);
    return YearResult::Installed;
}

Disk::Obstacle FindObstacle(Mem& package, int32_t year, const WString& addinsFolder)
{
    const int32_t count = ReadEntryCount(package);
    std::vector<Manifest> manifests;
    if (count > 0 && FindManifests(package, count, year, manifests)) {
        for (const Manifest& manifest : manifests) {
            Disk::Obstacle obstacle = Disk::ObstacleTo(addinsFolder + manifest.relativePath);
            if (obstacle.Blocks())
                return obstacle;
        }
    }
    Disk disk;
    return disk.FirstObstacleBelow(addinsFolder + AddinSubfolder);
}

Disk::Obstacle FindAddinObstacle(const WString& addinsFolder)
{
    Disk::Obstacle obstacle = Disk::ObstacleTo(addinsFolder + L"tarmesh.addin");
    if (obstacle.Blocks())
        return obstacle;
    Disk disk;
    return disk.FirstObstacleBelow(addinsFolder + AddinSubfolder);
}

WString AsideName(const WString& target)
{
    for (int32_t n = 0; n < 100; ++n) {
        const WString name = target + (n == 0 ? WString(L"") : L"." + WString(n)) + AsideSuffix;
        if (GetFileAttributesW(name.buffer) == INVALID_FILE_ATTRIBUTES)
            return name;
    }
    return WString(L"");
}

void RemoveTemporaryFiles(const WString& folder)
{
    Disk disk;
    for (const wchar_t* suffix : {TemporarySuffix, AsideSuffix}) {
        OwnedStringList leftovers;
        disk.List(&leftovers.items, folder + L"*" + suffix, Disk::Files, nullptr, nullptr);
        for (const WString* leftover : leftovers.items) {
            Disk::MakeWritable(*leftover);
            DeleteFileW(leftover->buffer);
        }
    }
}
