#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
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

// Names ending with "\" become folders, the others empty files.
void Make(const std::wstring& root, const Names& entries, const Names& hidden = {})
{
    for (const std::wstring& entry : entries) {
        if (entry.back() == L'\\')
            CreateDirectoryW((root + entry).c_str(), nullptr);
        else
            CloseHandle(CreateFileW((root + entry).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    }
    for (const std::wstring& entry : hidden)
        ASSERT_TRUE(SetFileAttributesW((root + entry).c_str(), FILE_ATTRIBUTE_HIDDEN)) << entry;
}

Names Sorted(Names names)
{
    std::sort(names.begin(), names.end());
    return names;
}

// Windows' own enumeration of the folder, as the expected listing.
Names Walk(const std::wstring& folder, int32_t flags)
{
    Names found;
    WIN32_FIND_DATAW entry;
    const std::unique_ptr<void, decltype(&FindClose)> search(FindFirstFileW((folder + L"*").c_str(), &entry),
                                                             &FindClose);
    for (bool more = search.get() != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search.get(), &entry)) {
        const std::wstring name = entry.cFileName;
        const bool folderEntry = entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        const bool hidden = entry.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN;
        if (name == L"." || name == L".." || (hidden && (flags & Disk::SkipHidden)))
            continue;
        if (flags & (folderEntry ? Disk::Folders : Disk::Files))
            found.push_back(folder + name + (folderEntry ? L"\\" : L""));
        if (folderEntry && (flags & Disk::Recurse)) {
            const Names inner = Walk(folder + name + L"\\", flags);
            found.insert(found.end(), inner.begin(), inner.end());
        }
    }
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
}

TEST_F(DiskTest, FolderExistsForFoldersHiddenOrNotButNotForFilesOrDriveRoots)
{
    Make(root, {L"dir\\", L"hid\\", L"file"}, {L"hid"});
    for (const wchar_t* folder : {L"dir\\", L"dir", L"dir/", L"hid\\"})
        EXPECT_TRUE(disk.FolderExists((root + folder).c_str())) << folder;
    for (const wchar_t* other : {L"file", L"file\\", L"missing\\"})
        EXPECT_FALSE(disk.FolderExists((root + other).c_str())) << other;
    EXPECT_FALSE(disk.FolderExists(L"C:\\"));
}

TEST_F(DiskTest, CreateFolderMakesEveryMissingLevelOnlyForAFolderPath)
{
    EXPECT_FALSE(disk.CreateFolder((root + L"a\\b\\c").c_str()));
    EXPECT_FALSE(Exists(root + L"a"));
    EXPECT_TRUE(disk.CreateFolder((root + L"a\\b/c\\").c_str()));
    EXPECT_TRUE(disk.FolderExists((root + L"a\\b\\c\\").c_str()));
    Make(root, {L"file"});
    EXPECT_FALSE(disk.CreateFolder((root + L"file\\sub\\").c_str())) << "a file stands where a folder must go";
}

TEST_F(DiskTest, DeleteFolderRemovesHiddenEntriesAndNestedFoldersDeepestFirst)
{
    const std::wstring x = root + L"x\\";
    Make(root, {L"x\\", L"x\\a\\", L"x\\a\\b\\", L"x\\a\\b\\f", L"x\\hid\\", L"x\\hid\\g", L"x\\h", L"x.txt"},
         {L"x\\hid", L"x\\h"});
    EXPECT_FALSE(disk.DeleteFolder((root + L"x").c_str(), true, false)) << "no final separator";
    EXPECT_TRUE(Exists(root + L"x.txt"));
    EXPECT_TRUE(disk.DeleteFolder(x.c_str(), false, true));
    EXPECT_EQ(Walk(x, Disk::Files | Disk::Folders), Names{}) << "emptied but kept";
    EXPECT_TRUE(disk.DeleteFolder(x.c_str(), false, false));
    EXPECT_FALSE(Exists(x));
}

TEST_F(DiskTest, FileHeldWithoutDeleteSharingStaysAndOnlyItsFolderRemains)
{
    struct Case { const wchar_t* held; bool goOn; bool keepTop; bool result; };
    for (const Case& c : {Case{L"held", true, true, true}, Case{L"sub\\held", true, true, false},
                          Case{L"held", false, false, false}, Case{L"sub\\held", false, false, false}}) {
        SCOPED_TRACE(testing::Message() << c.held << " goOn=" << c.goOn);
        TempFolder caseFolder;
        const std::wstring x = caseFolder.Path();
        Make(x, {L"a", L"sub\\", L"sub\\b", L"z", L"deep\\", L"deep\\c", c.held});
        const Names files = Walk(x, Disk::Recurse | Disk::Files);
        const std::wstring heldPath = x + c.held;
        const HANDLE opened = CreateFileW(heldPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const std::unique_ptr<void, decltype(&CloseHandle)> held(opened, &CloseHandle);
        ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
        EXPECT_EQ(disk.DeleteFolder(x.c_str(), c.goOn, c.keepTop), c.result);
        // Without goOn the files after the held one in listing order stay too.
        const auto heldAt = std::find(files.begin(), files.end(), heldPath);
        const Names left = c.goOn ? Names{heldPath} : Names(heldAt, files.end());
        EXPECT_EQ(Walk(x, Disk::Recurse | Disk::Files | (c.result ? Disk::Folders : 0)), left);
    }
}

TEST_F(DiskTest, ListGoesDepthFirstInEnumerationOrderAndSkipsHiddenOnlyWhenAsked)
{
    Make(root,
         {L"a0", L"a1\\", L"a1\\g1", L"a1\\t\\", L"a1\\t\\g2", L"b", L"c\\", L"c\\g3", L"d", L"hd\\", L"hd\\g4",
          L"hf"},
         {L"hd", L"hf"});
    for (int32_t flags : {0x04, 0x05, 0x03, 0x07, 0x0D, 0x0F, 0x01}) {
        SCOPED_TRACE(flags);
        int32_t files = 0;
        int32_t folders = 0;
        EXPECT_EQ(Listed(root + L"*.*", flags, &files, &folders), Walk(root, flags));
        const Names top = Walk(root, flags & ~Disk::Recurse);
        const auto topFolders = std::count_if(top.begin(), top.end(), [](auto& n) { return n.back() == '\\'; });
        EXPECT_EQ(folders, topFolders) << "counters count the top level only";
        EXPECT_EQ(files, static_cast<int32_t>(top.size() - topFolders));
    }
}

TEST_F(DiskTest, ExactMaskGivesBareNamesAndWildcardMaskStillEntersEveryFolder)
{
    Make(root, {L"a.txt", L"b.log", L"sub\\", L"sub\\c.txt", L"sub\\d.log", L"sub\\x.txt\\"});
    EXPECT_EQ(Listed(root + L"sub", Disk::Folders), Names{L"sub\\"});
    EXPECT_EQ(Listed(root + L"sub", Disk::Files), Names{});
    EXPECT_EQ(Listed(root + L"?.txt", 0x07), Names{L"a.txt"}) << "\"?\" alone makes no wildcard mask";
    EXPECT_EQ(Sorted(Listed(root + L"*.txt", 0x07)),
              Sorted({root + L"a.txt", root + L"sub\\c.txt", root + L"sub\\x.txt\\"}));
    EXPECT_EQ(Listed(L"*.*", 0x07), Names{}) << "no folder part";
}

TEST_F(DiskTest, FolderFiltersLookAtDirectContentOnly)
{
    Make(root,
         {L"top", L"empty\\", L"files\\", L"files\\f", L"subs\\", L"subs\\s\\", L"subs\\s\\deep", L"both\\",
          L"both\\f", L"both\\s\\", L"hidonly\\", L"hidonly\\h"},
         {L"hidonly\\h"});
    const std::pair<int32_t, Names> cases[] = {
        {0x12, {L"empty", L"subs"}},
        {0x1A, {L"empty", L"hidonly", L"subs"}},
        {0x22, {L"both", L"files", L"hidonly"}},
        {0x42, {L"empty", L"files", L"hidonly"}},
        {0x82, {L"both", L"subs"}},
        {0x32, {}},
    };
    for (const auto& [flags, names] : cases) {
        Names paths;
        for (const std::wstring& name : names)
            paths.push_back(root + name + L"\\");
        EXPECT_EQ(Sorted(Listed(root + L"*.*", flags)), paths) << flags;
    }
    EXPECT_EQ(Listed(root + L"*.*", 0x14), Names{root + L"top"}) << "filters ignored for files";
    EXPECT_EQ(Listed(root + L"empty", 0x12), Names{L"empty\\"});
    EXPECT_EQ(Listed(root + L"files", 0x12), Names{});
}
