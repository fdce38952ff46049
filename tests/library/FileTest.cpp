#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include <share.h>

#include "library/File.h"
#include "library/Mem.h"
#include "support/ChildProcess.h"
#include "support/RealFiles.h"

namespace {

// A scratch folder of real files for one test.
class Scratch
{
public:
    std::wstring PathOf(const wchar_t* name) const { return folder.Path() + name; }
    WString Named(const wchar_t* name) const { return WString(PathOf(name).c_str()); }
    std::string Content(const wchar_t* name) const { return ReadWhole(PathOf(name)); }
    // A file that is still open cannot be deleted, so this tells whether
    // some stream still holds it.
    bool Deletable(const wchar_t* name) const { return DeleteFileW(PathOf(name).c_str()) != 0; }

private:
    const TempFolder folder{L"tarmesh-file"};
};

}  // namespace

TEST(File, OpenOfAnEmptyPathOrAReopenClosesTheOpenStreamFirst)
{
    const Scratch scratch;
    WriteWhole(scratch.PathOf(L"one"), "1");
    WriteWhole(scratch.PathOf(L"two"), "2");
    File file;
    ASSERT_TRUE(file.Open(scratch.Named(L"one"), false, false));
    EXPECT_FALSE(scratch.Deletable(L"one")) << "an open file must be held";
    ASSERT_TRUE(file.Open(scratch.Named(L"two"), false, false));
    EXPECT_EQ(std::wstring(file.path.buffer), scratch.PathOf(L"two"));
    EXPECT_TRUE(scratch.Deletable(L"one"));

    EXPECT_FALSE(file.Open(WString(L""), false, false));
    EXPECT_FALSE(file.Open(WString(), false, false));
    EXPECT_EQ(file.stream, nullptr);
    EXPECT_EQ(file.path.length, 0);
    EXPECT_TRUE(scratch.Deletable(L"two"));
}

TEST(File, OpenModesCreateTruncateOrAppendAndShareWithOtherWriters)
{
    const Scratch scratch;
    File file;
    EXPECT_FALSE(file.Open(scratch.Named(L"missing"), false, false));
    WriteWhole(scratch.PathOf(L"f"), "old content");
    ASSERT_TRUE(file.Open(scratch.Named(L"f"), true, true));
    EXPECT_EQ(file.WriteText("new"), 3);
    file.Close();
    EXPECT_EQ(scratch.Content(L"f"), "new");

    ASSERT_TRUE(file.Open(scratch.Named(L"f"), true, false));
    file.Seek(0);
    file.WriteText("+");
    // Another writer, as Revit or a second installer would be.
    FILE* other = _wfsopen(scratch.PathOf(L"f").c_str(), L"r+b", _SH_DENYNO);
    EXPECT_NE(other, nullptr);
    if (other != nullptr)
        std::fclose(other);
    file.Close();
    EXPECT_EQ(scratch.Content(L"f"), "new+") << "appending ignores the position";
}

TEST(File, SeekOutsideTheFileLandsAtTheEndAndReadsPastItAreZeroFilled)
{
    const Scratch scratch;
    WriteWhole(scratch.PathOf(L"ten"), "0123456789");
    File file;
    ASSERT_TRUE(file.Open(scratch.Named(L"ten"), false, false));
    EXPECT_EQ(file.Seek(-5), 10);
    EXPECT_EQ(file.Seek(3), 3);
    EXPECT_EQ(file.Seek(11), 10);
    EXPECT_EQ(file.Seek(10), 10);
    file.Seek(6);
    EXPECT_EQ(file.Size(), 10);
    EXPECT_EQ(file.Tell(), 6) << "taking the size keeps the position";

    char buffer[10];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(file.Read(buffer, 10), 4);
    EXPECT_EQ(std::string(buffer, 10), std::string("6789\0\0\0\0\0\0", 10));
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(file.Read(buffer, 10), 0);
    EXPECT_EQ(std::string(buffer, 10), std::string(10, '\0'));
}

TEST(File, TextsAreWrittenInTheirOwnEncodings)
{
    const Scratch scratch;
    File file;
    ASSERT_TRUE(file.Open(scratch.Named(L"texts"), true, true));
    EXPECT_EQ(file.WriteWideText(L"ab"), 6);
    EXPECT_EQ(file.WriteWideText(WString()), 2);
    EXPECT_EQ(file.WriteText(""), 0);
    EXPECT_EQ(file.WriteText(NString()), 0);
    EXPECT_EQ(file.WriteUtf8Text(L"\u00E9\u4E2D"), 5);
    EXPECT_EQ(file.WriteUtf8Text(L""), 0);
    Mem mem;
    mem.Write("0123456789", 10);
    mem.Seek(7);
    EXPECT_EQ(file.WriteMem(mem), 3);
    EXPECT_EQ(mem.position, 10);
    file.Close();
    EXPECT_EQ(scratch.Content(L"texts"), std::string("a\0b\0\0\0\0\0\xC3\xA9\xE4\xB8\xAD" "789", 16));
}

TEST(File, CopyToCopiesTheRestInChunksAndNeverIntoAClosedFileOrItself)
{
    const Scratch scratch;
    std::string content;
    for (int i = 0; i < 250; ++i)
        content += static_cast<char>(i);
    WriteWhole(scratch.PathOf(L"source"), content);
    File source;
    File target;
    ASSERT_TRUE(source.Open(scratch.Named(L"source"), false, false));
    EXPECT_EQ(source.CopyTo(target), 0);
    EXPECT_EQ(source.Tell(), 0) << "nothing is read for a closed target";

    ASSERT_TRUE(target.Open(scratch.Named(L"target"), true, true));
    source.Seek(30);
    EXPECT_EQ(source.CopyTo(target), 220);
    source.Seek(0);
    EXPECT_EQ(source.CopyTo(target), 250);
    target.Seek(0);
    EXPECT_EQ(target.CopyTo(target), 0);
    target.Close();
    EXPECT_EQ(scratch.Content(L"target"), content.substr(30) + content);
}

TEST(File, GzipWritesTheMemberWhereThePackageBuilderExpectsIt)
{
    const Scratch scratch;
    WriteWhole(scratch.PathOf(L"abc"), "abc");
    WriteWhole(scratch.PathOf(L"empty"), "");
    File source;
    File package;
    ASSERT_TRUE(package.Open(scratch.Named(L"package"), true, true));
    ASSERT_TRUE(source.Open(scratch.Named(L"empty"), false, false));
    EXPECT_EQ(source.Gzip(package), 0);
    EXPECT_EQ(package.Size(), 0) << "an empty file leaves the target untouched";

    // Placeholder, member, then the length written back over the placeholder.
    ASSERT_TRUE(source.Open(scratch.Named(L"abc"), false, false));
    package.WriteText("SIZE");
    const int32_t length = source.Gzip(package);
    EXPECT_EQ(source.Tell(), 3);
    EXPECT_EQ(package.Tell(), 4 + length);
    EXPECT_EQ(source.Gzip(source), 0);
    package.Seek(0);
    package.WriteText(NString(std::to_string(length).c_str()));
    package.SeekEnd();
    package.WriteText("end");
    package.Close();

    const std::string bytes = scratch.Content(L"package");
    ASSERT_EQ(bytes.size(), size_t(4 + length + 3));
    EXPECT_EQ(bytes.substr(0, 2), std::to_string(length));
    EXPECT_EQ(bytes.substr(4, 10), std::string("\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\xFF", 10));
    EXPECT_EQ(bytes.substr(4 + length - 8), std::string("\xC2\x41\x24\x35\x03\x00\x00\x00" "end", 11));
}

TEST(File, Crc32IsTheChecksumOfGzip)
{
    uint32_t crc = 1;
    EXPECT_TRUE(Crc32("abc", 3, crc));
    EXPECT_EQ(crc, 0x352441C2u);
    EXPECT_TRUE(Crc32("123456789", 9, crc));
    EXPECT_EQ(crc, 0xCBF43926u);
    EXPECT_TRUE(Crc32("", 0, crc));
    EXPECT_EQ(crc, 0u);
    EXPECT_FALSE(Crc32(nullptr, 3, crc));
}

TEST(File, OneGzipWorkspaceServesFilesOfEverySizeInTurn)
{
    const Scratch scratch;
    // Larger, smaller, then larger again than the arrays already hold.
    const std::string contents[] = {std::string(70000, 'a') + "end", "abc", std::string(300000, 'z') + "x"};
    GzipWorkspace workspace;
    for (const std::string& content : contents) {
        WriteWhole(scratch.PathOf(L"in"), content);
        File source;
        File member;
        ASSERT_TRUE(source.Open(scratch.Named(L"in"), false, false));
        ASSERT_TRUE(member.Open(scratch.Named(L"member"), true, true));
        const int32_t length = source.Gzip(member, workspace);
        EXPECT_EQ(length, member.Size());
        member.Close();
        source.Close();

        Mem packed;
        ASSERT_TRUE(packed.LoadFile(scratch.Named(L"member")));
        Mem unpacked;
        ASSERT_EQ(packed.Gunzip(unpacked), int32_t(content.size()));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(unpacked.data.get()), content.size()), content);
    }
}
