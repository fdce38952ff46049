#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

#include "host/RevitDiscovery.h"
#include "support/RegistryRestore.h"

namespace {

const std::wstring RevitKey = L"SOFTWARE\\Autodesk\\Revit\\";

// The years the installer asks about, as it asks.
std::vector<int32_t> FoundYears()
{
    std::vector<int32_t> found;
    for (int32_t year = 2014; year <= 2017; ++year) {
        if (IsRevitInstalled(year))
            found.push_back(year);
    }
    return found;
}

class RevitDiscoveryTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(FoundYears(), std::vector<int32_t>{}) << "the test prefix has no Revit"; }

    void Create(const std::vector<std::wstring>& names, HKEY root = HKEY_CURRENT_USER)
    {
        for (const std::wstring& name : names)
            ASSERT_TRUE(registry.CreateKey(root, name)) << name.c_str();
    }

    RegistryRestore registry;
};

}  // namespace

TEST_F(RevitDiscoveryTest, EachKeyNameFindsItsOwnYearOnly)
{
    const std::vector<std::pair<std::wstring, int32_t>> cases = {
        {L"Autodesk Revit Architecture 2014", 2014},
        {L"Autodesk Revit 2016", 2016},
        {L"2017", 2017},
    };
    for (const auto& [name, year] : cases) {
        RegistryRestore only;
        ASSERT_TRUE(only.CreateKey(HKEY_CURRENT_USER, RevitKey + name));
        EXPECT_EQ(FoundYears(), std::vector<int32_t>{year}) << name.c_str();
    }
}

TEST_F(RevitDiscoveryTest, KeyNamesMatchWithoutRegardToCase)
{
    Create({L"software\\autodesk\\REVIT\\AUTODESK REVIT ARCHITECTURE 2015", L"Software\\Autodesk\\Revit\\autodesk revit 2016"});
    EXPECT_EQ(FoundYears(), (std::vector<int32_t>{2015, 2016}));
}

TEST_F(RevitDiscoveryTest, NearMissNamesAndValuesDoNotCount)
{
    Create({RevitKey + L"Autodesk Revit 2016 ", RevitKey + L"Autodesk Revit2016",
            RevitKey + L"Autodesk Revit Architecture2016", RevitKey + L"02016", RevitKey + L"Autodesk Revit\\2016",
            L"SOFTWARE\\Autodesk\\Autodesk Revit 2016"});
    ASSERT_TRUE(registry.SetText(HKEY_CURRENT_USER, RevitKey, L"2017", L"installed"));
    EXPECT_EQ(FoundYears(), std::vector<int32_t>{});
}

TEST_F(RevitDiscoveryTest, MachineWideKeysAreNotConsulted)
{
    Create({RevitKey + L"Autodesk Revit Architecture 2014", RevitKey + L"Autodesk Revit 2015", RevitKey + L"2016"},
           HKEY_LOCAL_MACHINE);
    EXPECT_EQ(FoundYears(), std::vector<int32_t>{});
}
