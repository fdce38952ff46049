#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <limits>
#include <string>

#include "library/File.h"
#include "library/Mem.h"
#include "support/ChildProcess.h"
#include "support/RealFiles.h"
#include "support/StdoutCapture.h"

namespace {

constexpr int32_t Largest = std::numeric_limits<int32_t>::max();

std::string Bytes(const Mem& mem)
{
    return std::string(reinterpret_cast<const char*>(mem.data.get()), static_cast<size_t>(mem.size));
}

void Fill(Mem& mem, const std::string& bytes, int32_t position = 0)
{
    mem.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    mem.Seek(position);
}

std::string Text(const NString& s)
{
    return std::string(s.buffer, static_cast<size_t>(s.length));
}

// A member as File::Gzip writes it, for the unpacking tests.
std::string GzipMember(const std::string& content)
{
    const TempFolder folder(L"tarmesh-mem");
    WriteWhole(folder.Path() + L"in", content);
    File in;
    File out;
    EXPECT_TRUE(in.Open((folder.Path() + L"in").c_str(), false, false));
    EXPECT_TRUE(out.Open((folder.Path() + L"out").c_str(), true, true));
    EXPECT_GT(in.Gzip(out), 0);
    out.Close();
    return ReadWhole(folder.Path() + L"out");
}

std::string Patched(std::string member, size_t fromEnd, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        member[member.size() - fromEnd + i] = static_cast<char>(value >> (8 * i));
    return member;
}

// The destination already holds "keep", positioned on its "e": what an
// unpacked member must never change when it fails.
int32_t GunzipInto(const std::string& member, Mem& destination)
{
    Mem source;
    Fill(source, member);
    Fill(destination, "keep", 1);
    return source.Gunzip(destination);
}

const std::string Text64k = [] {
    std::string text;
    for (int i = 0; text.size() < 65536; ++i)
        text += "entry " + std::to_string(i % 300) + " of a compressible text\r\n";
    return text;
}();

}  // namespace

TEST(Mem, ReadAtTheEndIsSilentAndShortReadsAreCutZeroFilledAndWarned)
{
    Mem mem;
    EXPECT_EQ(mem.capacity, 1024);
    char destination[4] = {'x', 'x', 'x', 'x'};
    {
        const StdoutCapture out;
        EXPECT_EQ(mem.Remaining(), 0);
        EXPECT_EQ(mem.Read(destination, 4), 0);
        EXPECT_EQ(out.Text(), "");
    }
    EXPECT_EQ(std::string(destination, 4), std::string(4, '\0'));

    Fill(mem, "abcdef", 4);
    const StdoutCapture out;
    EXPECT_EQ(mem.Read(destination, 4), 2);
    EXPECT_EQ(out.Text(), "WARN> Read requested: 4\r\nWARN> Read available: 2\r\n");
    EXPECT_EQ(std::string(destination, 4), std::string("ef\0\0", 4));
    EXPECT_EQ(mem.position, 6);
}

TEST(Mem, SeekOutsideTheDataLandsAtTheEndWithTwoWarnings)
{
    Mem mem;
    Fill(mem, "0123456789", 3);
    const StdoutCapture out;
    EXPECT_EQ(mem.Seek(10), 10);
    EXPECT_EQ(out.Text(), "");
    mem.Seek(3);
    EXPECT_EQ(mem.Seek(11), 10);
    mem.Seek(3);
    EXPECT_EQ(mem.Seek(-1), 10);
    EXPECT_EQ(mem.position, 10);
    EXPECT_EQ(out.Text(), "WARN> Add requested: 11\r\nWARN> Add available: 10\r\n"
                          "WARN> Add requested: -1\r\nWARN> Add available: 10\r\n");
}

TEST(Mem, WritesOverwriteInsideAndGrowByPowersOfTwoFromTheSize)
{
    Mem mem;
    Fill(mem, std::string(100, '.'), 5);
    EXPECT_EQ(mem.Write("0123456789", 10), 10);
    EXPECT_EQ(mem.size, 100);
    EXPECT_EQ(Bytes(mem).substr(0, 16), ".....0123456789.");
    mem.Seek(95);
    mem.Write("0123456789", 10);
    EXPECT_EQ(mem.size, 105);

    Mem grown;
    const std::string bytes(1024, 'g');
    Fill(grown, bytes);
    EXPECT_EQ(grown.capacity, 1024);
    // Only one byte is written at position 0, but size + 1 no longer fits.
    EXPECT_EQ(grown.Write("G", 1), 1);
    EXPECT_EQ(grown.capacity, 2048);
    EXPECT_EQ(Bytes(grown), "G" + bytes.substr(1)) << "growth keeps the bytes";

    grown.Reset(3000);
    EXPECT_EQ(grown.capacity, 3000);
    EXPECT_EQ(grown.size + grown.position, 0);
    grown.Write(std::string(3001, 'r').data(), 3001);
    EXPECT_EQ(grown.capacity, 4096);
    grown.Reset(10);
    EXPECT_EQ(grown.capacity, 1024);
}

TEST(Mem, WritesThatWouldPassTheLargestSizeWriteNothing)
{
    Mem mem;
    // Only the counter is raised: the write must refuse before touching
    // memory, since size + n would wrap below zero.
    mem.size = mem.position = Largest - 5;
    EXPECT_EQ(mem.Write("0123456789", 10), 0);
    EXPECT_EQ(mem.size, Largest - 5);
    mem.size = mem.position = 0;
}

TEST(Mem, WriteFromTakesWhatRemainsAndMovesTheSourceOnlyByWhatWasCopied)
{
    Mem source;
    Fill(source, "0123456789", 4);
    Mem target;
    EXPECT_EQ(target.WriteFrom(source, -1), 6);
    EXPECT_EQ(source.position, 10);
    source.Seek(7);
    EXPECT_EQ(target.WriteFrom(source, 100), 3);
    EXPECT_EQ(Bytes(target), "456789789");

    Mem inert;
    EXPECT_FALSE(inert.LoadBinaryResource(999));
    source.Seek(2);
    EXPECT_EQ(inert.WriteFrom(source, 5), 0);
    EXPECT_EQ(source.position, 2) << "bytes nobody took were skipped";
}

TEST(Mem, ReadWideTextPairsFromThePositionNotTheArrayStart)
{
    Mem mem;
    // From offset 1: 61 00 | 62 00 | 00 00 -> "ab"; the zero pair at
    // offsets 2-3 lies across two units and ends nothing.
    Fill(mem, std::string("\x01" "a\0b\0\0\0" "rest", 11), 1);
    EXPECT_EQ(std::wstring(mem.ReadWideText().buffer), L"ab");
    EXPECT_EQ(mem.position, 7);

    Mem unaligned;
    Fill(unaligned, std::string("a\0\0\x62\0\0", 6));
    const WString text = unaligned.ReadWideText();
    EXPECT_EQ(text.length, 2);
    EXPECT_EQ(text.CharAt(1), 0x6200);

    Mem open;
    Fill(open, std::string("a\0b\0\0", 5));
    EXPECT_EQ(open.ReadWideText().length, 0);
    EXPECT_EQ(open.position, 0) << "an unterminated text is not consumed";
}

TEST(Mem, ReadLineConsumesCrLfButNeverALoneCrsNextByteOrPastTheEnd)
{
    Mem mem;
    Fill(mem, std::string("ab\r\ncd\nef\rgh\0\0ij\r", 17));
    for (const char* line : {"ab", "cd", "ef", "gh", "", "", "ij"})
        EXPECT_EQ(Text(mem.ReadLine()), line);
    EXPECT_EQ(mem.position, mem.size);
    EXPECT_EQ(Text(mem.ReadLine()), "");
    EXPECT_EQ(mem.position, mem.size);

    Mem crlf;
    Fill(crlf, "\r\n");
    EXPECT_EQ(Text(crlf.ReadLine()), "");
    EXPECT_EQ(crlf.position, 2);
}

TEST(Mem, RestReadersTakeEveryByteAndMoveToTheEnd)
{
    Mem mem;
    Fill(mem, std::string("xa\0b\0c", 6), 1);
    EXPECT_EQ(Text(mem.ReadRestText()), std::string("a\0b\0c", 5));
    EXPECT_EQ(mem.position, 6);
    EXPECT_EQ(mem.ReadRestText().length, 0);
    mem.Seek(1);
    const WString wide = mem.ReadRestWideText();
    EXPECT_EQ(std::wstring(wide.buffer, 2), L"ab") << "the odd last byte is passed over";
    EXPECT_EQ(mem.position, 6);
}

TEST(Mem, FindBytesRestartsOneByteAfterAFalseStart)
{
    Mem mem;
    Fill(mem, "xaaabaab", 1);
    EXPECT_EQ(mem.FindBytes("aab", 3), 5);
    EXPECT_EQ(mem.position, 5);
    EXPECT_EQ(mem.FindBytes("aab", 3), 8) << "a match that ends the data";
    mem.Seek(2);
    EXPECT_EQ(mem.FindBytes("xa", 2), -1) << "bytes before the position are not searched";
    EXPECT_EQ(mem.FindBytes("aaab", 0), -1);
    EXPECT_EQ(mem.position, 2);
}

TEST(Mem, LoadBinaryResourceCopiesTheWholeResourceWithAnExactCapacity)
{
    Mem mem;
    ASSERT_TRUE(mem.LoadBinaryResource(201));
    EXPECT_EQ(Bytes(mem), std::string("tar\0\xFFm\x01\x02", 8));
    EXPECT_EQ(mem.capacity, 1024);
    EXPECT_EQ(mem.position, 0);

    ASSERT_TRUE(mem.LoadBinaryResource(202));
    std::string digits;
    for (int i = 0; i < 130; ++i)
        digits += "0123456789";
    EXPECT_EQ(Bytes(mem), digits);
    EXPECT_EQ(mem.capacity, 1300);

    // In place: the same bytes, at the resource's own address, never
    // written through (the resource lies in read-only pages).
    Mem view;
    ASSERT_TRUE(view.ViewBinaryResource(202));
    EXPECT_EQ(Bytes(view), digits);
    EXPECT_EQ(view.data.get(), static_cast<const uint8_t*>(LockResource(
                                   LoadResource(nullptr, FindResourceW(nullptr, MAKEINTRESOURCEW(202), L"BINARY")))));
    EXPECT_FALSE(view.IsWritable());
    EXPECT_EQ(view.Write("x", 1), 0);
    Mem unpacked;
    unpacked.Clear();
    view.Seek(0);
    EXPECT_EQ(unpacked.WriteFrom(view, 10), 10);
    EXPECT_EQ(Bytes(view), digits);
    EXPECT_FALSE(view.ViewBinaryResource(203));
    EXPECT_TRUE(view.data == nullptr);
    view.Reset(0);
    EXPECT_TRUE(view.IsWritable());
}

TEST(Mem, AMissingResourceLeavesAnInertBufferWithoutArray)
{
    Mem mem;
    Fill(mem, "abc");
    EXPECT_FALSE(mem.LoadBinaryResource(203));
    EXPECT_TRUE(mem.data == nullptr);
    EXPECT_EQ(mem.capacity + mem.size + mem.position, 0);
    char destination[2] = {'x', 'x'};
    const StdoutCapture out;
    EXPECT_EQ(mem.Read(destination, 2), 0);
    EXPECT_EQ(std::string(destination, 2), "xx");
    EXPECT_EQ(mem.Write("abc", 3), 0);
    EXPECT_EQ(mem.Seek(5), 0);
    EXPECT_EQ(mem.ReadLine().length + mem.ReadWideText().length, 0);
    EXPECT_EQ(mem.FindBytes("a", 1), -1);
    Mem member;
    Fill(member, GzipMember("abc"));
    EXPECT_EQ(member.Gunzip(mem), 0) << "nothing was appended";
    EXPECT_EQ(out.Text(), "");
}

TEST(Mem, LoadFileReadsTheWholeFileAndRejectsMissingOrEmptyOnes)
{
    const TempFolder folder(L"tarmesh-mem");
    const std::string content(3000, 'f');
    WriteWhole(folder.Path() + L"whole", content);
    WriteWhole(folder.Path() + L"empty", "");
    Mem mem;
    ASSERT_TRUE(mem.LoadFile((folder.Path() + L"whole").c_str()));
    EXPECT_EQ(Bytes(mem), content);
    EXPECT_EQ(mem.capacity, 4096);
    EXPECT_EQ(mem.position, 0);
    for (const wchar_t* name : {L"missing", L"empty"}) {
        EXPECT_FALSE(mem.LoadFile((folder.Path() + name).c_str())) << Utf8(name);
        EXPECT_EQ(mem.size + mem.position, 0);
        EXPECT_EQ(mem.capacity, 1024);
    }
}

TEST(Mem, GunzipAppendsAtTheDestinationPositionAndSkipsAStoredName)
{
    const std::string member = GzipMember(Text64k);
    Mem destination;
    EXPECT_EQ(GunzipInto(member, destination), int32_t(Text64k.size()));
    EXPECT_EQ(Bytes(destination), "k" + Text64k);
    EXPECT_EQ(destination.position, destination.size);

    // FLG 8 with the one-letter name "a": the deflate data starts at 12.
    std::string named = member;
    named[3] = 8;
    named.insert(10, std::string("a\0", 2));
    Mem fromNamed;
    EXPECT_EQ(GunzipInto(named, fromNamed), int32_t(Text64k.size()));
}

TEST(Mem, GunzipRejectsDamagedMembersAndLeavesTheDestinationAlone)
{
    const std::string member = GzipMember(Text64k);
    const uint32_t isize = static_cast<uint32_t>(Text64k.size());
    std::string flipped = member;
    flipped[member.size() / 2] ^= 0x10;
    const std::string bad[] = {
        member.substr(0, 17),                   // shorter than header and trailer
        member.substr(0, member.size() / 2),    // a cut file: its trailer is gone
        member.substr(0, member.size() / 2) + member.substr(member.size() - 8),  // cut data, whole trailer
        flipped,
        Patched(member, 8, 0x12345678),         // a CRC-32 of other data
        Patched(member, 4, isize + 1),          // the data ends before ISIZE
        Patched(member, 4, isize - 1),          // the data does not fit ISIZE
        Patched(member, 4, 0),                  // an empty file
        Patched(member, 4, 0x7FFFFFF0),         // allocatable on some machines, never filled
        Patched(member, 4, 0xFFFFFFF0),         // more than a buffer can hold
    };
    for (size_t i = 0; i < std::size(bad); ++i) {
        Mem destination;
        EXPECT_EQ(GunzipInto(bad[i], destination), 0) << "case " << i;
        EXPECT_EQ(Bytes(destination), "keep") << "case " << i;
        EXPECT_EQ(destination.position, 1) << "case " << i;
    }
}

TEST(Mem, GunzipRefusesAResultThatWouldPassTheLargestBufferSize)
{
    Mem source;
    Fill(source, GzipMember("abc"));
    Mem destination;
    // Only the counter is raised: the check must come before any copy.
    destination.size = destination.position = Largest - 2;
    EXPECT_EQ(source.Gunzip(destination), 0);
    EXPECT_EQ(destination.size, Largest - 2);
    destination.size = destination.position = 0;
    EXPECT_EQ(source.Gunzip(destination), 3);
}

TEST(Mem, GunzipNextUnpacksAMemberInsideAPackageAndAlwaysMovesPastIt)
{
    const std::string member = GzipMember(Text64k);
    std::string damaged = GzipMember("short and damaged");
    damaged[damaged.size() - 9] ^= 0x01;
    const int32_t memberSize = static_cast<int32_t>(member.size());
    const int32_t damagedSize = static_cast<int32_t>(damaged.size());
    // An odd offset, a damaged member after it and bytes no member owns.
    Mem package;
    Fill(package, "abc" + member + damaged + "tail", 3);
    Mem destination;
    Fill(destination, "keep", 1);

    EXPECT_EQ(package.GunzipNext(memberSize, destination), int32_t(Text64k.size()));
    EXPECT_EQ(Bytes(destination), "k" + Text64k);
    EXPECT_EQ(package.position, 3 + memberSize);
    EXPECT_EQ(package.GunzipNext(damagedSize, destination), 0);
    EXPECT_EQ(package.position, 3 + memberSize + damagedSize) << "a damaged member is passed over too";
    EXPECT_EQ(Bytes(destination), "k" + Text64k);
    EXPECT_EQ(package.GunzipNext(1000, destination), 0) << "cut to the four bytes left";
    EXPECT_EQ(package.position, package.size);
}

TEST(Mem, ClearKeepsTheArraySoAReusedDestinationHoldsOnlyTheNextMember)
{
    Mem large;
    Fill(large, GzipMember(Text64k));
    Mem small;
    Fill(small, GzipMember("abc"));
    Mem destination;
    ASSERT_EQ(large.Gunzip(destination), int32_t(Text64k.size()));
    const uint8_t* array = destination.data.get();
    const int32_t capacity = destination.capacity;

    destination.Clear();
    EXPECT_EQ(destination.size + destination.position, 0);
    ASSERT_EQ(small.Gunzip(destination), 3);
    EXPECT_EQ(Bytes(destination), "abc") << "nothing of the larger member may follow";
    EXPECT_EQ(destination.data.get(), array);
    EXPECT_EQ(destination.capacity, capacity);
}
