#include <gtest/gtest.h>

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

TEST_F(PackageBuilder, EntriesFollowTheListingOrderHiddenFilesIncluded)
{
    WriteTree(Source(), {{L"0000\\a.txt", "common"},
                         {L"0000\\tarmesh\\x64\\lib.dll", std::string(100000, 'x')},
                         {L"0000\\.hidden", "hidden"},
                         {L"2017\\a.txt", "year"}});
    ASSERT_TRUE(SetFileAttributesW((Source() + L"0000\\.hidden").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(Build().complete);

    OwnedStringList listed;
    Disk disk;
    disk.List(&listed.items, (Source() + L"*.*").c_str(), Disk::Recurse | Disk::Files, nullptr, nullptr);
    const auto entries = ReadBack();
    ASSERT_EQ(entries.size(), listed.items.size());
    ASSERT_EQ(entries.size(), 4u);
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::wstring path = listed.items[i]->buffer;
        EXPECT_EQ(entries[i].first, path.substr(Source().size()));
        EXPECT_EQ(entries[i].second, ReadWhole(path));
    }
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
