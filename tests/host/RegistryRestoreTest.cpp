#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "support/RegistryRestore.h"

namespace {

const std::wstring Scratch = L"Software\\tarmesh-tests\\restore";

// The stored bytes as they are: RegGetValueW would add a missing terminator.
std::vector<BYTE> Stored(const std::wstring& path, const wchar_t* name, DWORD* type)
{
    std::vector<BYTE> bytes(64);
    DWORD size = DWORD(bytes.size());
    *type = REG_NONE;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    const LSTATUS status = RegQueryValueExW(key, name, nullptr, type, bytes.data(), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return {};
    bytes.resize(size);
    return bytes;
}

}  // namespace

// The Windows version tests lean on this to leave the shared machine-wide
// values as they found them.
TEST(RegistryRestore, PutsBackExactBytesAndRemovesWhatItMade)
{
    RegistryRestore outer;
    const wchar_t unterminated[] = {L'a', L'b', L'!'};
    ASSERT_TRUE(outer.SetBytes(HKEY_CURRENT_USER, Scratch, L"text", REG_SZ, unterminated, 4));
    ASSERT_TRUE(outer.SetNumber(HKEY_CURRENT_USER, Scratch, L"kept", 7));
    {
        RegistryRestore inner;
        ASSERT_TRUE(inner.SetNumber(HKEY_CURRENT_USER, Scratch, L"text", 1));
        ASSERT_TRUE(inner.DeleteValue(HKEY_CURRENT_USER, Scratch, L"kept"));
        ASSERT_TRUE(inner.SetText(HKEY_CURRENT_USER, Scratch, L"new", L"x"));
        ASSERT_TRUE(inner.CreateKey(HKEY_CURRENT_USER, Scratch + L"\\made\\deeper"));
    }
    DWORD type = REG_NONE;
    EXPECT_EQ(Stored(Scratch, L"text", &type), (std::vector<BYTE>{'a', 0, 'b', 0})) << "no terminator added";
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(Stored(Scratch, L"kept", &type), (std::vector<BYTE>{7, 0, 0, 0}));
    EXPECT_EQ(Stored(Scratch, L"new", &type), std::vector<BYTE>{});
    HKEY made = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, (Scratch + L"\\made").c_str(), 0, KEY_READ, &made),
              ERROR_FILE_NOT_FOUND);
}
