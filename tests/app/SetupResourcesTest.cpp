#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include <windows.h>

#include "BuildPaths.h"
#include "support/ChildProcess.h"
#include "support/RealFiles.h"

namespace {

// The setup program's resources, read from its file as the loader sees them.
class SetupResources : public testing::Test
{
protected:
    void SetUp() override
    {
        module = LoadLibraryExW(SiblingPath(L"tarmesh-setup.exe").c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override { FreeLibrary(module); }

    std::string Bytes(const wchar_t* type, int id) const
    {
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
        if (found == nullptr)
            return std::string();
        const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
        return std::string(data, SizeofResource(module, found));
    }

    HMODULE module = nullptr;
};

#pragma pack(push, 2)
struct IconGroupEntry
{
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

// Every image of an icon group: its size (256 is stored as 0) and bits.
std::string IconSizes(const std::string& group)
{
    std::string sizes;
    const WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
    for (WORD i = 0; i < count; ++i) {
        const auto* entry = reinterpret_cast<const IconGroupEntry*>(group.data() + 6 + i * sizeof(IconGroupEntry));
        sizes += std::to_string(entry->width == 0 ? 256 : entry->width) + "x" + std::to_string(entry->bitCount) + " ";
    }
    return sizes;
}

}  // namespace

TEST_F(SetupResources, PackageIsTheBuiltOneAndTheLicenceIsUtf16WithCrLf)
{
    EXPECT_EQ(Bytes(L"BINARY", 129), ReadWhole(TARMESH_PACKAGE_FILE_PATH));
    const std::string licence = Bytes(L"BINARY", 132);
    ASSERT_GT(licence.size(), 4u);
    EXPECT_EQ(licence.substr(0, 2), "\xFF\xFE");
    EXPECT_NE(licence.find(std::string("\r\0\n\0", 4)), std::string::npos);
    EXPECT_EQ(licence.size() % 2, 0u);
}

TEST_F(SetupResources, ArtworkAndManifestHaveTheirFormats)
{
    // The banner, and the same at twice the size for screens above 150 %.
    for (const auto& [id, width, height] : {std::tuple{131, 500, 200}, std::tuple{133, 1000, 400}}) {
        const std::string banner = Bytes(MAKEINTRESOURCEW(2), id);  // RT_BITMAP
        ASSERT_GE(banner.size(), sizeof(BITMAPINFOHEADER)) << id;
        const auto* info = reinterpret_cast<const BITMAPINFOHEADER*>(banner.data());
        EXPECT_EQ(info->biWidth, width);
        EXPECT_EQ(std::abs(info->biHeight), height);
        EXPECT_EQ(info->biBitCount, 24);
    }

    EXPECT_EQ(IconSizes(Bytes(MAKEINTRESOURCEW(14), 107)), "16x32 32x32 48x32 64x32 128x32 256x32 ");  // RT_GROUP_ICON
    EXPECT_EQ(IconSizes(Bytes(MAKEINTRESOURCEW(14), 108)), "16x32 ");

    const std::string manifest = Bytes(MAKEINTRESOURCEW(24), 1);  // RT_MANIFEST
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.OSTREL\""), std::string::npos);
    // Without these Windows draws the window at 96 DPI and stretches it,
    // blurred. Wine 8 takes every program as aware whatever its manifest
    // says, so there only the program's file can show them.
    EXPECT_NE(manifest.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
                            "PerMonitorV2, PerMonitor</dpiAwareness>"),
              std::string::npos);
    EXPECT_NE(manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">"
                            "true/pm</dpiAware>"),
              std::string::npos);
}
