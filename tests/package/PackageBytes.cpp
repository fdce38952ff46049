#include "PackageBytes.h"

#include <gtest/gtest.h>

#include "library/File.h"
#include "support/ChildProcess.h"
#include "support/RealFiles.h"

void WriteTree(const std::wstring& root, const std::map<std::wstring, std::string>& files)
{
    for (const auto& [relative, content] : files) {
        const std::wstring path = root + relative;
        // Every level after the drive; those that exist already stay.
        for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
            CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
        ASSERT_TRUE(WriteWhole(path, content)) << Utf8(path);
    }
}

std::string LittleEndian32(uint32_t value)
{
    const char bytes[4] = {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
    return std::string(bytes, 4);
}

std::string NameBytes(const std::wstring& name)
{
    std::string bytes;
    for (wchar_t c : name) {
        bytes += char(c & 0xFF);
        bytes += char(c >> 8);
    }
    return bytes + std::string(2, '\0');
}

std::string GzipMember(const std::string& content)
{
    TempFolder folder(L"tarmesh-member");
    EXPECT_TRUE(WriteWhole(folder.Path() + L"content", content));
    File source;
    File member;
    EXPECT_TRUE(source.Open((folder.Path() + L"content").c_str(), false, false));
    EXPECT_TRUE(member.Open((folder.Path() + L"member").c_str(), true, true));
    EXPECT_GT(source.Gzip(member), 0);
    source.Close();
    member.Close();
    return ReadWhole(folder.Path() + L"member");
}

std::string Record(const std::wstring& name, const std::string& member)
{
    return NameBytes(name) + LittleEndian32(static_cast<uint32_t>(member.size())) + member;
}

void LoadPackage(Mem& package, const std::string& bytes)
{
    package.Reset(0);
    package.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    package.Seek(0);
}
