#include "Disk.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include <direct.h>
#include <shlobj.h>
#include <windows.h>

namespace {

constexpr int32_t FolderFilterBits = Disk::OnlyFoldersWithoutFiles | Disk::OnlyFoldersWithFiles |
                                     Disk::OnlyFoldersWithoutSubfolders | Disk::OnlyFoldersWithSubfolders;

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool EndsWithSeparator(const WString& path)
{
    return path.length > 0 && IsSeparator(path.buffer[path.length - 1]);
}

// The index of the last separator before `end`, or -1.
int32_t LastSeparatorBefore(const WString& path, int32_t end)
{
    for (int32_t i = end - 1; i >= 0; --i) {
        if (IsSeparator(path.CharAt(i)))
            return i;
    }
    return -1;
}

// The list owns its elements, so an element is handed over only once the
// list has room for it.
void AppendCopy(StringList& list, const WString& text)
{
    auto item = std::make_unique<WString>(text);
    list.push_back(item.get());
    item.release();
}

int32_t Depth(const WString& path)
{
    int32_t separators = 0;
    for (int32_t i = 0; i < path.length; ++i)
        separators += IsSeparator(path.buffer[i]) ? 1 : 0;
    return separators;
}

// One enumeration of a search pattern. Steps over "." and "..", and over
// hidden entries when asked to; the handle is closed on every path.
class FolderSearch
{
public:
    FolderSearch(const WString& pattern, bool skipHidden)
        : handle(FindFirstFileW(pattern.buffer, &found)), skipHidden(skipHidden)
    {
    }
    FolderSearch(const FolderSearch&) = delete;
    FolderSearch& operator=(const FolderSearch&) = delete;
    virtual ~FolderSearch()
    {
        if (handle != INVALID_HANDLE_VALUE)
            FindClose(handle);
    }

    bool Opened() const { return handle != INVALID_HANDLE_VALUE; }

    // Moves to the next entry to report; false when there is none left.
    bool Next()
    {
        if (!Opened())
            return false;
        do {
            if (!firstPending && !FindNextFileW(handle, &found))
                return false;
            firstPending = false;
        } while (IsSkipped());
        return true;
    }

    const wchar_t* Name() const { return found.cFileName; }
    bool IsFolder() const { return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

private:
    bool IsSkipped() const
    {
        const wchar_t* name = found.cFileName;
        const bool dots = name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
        return dots || (skipHidden && (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0);
    }

    WIN32_FIND_DATAW found = {};
    HANDLE handle;
    bool skipHidden;
    bool firstPending = true;
};

// A folder passes when its direct content fits every filter bit that is set.
bool FolderPassesFilter(Disk& disk, const WString& folderPath, int32_t flags)
{
    if ((flags & FolderFilterBits) == 0)
        return true;
    int32_t files = 0;
    int32_t folders = 0;
    disk.List(nullptr, folderPath + L"*.*", Disk::Folders | Disk::Files | (flags & Disk::SkipHidden), &files,
              &folders);
    if ((flags & Disk::OnlyFoldersWithoutFiles) && files > 0)
        return false;
    if ((flags & Disk::OnlyFoldersWithFiles) && files == 0)
        return false;
    if ((flags & Disk::OnlyFoldersWithoutSubfolders) && folders > 0)
        return false;
    if ((flags & Disk::OnlyFoldersWithSubfolders) && folders == 0)
        return false;
    return true;
}

// One call of Disk::List. With a wildcard mask the platform's matching
// decides which names qualify (first pass), and a walk of the whole folder
// gives their order and the subfolders to enter (second pass), so that
// recursion also enters folders whose names do not match the mask.
class FolderListing
{
public:
    FolderListing(Disk& disk, StringList* list, int32_t flags, int32_t* fileCounter, int32_t* folderCounter)
        : disk(disk), list(list), flags(flags), fileCounter(fileCounter), folderCounter(folderCounter)
    {
    }
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;
    virtual ~FolderListing() = default;

    int32_t Run(const WString& pattern)
    {
        if (!ChooseWhatToReport())
            return 0;
        const int32_t cut = LastSeparatorBefore(pattern, pattern.length);
        if (cut < 0)
            return 0;
        folderPart = pattern.Left(cut + 1);
        mask = pattern.Mid(cut + 1);
        const bool wildcard = mask.Find(L"*", 0, -1) >= 0;
        if (FirstPass(pattern, wildcard) && wildcard)
            SecondPass();
        return count;
    }

private:
    // Contradicting folder filters leave no folder to report.
    bool ChooseWhatToReport()
    {
        reportFiles = (flags & Disk::Files) != 0;
        reportFolders = (flags & Disk::Folders) != 0;
        const bool noFiles = (flags & Disk::OnlyFoldersWithoutFiles) != 0;
        const bool withFiles = (flags & Disk::OnlyFoldersWithFiles) != 0;
        const bool noSubfolders = (flags & Disk::OnlyFoldersWithoutSubfolders) != 0;
        const bool withSubfolders = (flags & Disk::OnlyFoldersWithSubfolders) != 0;
        if ((noFiles && withFiles) || (noSubfolders && withSubfolders))
            reportFolders = false;
        return reportFiles || reportFolders;
    }

    // Exact masks report here, as bare names; wildcard masks only collect
    // the matching names. False when the pattern cannot be searched.
    bool FirstPass(const WString& pattern, bool wildcard)
    {
        FolderSearch search(pattern, SkipsHidden());
        if (!search.Opened())
            return false;
        while (search.Next()) {
            const bool folder = search.IsFolder();
            if (folder ? !reportFolders : !reportFiles)
                continue;
            if (wildcard)
                AppendCopy(remembered.items, WString(search.Name()));
            else if (!folder)
                Add(WString(search.Name()), fileCounter);
            else if (FolderPassesFilter(disk, folderPart + search.Name() + L"\\", flags))
                Add(WString(search.Name()) + L"\\", folderCounter);
        }
        return true;
    }

    void SecondPass()
    {
        FolderSearch search(folderPart + L"*.*", SkipsHidden());
        while (search.Next()) {
            if (!search.IsFolder()) {
                if (reportFiles && Forget(search.Name()))
                    Add(folderPart + search.Name(), fileCounter);
                continue;
            }
            const WString folderPath = folderPart + search.Name() + L"\\";
            if (reportFolders && Forget(search.Name()) && FolderPassesFilter(disk, folderPath, flags))
                Add(folderPath, folderCounter);
            if (flags & Disk::Recurse)
                count += disk.List(list, folderPath + mask, flags, nullptr, nullptr);
        }
    }

    bool SkipsHidden() const { return (flags & Disk::SkipHidden) != 0; }

    // True when the first pass matched the name; it is then dropped.
    bool Forget(const wchar_t* name)
    {
        const int32_t index = IndexOf(remembered.items, name);
        RemoveAt(remembered.items, index);
        return index >= 0;
    }

    void Add(const WString& entry, int32_t* counter)
    {
        if (list != nullptr)
            AppendCopy(*list, entry);
        if (counter != nullptr)
            ++*counter;
        ++count;
    }

    Disk& disk;
    StringList* list;
    int32_t flags;
    int32_t* fileCounter;
    int32_t* folderCounter;
    bool reportFiles = false;
    bool reportFolders = false;
    WString folderPart;
    WString mask;
    OwnedStringList remembered;
    int32_t count = 0;
};

}  // namespace

WString Disk::AppDataPath()
{
    return ShellFolderPath(CSIDL_APPDATA);
}

WString Disk::ShellFolderPath(int csidl)
{
    const HRESULT result = SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, scratch);
    WString path(L"");
    if (FAILED(result) || scratch[0] == 0)
        return path;
    path.Set(scratch);
    if (!EndsWithSeparator(path))
        path.Append(L"\\");
    return path;
}

// The path search answers for files and folders alike; the listing then
// tells whether the last component is a folder.
bool Disk::FolderExists(const WString& path)
{
    if (path.length == 0)
        return false;
    if (_wsearchenv_s(path.buffer, L"", scratch, sizeof scratch / sizeof scratch[0]) != 0 || scratch[0] == 0)
        return false;
    WString folder = path;
    if (EndsWithSeparator(folder))
        folder.TrimRight(1);
    OwnedStringList found;
    return List(&found.items, folder, Folders, nullptr, nullptr) == 1;
}

bool Disk::CreateFolder(const WString& path)
{
    if (!EndsWithSeparator(path))
        return false;
    if (FolderExists(path))
        return true;
    if (_wmkdir(path.buffer) == 0)
        return true;
    if (errno != ENOENT)
        return false;
    const int32_t cut = LastSeparatorBefore(path, path.length - 1);
    if (cut < 0 || !CreateFolder(path.Left(cut + 1)))
        return false;
    return _wmkdir(path.buffer) == 0;
}

// A path without its final separator is refused: its listing pattern would
// be "<name>*.*" in the parent, which reaches into every sibling whose name
// begins the same way.
bool Disk::DeleteFolder(const WString& path, bool goOnAfterFileFailure, bool keepTop)
{
    if (!EndsWithSeparator(path) || !FolderExists(path))
        return false;
    if (!DeleteFiles(path, goOnAfterFileFailure) || !RemoveSubfolders(path))
        return false;
    return keepTop || _wrmdir(path.buffer) == 0;
}

Disk::Obstacle Disk::ObstacleTo(const WString& filePath)
{
    Obstacle obstacle;
    if (filePath.length == 0)
        return obstacle;
    MakeWritable(filePath);
    // Write and delete access together is what replacing or removing the
    // file needs; a mapped image refuses the one, a file open without
    // sharing the other.
    HANDLE file = CreateFileW(filePath.buffer, GENERIC_WRITE | DELETE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return obstacle;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return obstacle;
    obstacle.kind = IsHeldError(error) ? Obstacle::Kind::Held : Obstacle::Kind::Refused;
    obstacle.path = filePath;
    obstacle.windowsError = error;
    return obstacle;
}

void Disk::MakeWritable(const WString& filePath)
{
    const DWORD attributes = GetFileAttributesW(filePath.buffer);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        SetFileAttributesW(filePath.buffer, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

bool Disk::IsHeldError(uint32_t windowsError)
{
    return windowsError == ERROR_SHARING_VIOLATION || windowsError == ERROR_LOCK_VIOLATION ||
           windowsError == ERROR_USER_MAPPED_FILE;
}

bool Disk::SamePath(const WString& a, const WString& b)
{
    return CompareStringOrdinal(a.buffer, a.length, b.buffer, b.length, TRUE) == CSTR_EQUAL;
}

Disk::Obstacle Disk::FirstObstacleBelow(const WString& folder)
{
    if (!EndsWithSeparator(folder) || !FolderExists(folder))
        return Obstacle();
    OwnedStringList files;
    List(&files.items, folder + L"*.*", Recurse | Files, nullptr, nullptr);
    for (const WString* file : files.items) {
        Obstacle obstacle = ObstacleTo(*file);
        if (obstacle.Blocks())
            return obstacle;
    }
    return Obstacle();
}

bool Disk::DeleteFiles(const WString& folder, bool goOnAfterFileFailure)
{
    OwnedStringList files;
    List(&files.items, folder + L"*.*", Recurse | Files, nullptr, nullptr);
    for (const WString* file : files.items) {
        MakeWritable(*file);
        if (!DeleteFileW(file->buffer) && !goOnAfterFileFailure)
            return false;
    }
    return true;
}

bool Disk::RemoveSubfolders(const WString& folder)
{
    OwnedStringList folders;
    List(&folders.items, folder + L"*.*", Recurse | Folders, nullptr, nullptr);
    // Deepest first, so every folder is empty of folders when its turn comes.
    std::stable_sort(folders.items.begin(), folders.items.end(),
                     [](const WString* a, const WString* b) { return Depth(*a) > Depth(*b); });
    for (const WString* subfolder : folders.items) {
        const WString withoutSeparator = subfolder->Left(subfolder->length - 1);
        if (_wrmdir(withoutSeparator.buffer) != 0)
            return false;
    }
    return true;
}

int32_t Disk::List(StringList* list, const WString& pattern, int32_t flags, int32_t* fileCounter,
                   int32_t* folderCounter)
{
    FolderListing listing(*this, list, flags, fileCounter, folderCounter);
    return listing.Run(pattern);
}
