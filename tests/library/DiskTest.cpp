#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <windows.h>
#include <shlobj.h>

#include "library/Disk.h"
#include "support/ChildProcess.h"

namespace {

using Names = std::vector<std::wstring>;

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Folders end with "\"; every other name becomes an empty file.
void Make(const std::wstring& root, const Names& entries)
{
    for (const std::wstring& entry : entries) {
        if (entry.back() == L'\\')
            ASSERT_TRUE(CreateDirectoryW((root + entry).c_str(), nullptr)) << entry;
        else
            CloseHandle(CreateFileW((root + entry).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    }
}

void Hide(const std::wstring& path)
{
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
}

Names Sorted(Names names)
{
    std::sort(names.begin(), names.end());
    return names;
}

// What Windows itself enumerates, as the expected listing: full paths,
// depth first, folders with "\".
Names Walk(const std::wstring& folder, int32_t flags)
{
    Names found;
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((folder + L"*").c_str(), &entry);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &entry)) {
        const std::wstring name = entry.cFileName;
        const bool isFolder = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (name == L"." || name == L".." ||
            ((flags & Disk::SkipHidden) && (entry.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN)))
            continue;
        if (flags & (isFolder ? Disk::Folders : Disk::Files))
            found.push_back(folder + name + (isFolder ? L"\\" : L""));
        if (isFolder && (flags & Disk::Recurse)) {
            const Names inner = Walk(folder + name + L"\\", flags);
            found.insert(found.end(), inner.begin(), inner.end());
        }
    }
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    return found;
}

Names Listed(const std::wstring& pattern, int32_t flags, int32_t* files = nullptr, int32_t* folders = nullptr)
{
    Disk disk;
    OwnedStringList list;
    const int32_t count = disk.List(&list.items, pattern.c_str(), flags, files, folders);
    Names names;
    for (const WString* item : list.items)
        names.emplace_back(item->buffer, item->length);
    EXPECT_EQ(count, static_cast<int32_t>(names.size()));
    EXPECT_EQ(disk.List(nullptr, pattern.c_str(), flags, nullptr, nullptr), count) << "counting without a list";
    return names;
}

class File
{
public:
    // No sharing at all, so the file can be neither deleted nor opened again.
    explicit File(const std::wstring& path)
        : handle(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    virtual ~File() { CloseHandle(handle); }
    bool Held() const { return handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle;
};

class DiskTest : public testing::Test
{
protected:
    TempFolder temp;
    const std::wstring root = temp.Path();
    Disk disk;
};

}  // namespace

TEST_F(DiskTest, AppDataPathIsTheRoamingFolderWithOneFinalSeparator)
{
    PWSTR known = nullptr;
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &known), S_OK);
    const std::wstring expected = std::wstring(known) + L"\\";
    CoTaskMemFree(known);
    const WString path = disk.AppDataPath();
    EXPECT_EQ(std::wstring(path.buffer, path.length), expected);
    EXPECT_TRUE(disk.FolderExists(path));
}

TEST_F(DiskTest, FolderExistsForFoldersHiddenOrNotButNotForFilesOrDriveRoots)
{
    Make(root, {L"dir\\", L"hid\\", L"file"});
    Hide(root + L"hid");
    for (const wchar_t* folder : {L"dir\\", L"dir", L"dir/", L"hid\\", L"hid"})
        EXPECT_TRUE(disk.FolderExists((root + folder).c_str())) << folder;
    for (const wchar_t* other : {L"file", L"file\\", L"missing\\"})
        EXPECT_FALSE(disk.FolderExists((root + other).c_str())) << other;
    EXPECT_FALSE(disk.FolderExists(L""));
    EXPECT_FALSE(disk.FolderExists(L"C:\\"));
}

TEST_F(DiskTest, CreateFolderMakesEveryMissingLevelOnlyForAFolderPath)
{
    EXPECT_FALSE(disk.CreateFolder((root + L"a\\b\\c").c_str()));
    EXPECT_FALSE(Exists(root + L"a"));
    EXPECT_TRUE(disk.CreateFolder((root + L"a\\b/c\\").c_str()));
    EXPECT_TRUE(disk.FolderExists((root + L"a\\b\\c\\").c_str()));
    EXPECT_TRUE(disk.CreateFolder((root + L"a\\b\\c\\").c_str())) << "already there";
    Make(root, {L"file"});
    EXPECT_FALSE(disk.CreateFolder((root + L"file\\sub\\").c_str())) << "a file stands where a folder must go";
}

TEST_F(DiskTest, DeleteFolderRemovesHiddenEntriesAndNestedFoldersDeepestFirst)
{
    const std::wstring x = root + L"x\\";
    Make(root, {L"x\\", L"x\\a\\", L"x\\a\\b\\", L"x\\a\\b\\c\\", L"x\\a\\b\\c\\f", L"x\\hid\\", L"x\\hid\\g",
                L"x\\h"});
    Hide(x + L"hid");
    Hide(x + L"h");
    EXPECT_TRUE(disk.DeleteFolder(x.c_str(), false, true));
    EXPECT_EQ(Walk(x, Disk::Files | Disk::Folders), Names{}) << "emptied but kept";
    EXPECT_TRUE(disk.DeleteFolder(x.c_str(), false, false));
    EXPECT_FALSE(Exists(x));
    EXPECT_FALSE(disk.DeleteFolder(x.c_str(), false, false));
}

TEST_F(DiskTest, DeleteFolderWithoutFinalSeparatorLeavesSiblingsAlone)
{
    Make(root, {L"x\\", L"x\\f", L"x.txt", L"xy\\", L"xy\\g"});
    EXPECT_FALSE(disk.DeleteFolder((root + L"x").c_str(), true, false));
    for (const wchar_t* kept : {L"x\\f", L"x.txt", L"xy\\g"})
        EXPECT_TRUE(Exists(root + kept)) << kept;
}

TEST_F(DiskTest, FileHeldWithoutDeleteSharingStaysAndOnlyItsFolderRemains)
{
    struct Case
    {
        const wchar_t* held;
        bool goOn;
        bool keepTop;
        bool result;
    };
    for (const Case& c : {Case{L"held", true, true, true}, Case{L"sub\\held", true, true, false},
                          Case{L"held", false, false, false}, Case{L"sub\\held", false, false, false}}) {
        SCOPED_TRACE(testing::Message() << c.held << " goOn=" << c.goOn);
        TempFolder caseFolder;
        const std::wstring x = caseFolder.Path();
        Make(x, {L"a", L"sub\\", L"sub\\b", L"z", L"deep\\", L"deep\\c", c.held});
        const Names filesBefore = Walk(x, Disk::Recurse | Disk::Files);
        const File held(x + c.held);
        ASSERT_TRUE(held.Held());
        EXPECT_EQ(disk.DeleteFolder(x.c_str(), c.goOn, c.keepTop), c.result);
        Names filesLeft(std::find(filesBefore.begin(), filesBefore.end(), x + c.held), filesBefore.end());
        if (c.goOn)
            filesLeft = {x + c.held};
        EXPECT_EQ(Walk(x, Disk::Recurse | Disk::Files), filesLeft) << "deleted in listing order up to the failure";
        if (c.result) {
            EXPECT_EQ(Walk(x, Disk::Recurse | Disk::Files | Disk::Folders), filesLeft) << "subfolders removed";
        }
    }
}

TEST_F(DiskTest, ListGoesDepthFirstInEnumerationOrderAndSkipsHiddenOnlyWhenAsked)
{
    Make(root, {L"a0", L"a1\\", L"a1\\g1", L"a1\\t\\", L"a1\\t\\g2", L"b", L"c\\", L"c\\g3", L"d", L"hd\\",
                L"hd\\g4", L"hf"});
    Hide(root + L"hd");
    Hide(root + L"hf");
    for (int32_t flags : {0x04, 0x05, 0x03, 0x07, 0x0D, 0x0F}) {
        SCOPED_TRACE(flags);
        int32_t files = 0;
        int32_t folders = 0;
        const Names listed = Listed(root + L"*.*", flags, &files, &folders);
        EXPECT_EQ(listed, Walk(root, flags));
        const Names top = Walk(root, flags & ~Disk::Recurse);
        const auto topFolders = std::count_if(top.begin(), top.end(), [](auto& n) { return n.back() == L'\\'; });
        EXPECT_EQ(folders, topFolders) << "counters count the top level only";
        EXPECT_EQ(files, static_cast<int32_t>(top.size() - topFolders));
    }
    EXPECT_EQ(Listed(root + L"*.*", 0x01), Names{}) << "neither files nor folders asked for";
}

TEST_F(DiskTest, ExactMaskGivesBareNamesAndWildcardMaskStillEntersEveryFolder)
{
    Make(root, {L"a.txt", L"b.log", L"sub\\", L"sub\\c.txt", L"sub\\d.log", L"sub\\x.txt\\"});
    EXPECT_EQ(Listed(root + L"sub", Disk::Folders), Names{L"sub\\"});
    EXPECT_EQ(Listed(root + L"a.txt", 0x07), Names{L"a.txt"});
    EXPECT_EQ(Listed(root + L"sub", Disk::Files), Names{});
    EXPECT_EQ(Listed(root + L"?.txt", 0x07), Names{L"a.txt"}) << "\"?\" alone makes no wildcard mask";
    EXPECT_EQ(Sorted(Listed(root + L"*.txt", 0x07)),
              Sorted({root + L"a.txt", root + L"sub\\c.txt", root + L"sub\\x.txt\\"}));
    EXPECT_EQ(Listed(L"*.*", 0x07), Names{}) << "no folder part";
    EXPECT_EQ(Listed(root + L"missing\\*.*", 0x07), Names{});
}

TEST_F(DiskTest, FolderFiltersLookAtDirectContentOnly)
{
    Make(root, {L"top", L"empty\\", L"files\\", L"files\\f", L"subs\\", L"subs\\s\\", L"subs\\s\\deep", L"both\\",
                L"both\\f", L"both\\s\\", L"hidonly\\", L"hidonly\\h"});
    Hide(root + L"hidonly\\h");
    const auto folders = [&](std::initializer_list<const wchar_t*> names) {
        Names paths;
        for (const wchar_t* name : names)
            paths.push_back(root + name + L"\\");
        return Sorted(paths);
    };
    EXPECT_EQ(Sorted(Listed(root + L"*.*", 0x12)), folders({L"empty", L"subs"}));
    EXPECT_EQ(Sorted(Listed(root + L"*.*", 0x1A)), folders({L"empty", L"hidonly", L"subs"})) << "hidden file ignored";
    EXPECT_EQ(Sorted(Listed(root + L"*.*", 0x22)), folders({L"both", L"files", L"hidonly"}));
    EXPECT_EQ(Sorted(Listed(root + L"*.*", 0x42)), folders({L"empty", L"files", L"hidonly"}));
    EXPECT_EQ(Sorted(Listed(root + L"*.*", 0x82)), folders({L"both", L"subs"}));
    EXPECT_EQ(Listed(root + L"*.*", 0x36), Names{root + L"top"}) << "contradicting filters report no folder";
    EXPECT_EQ(Listed(root + L"*.*", 0x14), Names{root + L"top"}) << "filters ignored for files";
    EXPECT_EQ(Listed(root + L"empty", 0x12), Names{L"empty\\"});
    EXPECT_EQ(Listed(root + L"files", 0x12), Names{});
}
