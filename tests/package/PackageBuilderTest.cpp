#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <windows.h>

#include "library/Disk.h"
#include "library/Mem.h"
#include "package/PackageBuilder.h"
#include "package/PackageFormat.h"
#include "support/ChildProcess.h"
#include "support/RealFiles.h"
#include "PackageBytes.h"

namespace {

const std::string AssemblyInfo =
    "using System.Reflection;\r\n[assembly: AssemblyTitle(\"tarmesh\")]\r\n"
    "[assembly: AssemblyVersion(\"2.1.3.0\")]\r\n[assembly: AssemblyFileVersion(\"2.1.3.0\")]\r\n";
const std::string HeaderTail = "// kept\r\n#define S(text) L##text\r\n";
const std::string FreshHeader = "#pragma once\r\n#define SETUP_VERSION S(\"\")\r\n" + HeaderTail;

class PackageBuilder : public testing::Test
{
protected:
    std::wstring Source() const { return folder.Path() + L"payload\\"; }
    std::wstring PackagePath() const { return folder.Path() + L"tarmesh.pkg"; }
    std::wstring AssemblyInfoPath() const { return folder.Path() + L"AssemblyInfo.cs"; }
    std::wstring HeaderPath() const { return folder.Path() + L"setup-version.h"; }

    PackageBuild Build()
    {
        return BuildPackage(Source().c_str(), PackagePath().c_str(), AssemblyInfoPath().c_str(),
                            HeaderPath().c_str());
    }

    std::string Header() const { return ReadWhole(HeaderPath()); }

    // Every entry's name and unpacked content, read with the installer's
    // own reader; the buffer must end exactly after the last record.
    std::vector<std::pair<std::wstring, std::string>> ReadBack()
    {
        std::vector<std::pair<std::wstring, std::string>> entries;
        Mem package;
        EXPECT_TRUE(package.LoadFile(PackagePath().c_str()));
        const int32_t count = ReadEntryCount(package);
        for (int32_t i = 0; i < count; ++i) {
            WString name;
            Mem member;
            Mem unpacked;
            EXPECT_TRUE(ReadEntryName(package, name));
            EXPECT_TRUE(ReadMember(package, member));
            const int32_t size = member.Gunzip(unpacked);
            entries.emplace_back(name.buffer, std::string(reinterpret_cast<char*>(unpacked.data.get()), size));
        }
        EXPECT_EQ(package.position, package.size);
        return entries;
    }

    TempFolder folder{L"tarmesh-builder"};
};

}  // namespace

TEST_F(PackageBuilder, OneSmallFileGivesTheExactByteLayout)
{
    WriteTree(Source(), {{L"0000\\a.txt", "abc"}});
    ASSERT_TRUE(Build().complete);
    const std::string bytes = ReadWhole(PackagePath());
    const std::string name = NameBytes(L"0000\\a.txt");
    ASSERT_GT(bytes.size(), 4 + name.size() + 4 + 18);
    EXPECT_EQ(bytes.substr(0, 4), LittleEndian32(1));
    EXPECT_EQ(bytes.substr(4, name.size()), name);
    const size_t sizeAt = 4 + name.size();
    const std::string member = bytes.substr(sizeAt + 4);
    EXPECT_EQ(bytes.substr(sizeAt, 4), LittleEndian32(static_cast<uint32_t>(member.size())));
    EXPECT_EQ(member.substr(0, 10), std::string("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\xFF", 10));
    EXPECT_EQ(member.substr(member.size() - 8), std::string("\xC2\x41\x24\x35\x03\x00\x00\x00", 8));
}

// The order was whatever the file system listed, and "the year's file wins
// over the common one" rests on it.
TEST_F(PackageBuilder, EntriesComeInNtfsOrderWhateverTheListingHiddenFilesIncluded)
{
    // NTFS compares upper-cased names: "_" (0x5F) comes after the letters,
    // a folder's content at the folder's place, before "tarmesh.addin".
    const std::vector<std::wstring> ntfsOrder = {
        L"0000\\.hidden", L"0000\\b.txt", L"0000\\tarmesh\\x64\\lib.dll", L"0000\\tarmesh.addin",
        L"0000\\_x.txt",  L"2017\\a.txt", L"2017\\B.txt"};
    const std::vector<std::wstring> listings[] = {
        {ntfsOrder.rbegin(), ntfsOrder.rend()},
        {L"2017\\B.txt", L"0000\\_x.txt", L"2017\\a.txt", L"0000\\tarmesh.addin", L"0000\\.hidden",
         L"0000\\tarmesh\\x64\\lib.dll", L"0000\\b.txt"}};
    for (const std::vector<std::wstring>& listing : listings) {
        std::vector<WString> names;
        for (const std::wstring& name : listing)
            names.emplace_back(name.c_str());
        std::sort(names.begin(), names.end(), PacksBefore);
        std::vector<std::wstring> sorted;
        for (const WString& name : names)
            sorted.emplace_back(name.buffer);
        EXPECT_EQ(sorted, ntfsOrder);
    }
    EXPECT_FALSE(PacksBefore(WString(L"0000\\A.txt"), WString(L"0000\\a.txt")));
    EXPECT_FALSE(PacksBefore(WString(L"0000\\a.txt"), WString(L"0000\\A.txt")));

    std::map<std::wstring, std::string> tree;
    for (const std::wstring& name : ntfsOrder)
        tree[name] = "content of " + Utf8(name);
    WriteTree(Source(), tree);
    ASSERT_TRUE(SetFileAttributesW((Source() + L"0000\\.hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(Build().complete);
    const auto entries = ReadBack();
    ASSERT_EQ(entries.size(), ntfsOrder.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].first, ntfsOrder[i]);
        EXPECT_EQ(entries[i].second, tree[ntfsOrder[i]]);
    }
}

// Each gave "OK" and a setup program that failed on every user's machine.
TEST_F(PackageBuilder, NamesTheInstallerWouldRefuseFailTheBuildNamingTheFile)
{
    const std::pair<std::wstring, std::wstring> slips[] = {
        {L"notes.txt", L"notes.txt"},
        {L"2017-beta\\tarmesh.addin", L"2017-beta\\tarmesh.addin"},
        {L"0017\\tarmesh.addin", L"0017\\tarmesh.addin"},
        {L"tarmesh\\lib.dll", L"tarmesh\\lib.dll"},
    };
    for (const auto& [slip, named] : slips) {
        const TempFolder own(L"tarmesh-slip");
        const std::wstring source = own.Path() + L"payload\\";
        WriteTree(source, {{L"0000\\tarmesh.addin", "manifest"}, {L"2017\\a.txt", "year"}, {slip, "slip"}});
        const PackageBuild build =
            BuildPackage(source.c_str(), PackagePath().c_str(), AssemblyInfoPath().c_str(), HeaderPath().c_str());
        EXPECT_FALSE(build.complete) << Utf8(slip);
        const std::wstring reason = build.reason.length > 0 ? build.reason.buffer : L"";
        EXPECT_NE(reason.find(source + named), std::wstring::npos) << Utf8(reason);
        EXPECT_EQ(reason.find(L'\n'), std::wstring::npos) << Utf8(reason);
        EXPECT_EQ(ReadWhole(PackagePath()), "") << Utf8(slip);
    }

    // A source folder without its final separator would be searched for in
    // its parent.
    WriteTree(Source(), {{L"0000\\a.txt", "abc"}});
    const std::wstring withoutSeparator = Source().substr(0, Source().size() - 1);
    const PackageBuild build = BuildPackage(withoutSeparator.c_str(), PackagePath().c_str(), L"", L"");
    EXPECT_FALSE(build.complete);
    EXPECT_NE(std::wstring(build.reason.buffer).find(withoutSeparator + L" must end with"), std::wstring::npos)
        << Utf8(build.reason.buffer);
}

TEST_F(PackageBuilder, FailuresLeaveWhatTheyReached)
{
    // No source folder: an empty package and the header untouched.
    ASSERT_TRUE(WriteWhole(AssemblyInfoPath(), AssemblyInfo));
    ASSERT_TRUE(WriteWhole(HeaderPath(), FreshHeader));
    PackageBuild build = Build();
    EXPECT_FALSE(build.complete);
    EXPECT_FALSE(build.reason.length == 0);
    EXPECT_EQ(ReadWhole(PackagePath()), "");
    EXPECT_EQ(Header(), FreshHeader);

    // An empty file: the count and that entry's name and placeholder stay.
    WriteTree(Source(), {{L"0000\\empty.txt", ""}});
    EXPECT_FALSE(Build().complete);
    EXPECT_EQ(ReadWhole(PackagePath()), LittleEndian32(1) + NameBytes(L"0000\\empty.txt") + LittleEndian32(0));
    EXPECT_EQ(Header(), FreshHeader);

    // A package that cannot be created.
    EXPECT_FALSE(BuildPackage(Source().c_str(), (folder.Path() + L"missing\\tarmesh.pkg").c_str(),
                              AssemblyInfoPath().c_str(), HeaderPath().c_str())
                     .complete);
    EXPECT_FALSE(CreatePackage(Source().c_str(), folder.Path().c_str(), L"", L""));
}

TEST_F(PackageBuilder, VersionHeaderTakesTheAssemblyVersionWithoutItsLastComponent)
{
    WriteTree(Source(), {{L"0000\\a.txt", "abc"}});
    ASSERT_TRUE(WriteWhole(AssemblyInfoPath(), AssemblyInfo));
    ASSERT_TRUE(WriteWhole(HeaderPath(), FreshHeader));
    ASSERT_TRUE(Build().complete);
    const std::string expected = "#pragma once\r\n#define SETUP_VERSION S(\"2.1.3\")\r\n" + HeaderTail;
    EXPECT_EQ(Header(), expected);
    // Running it again replaces the same two lines.
    ASSERT_TRUE(Build().complete);
    EXPECT_EQ(Header(), expected);
}

TEST_F(PackageBuilder, VersionHeaderEdgeCases)
{
    WriteTree(Source(), {{L"0000\\a.txt", "abc"}});
    // The attribute on the first line is not found: the version is empty.
    ASSERT_TRUE(WriteWhole(AssemblyInfoPath(), "[assembly: AssemblyVersion(\"3.0.0.0\")]\r\n"));
    ASSERT_TRUE(WriteWhole(HeaderPath(), FreshHeader));
    ASSERT_TRUE(Build().complete);
    EXPECT_EQ(Header(), FreshHeader);

    // A one-line header keeps nothing of itself.
    ASSERT_TRUE(WriteWhole(AssemblyInfoPath(), AssemblyInfo));
    ASSERT_TRUE(WriteWhole(HeaderPath(), "// one line"));
    ASSERT_TRUE(Build().complete);
    EXPECT_EQ(Header(), "#pragma once\r\n#define SETUP_VERSION S(\"2.1.3\")\r\n");

    // A missing assembly information file leaves the header alone and the
    // package complete.
    ASSERT_TRUE(DeleteFileW(AssemblyInfoPath().c_str()));
    ASSERT_TRUE(WriteWhole(HeaderPath(), FreshHeader));
    EXPECT_TRUE(Build().complete);
    EXPECT_EQ(Header(), FreshHeader);
}
