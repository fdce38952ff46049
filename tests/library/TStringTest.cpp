#include <gtest/gtest.h>

#include <string>

#include "library/StringList.h"
#include "library/TString.h"

namespace {

std::wstring Text(const WString& s)
{
    return s.buffer != nullptr ? std::wstring(s.buffer, s.length) : std::wstring();
}

std::string Bytes(const NString& s)
{
    return s.buffer != nullptr ? std::string(s.buffer, s.length) : std::string();
}

// Every string that has a buffer must end in NUL and carry the rule's capacity.
void ExpectInvariants(const WString& s)
{
    ASSERT_NE(s.buffer, nullptr);
    EXPECT_EQ(s.buffer[s.length], L'\0');
    EXPECT_EQ(s.capacity, WString::CapacityFor(s.length));
}

}  // namespace

TEST(TString, DefaultHasNoBufferAndItsCopyIsEmptyWithCapacity8)
{
    const WString none;
    EXPECT_EQ(none.buffer, nullptr);
    EXPECT_EQ(none.length, 0);
    EXPECT_EQ(none.capacity, 0);
    EXPECT_TRUE(none.wide);
    EXPECT_FALSE(NString().wide);

    const WString copy(none);
    ExpectInvariants(copy);
    EXPECT_EQ(copy.length, 0);
    EXPECT_EQ(copy.capacity, 8);
}

TEST(TString, CapacityFollowsPowersOfTwoBothWays)
{
    EXPECT_EQ(WString(L"abcdefg").capacity, 8);
    EXPECT_EQ(WString(L"abcdefgh").capacity, 16);
    EXPECT_EQ(WString::CapacityFor(-3), 8);
    EXPECT_EQ(WString::CapacityFor(31), 32);
    EXPECT_EQ(WString::CapacityFor(32), 64);

    WString s(L"0123456789abcdef");
    EXPECT_EQ(s.capacity, 32);
    const wchar_t* before = s.buffer;
    s.SetLength(15);
    EXPECT_EQ(s.capacity, 16);
    EXPECT_NE(s.buffer, before) << "shrinking across a power of two reallocates";
    EXPECT_EQ(Text(s), L"0123456789abcde");

    s.SetLength(40);
    ExpectInvariants(s);
    EXPECT_EQ(s.capacity, 64);
    EXPECT_EQ(Text(s).substr(0, 15), L"0123456789abcde") << "growing keeps the leading characters";

    s.Clear();
    EXPECT_EQ(s.capacity, 8);
    EXPECT_EQ(s.length, 0);
}

TEST(TString, LengthsBeyondTheDoublingLimitFailAsAllocation)
{
    EXPECT_THROW(WString::CapacityFor(1 << 30), std::bad_alloc);
    EXPECT_THROW(WString::CapacityFor(0x7fffffff), std::bad_alloc);
}

TEST(TString, CountedSetKeepsInnerNuls)
{
    const wchar_t chars[] = {L'a', L'b', L'\0', L'c'};
    WString s;
    s.Set(chars, 3);
    EXPECT_EQ(s.length, 3);
    EXPECT_EQ(s.buffer[2], L'\0');

    s.Set(chars, 4);
    const WString copy(s);
    EXPECT_EQ(Text(copy), std::wstring(chars, 4)) << "copies carry NULs inside the length";
    const WString joined = copy + L"x";
    EXPECT_EQ(Text(joined), std::wstring(chars, 4) + L"x");

    s.Set(chars, -1);
    EXPECT_EQ(Text(s), L"ab") << "a negative count takes the text to its terminator";
    s.Set(static_cast<const wchar_t*>(nullptr), 5);
    EXPECT_EQ(s.length, 0);
}

TEST(TString, CountConstructorAndNumbers)
{
    const WString zeros(WString::Count{20});
    EXPECT_EQ(zeros.length, 20);
    EXPECT_EQ(zeros.capacity, 32);
    EXPECT_EQ(Text(zeros), std::wstring(20, L'\0'));

    EXPECT_EQ(Text(WString(0)), L"0");
    EXPECT_EQ(Text(WString(-1)), L"-1");
    EXPECT_EQ(Text(WString(INT32_MIN)), L"-2147483648");
    EXPECT_EQ(WString(INT32_MIN).capacity, 16);
    EXPECT_EQ(WString(7).capacity, 8);
    EXPECT_EQ(Bytes(NString(2147483647)), "2147483647");
}

TEST(TString, Utf8ConversionBothWays)
{
    EXPECT_EQ(Text(WString("\xC3\xA9")), L"\u00E9");
    EXPECT_EQ(Bytes(NString(L"\u00E9")), "\xC3\xA9");

    // A character outside the basic plane: one surrogate pair, four bytes.
    const wchar_t clef[] = {0xD834, 0xDD1E, 0};
    EXPECT_EQ(Bytes(NString(clef)), "\xF0\x9D\x84\x9E");
    const WString back("\xF0\x9D\x84\x9E");
    EXPECT_EQ(Text(back), std::wstring(clef));

    NString narrow(L"x");
    narrow.Set(L"");
    EXPECT_EQ(narrow.length, 0);
    EXPECT_EQ(narrow.capacity, 8);

    WString wide(L"keep");
    wide.Set(static_cast<const char*>(nullptr));
    EXPECT_EQ(wide.length, 0);

    const std::wstring mixed = L"Ostrel \u00C6\u00D8\u00C5 \u4E2D\u6587 \U0001F600";
    EXPECT_EQ(Text(WString(NString(mixed.c_str()).buffer)), mixed);
}

TEST(TString, MidLeftRightClamp)
{
    const WString abc(L"abc");
    EXPECT_EQ(Text(abc.Mid(-5)), L"abc");
    EXPECT_EQ(Text(abc.Mid(1)), L"bc");
    ExpectInvariants(abc.Mid(3));
    EXPECT_EQ(abc.Mid(3).length, 0);
    EXPECT_EQ(abc.Left(0).length, 0);
    EXPECT_EQ(abc.Right(0).length, 0);
    EXPECT_EQ(Text(abc.Left(2)), L"ab");
    EXPECT_EQ(Text(abc.Right(2)), L"bc");
    EXPECT_EQ(Text(abc.Right(100)), L"abc");
    EXPECT_EQ(Text(abc.Left(100)), L"abc");
    EXPECT_EQ(abc.CharAt(-1), 0);
    EXPECT_EQ(abc.CharAt(3), 0);
    EXPECT_EQ(abc.CharAt(2), L'c');
    EXPECT_EQ(WString().CharAt(0), 0);
    EXPECT_EQ(Bytes(NString("hello").Left(4)), "hell");
}

TEST(TString, FindHonoursItsWindow)
{
    const WString s(L"abcabc");
    EXPECT_EQ(s.Find(L"", 0, -1), -1);
    EXPECT_EQ(s.Find(L"bc", 0, -1), 1);
    EXPECT_EQ(s.Find(L"bc", 2, -1), 4);
    EXPECT_EQ(s.Find(L"bc", -4, 2), -1) << "a needle sticking out of the window is not found";
    EXPECT_EQ(s.Find(L"bc", 0, 3), 1);
    EXPECT_EQ(s.Find(L"ca", 1, 3), 2);
    EXPECT_EQ(s.Find(L"ca", 1, 2), -1);
    EXPECT_EQ(s.Find(L"abc", 6, -1), -1);
    EXPECT_EQ(s.Find(L"c", 0, 1000), 2);
    EXPECT_EQ(s.Find(L"ABC", 0, -1), -1);
    EXPECT_EQ(WString().Find(L"a", 0, -1), -1);
}

TEST(TString, ReplaceNeverSearchesInsertedText)
{
    WString s(L"aa");
    EXPECT_EQ(s.Replace(L"a", L"aa"), 2);
    EXPECT_EQ(Text(s), L"aaaa");

    WString path(L"a\\\"b\\\"");
    EXPECT_EQ(path.Replace(L"\\\"", L"\\\\\""), 2);
    EXPECT_EQ(Text(path), L"a\\\\\"b\\\\\"");

    WString shrink(L"xxABxxABxx");
    EXPECT_EQ(shrink.Replace(L"AB", L""), 2);
    EXPECT_EQ(Text(shrink), L"xxxxxx");
    ExpectInvariants(shrink);

    WString same(L"abc");
    EXPECT_EQ(same.Replace(L"", L"z"), 0);
    EXPECT_EQ(Text(same), L"abc");
    WString empty(L"");
    EXPECT_EQ(empty.Replace(L"a", L"b"), 0);

    WString grow(L"x.x.x.x.x.x.x.x.x");
    EXPECT_EQ(grow.Replace(L".", L"<->"), 8);
    EXPECT_EQ(Text(grow), L"x<->x<->x<->x<->x<->x<->x<->x<->x");
    ExpectInvariants(grow);
}

TEST(TString, ReplaceAtClampsAndAppendsAtTheEnd)
{
    WString s(L"abc");
    s.ReplaceAt(3, 0, L"x");
    EXPECT_EQ(Text(s), L"abcx");
    s.ReplaceAt(5, 1, L"y");
    EXPECT_EQ(Text(s), L"abcx") << "a position past the end changes nothing";
    s.ReplaceAt(-2, 1, L"ZZ");
    EXPECT_EQ(Text(s), L"ZZbcx");
    s.ReplaceAt(1, -1, L"q");
    EXPECT_EQ(Text(s), L"Zq");
    s.ReplaceAt(0, 2, L"0123456789");
    EXPECT_EQ(Text(s), L"0123456789");
    ExpectInvariants(s);
}

TEST(TString, RemoveClampsAndShrinks)
{
    WString abc(L"abc");
    EXPECT_EQ(abc.Remove(5, 1), 0);
    EXPECT_EQ(Text(abc), L"abc");
    EXPECT_EQ(abc.Remove(1, 0), 0);

    WString abcd(L"abcd");
    EXPECT_EQ(abcd.Remove(1, -1), 3);
    EXPECT_EQ(Text(abcd), L"a");

    WString long16(L"0123456789abcdef");
    EXPECT_EQ(long16.Remove(-3, 2), 2);
    EXPECT_EQ(Text(long16), L"23456789abcdef");
    EXPECT_EQ(long16.capacity, 16);
    EXPECT_EQ(long16.Remove(10, 0x7fffffff), 4);
    EXPECT_EQ(Text(long16), L"23456789ab");
}

TEST(TString, TrimStripAndUnquote)
{
    WString empty(L"");
    empty.TrimRight(1);
    EXPECT_EQ(empty.length, 0);

    WString s(L"abcdef");
    s.TrimRight(2);
    EXPECT_EQ(Text(s), L"abcd");
    s.TrimRight(10);
    EXPECT_EQ(s.length, 0);
    EXPECT_EQ(s.capacity, 8);

    WString ends(L"[x]");
    ends.StripEnds();
    EXPECT_EQ(Text(ends), L"x");
    WString two(L"ab");
    two.StripEnds();
    EXPECT_EQ(two.length, 0);

    WString quotes(L"\"\"");
    EXPECT_TRUE(quotes.Unquote());
    EXPECT_EQ(quotes.length, 0);

    WString one(L"\"");
    EXPECT_FALSE(one.Unquote());
    EXPECT_EQ(Text(one), L"\"");

    WString inner(L"\"a\"b\"");
    EXPECT_FALSE(inner.Unquote());
    EXPECT_EQ(Text(inner), L"\"a\"b\"");

    WString path(L"\"C:\\Out\\\"");
    EXPECT_TRUE(path.Unquote());
    EXPECT_EQ(Text(path), L"C:\\Out\\");

    WString half(L"\"abc");
    EXPECT_FALSE(half.Unquote());
}

// Texts that lie inside the string's own buffer are read as if copied first.
TEST(TString, OwnTextAsArgumentIsSafe)
{
    WString s(L"0123456789abcdef");
    s.Append(s.buffer + 10);
    EXPECT_EQ(Text(s), L"0123456789abcdefabcdef");
    ExpectInvariants(s);

    WString r(L"abcabc");
    // Find "abc", replace it by "abcabc": both occurrences of the original.
    EXPECT_EQ(r.Replace(r.buffer + 3, r.buffer), 2);
    EXPECT_EQ(Text(r), L"abcabcabcabc");

    WString at(L"0123456");
    at.ReplaceAt(0, 1, at.buffer + 1);
    EXPECT_EQ(Text(at), L"123456123456");

    WString self(L"0123456789abcdefXYZ");
    self.Set(self.buffer + 16);
    EXPECT_EQ(Text(self), L"XYZ");
    WString kept(L"0123456789");
    kept.Set(kept.buffer + 2, 8);
    EXPECT_EQ(Text(kept), L"23456789") << "same capacity: moved within the buffer";

    WString assigned(L"abc");
    assigned = assigned;
    EXPECT_EQ(Text(assigned), L"abc");
}

TEST(TString, ConcatenationForms)
{
    const WString a(L"ab");
    EXPECT_EQ(Text(a + WString(L"cd")), L"abcd");
    EXPECT_EQ(Text(L"<" + a), L"<ab");
    EXPECT_EQ(Text(a + L">"), L"ab>");
    EXPECT_EQ(Text(WString() + WString()), L"");
    ExpectInvariants(WString() + WString());
    EXPECT_EQ(Bytes(NString("x") + "yz"), "xyz");
}

TEST(StringList, IndexOfRemoveAtAndFree)
{
    StringList list = {new WString(L"a"), nullptr, new WString(L"B"), new WString(L"b")};
    EXPECT_EQ(IndexOf(list, L"b"), 3) << "case counts";
    EXPECT_EQ(IndexOf(list, L"B"), 2);
    EXPECT_EQ(IndexOf(list, L"c"), -1);

    RemoveAt(list, 4);
    RemoveAt(list, -1);
    EXPECT_EQ(list.size(), 4u);
    RemoveAt(list, 1);
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(IndexOf(list, L"b"), 2);
    RemoveAt(list, 0);
    EXPECT_EQ(IndexOf(list, L"B"), 0);

    FreeStringList(&list);
    EXPECT_TRUE(list.empty());
    FreeStringList(nullptr);
}
