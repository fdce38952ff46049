#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "host/WindowsVersion.h"
#include "support/RegistryRestore.h"

namespace {

const std::wstring VersionKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

std::wstring Version()
{
    const WString version = GetWindowsVersion();
    EXPECT_NE(version.buffer, nullptr) << "callers hand the text to Windows as it is";
    return std::wstring(version.buffer, version.length);
}

// Every test changes the prefix's own machine-wide values, which tests in
// other processes share: the restorer puts them back exactly.
class WindowsVersionTest : public testing::Test
{
protected:
    void Number(const wchar_t* name, DWORD number)
    {
        ASSERT_TRUE(registry.SetNumber(HKEY_LOCAL_MACHINE, VersionKey, name, number)) << "HKLM must be writable";
    }

    void Text(const std::wstring& text)
    {
        ASSERT_TRUE(registry.SetText(HKEY_LOCAL_MACHINE, VersionKey, L"CurrentVersion", text));
    }

    // Text stored as these exact bytes, terminator or not.
    void RawText(const std::wstring& units)
    {
        ASSERT_TRUE(registry.SetBytes(HKEY_LOCAL_MACHINE, VersionKey, L"CurrentVersion", REG_SZ, units.data(),
                                      DWORD(units.size() * sizeof(wchar_t))));
    }

    void Remove(const wchar_t* name) { ASSERT_TRUE(registry.DeleteValue(HKEY_LOCAL_MACHINE, VersionKey, name)); }

    RegistryRestore registry;
};

}  // namespace

TEST_F(WindowsVersionTest, NumbersWinOverTheText)
{
    Text(L"6.3");
    Number(L"CurrentMajorVersionNumber", 10);
    Number(L"CurrentMinorVersionNumber", 0);
    EXPECT_EQ(Version(), L"10.0");
    Number(L"CurrentMajorVersionNumber", 11);
    Number(L"CurrentMinorVersionNumber", 12);
    EXPECT_EQ(Version(), L"11.12") << "decimal, major first";
}

TEST_F(WindowsVersionTest, MissingMinorNumberReadsAsZero)
{
    Number(L"CurrentMajorVersionNumber", 10);
    Remove(L"CurrentMinorVersionNumber");
    EXPECT_EQ(Version(), L"10.0");
}

TEST_F(WindowsVersionTest, TextIsUsedWithoutANonZeroMajorNumber)
{
    Remove(L"CurrentMajorVersionNumber");
    Remove(L"CurrentMinorVersionNumber");
    Text(L"6.1");
    EXPECT_EQ(Version(), L"6.1");
    Number(L"CurrentMinorVersionNumber", 3);
    Text(L"6.3");
    EXPECT_EQ(Version(), L"6.3") << "a minor number alone";
    Number(L"CurrentMajorVersionNumber", 0);
    EXPECT_EQ(Version(), L"6.3") << "major number 0";
    Remove(L"CurrentVersion");
    EXPECT_EQ(Version(), L"") << "no text either";
}

TEST_F(WindowsVersionTest, TextOfMoreThan127CharactersGivesEmpty)
{
    Remove(L"CurrentMajorVersionNumber");
    Text(std::wstring(127, L'7'));
    EXPECT_EQ(Version(), std::wstring(127, L'7'));
    Text(std::wstring(128, L'8'));
    EXPECT_EQ(Version(), L"");
}

TEST_F(WindowsVersionTest, TextEndsAtTerminatorOrStoredBytes)
{
    Remove(L"CurrentMajorVersionNumber");
    RawText(L"6.1");
    EXPECT_EQ(Version(), L"6.1") << "stored without terminator";
    RawText(std::wstring(L"6.2\0junk", 8));
    EXPECT_EQ(Version(), L"6.2");
    RawText(std::wstring(128, L'9'));
    EXPECT_EQ(Version(), std::wstring(128, L'9')) << "a full buffer without terminator is not read past";
}
