#include <gtest/gtest.h>

#include <future>
#include <string>

#include <windows.h>

#include "app/Progress.h"
#include "app/SetupPrompts.h"
#include "library/Mem.h"
#include "package/Extraction.h"
#include "support/ChildProcess.h"
#include "support/MessageBoxes.h"
#include "support/RealFiles.h"
#include "../package/PackageBytes.h"

namespace {

// A setup window stand-in that owns the boxes, with the real text box.
class SetupPromptsWindow : public testing::Test
{
protected:
    void SetUp() override
    {
        SetupWindows::window = CreateWindowExW(0, L"STATIC", L"tarmesh", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 515,
                                               600, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(SetupWindows::window, nullptr) << "no window could be made: is there a display?";
        SetupWindows::textBox = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 5, 210, 495,
                                                290, SetupWindows::window, nullptr, GetModuleHandleW(nullptr), nullptr);
        WriteTree(Addins(), {{L"tarmesh\\lib.dll", "in use"}});
        holder = CreateFileW((Addins() + L"tarmesh\\lib.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                             nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        LoadPackage(package, LittleEndian32(2) + Record(L"0000\\tarmesh.addin", GzipMember("manifest")) +
                                 Record(L"0000\\tarmesh\\lib.dll", GzipMember("new library")));
    }

    void TearDown() override
    {
        if (holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);
        DestroyWindow(SetupWindows::window);
        SetupWindows::window = nullptr;
        SetupWindows::textBox = nullptr;
    }

    std::wstring Addins() const { return folder.Path() + L"Addins\\2017\\"; }

    std::wstring ProgressText() const
    {
        std::wstring text(static_cast<size_t>(GetWindowTextLengthW(SetupWindows::textBox)) + 1, L'\0');
        text.resize(static_cast<size_t>(
            GetWindowTextW(SetupWindows::textBox, text.data(), static_cast<int>(text.size()))));
        return text;
    }

    TempFolder folder{L"tarmesh-prompts"};
    HANDLE holder = INVALID_HANDLE_VALUE;
    Mem package;
    SetupPrompts prompts;
};

}  // namespace

TEST_F(SetupPromptsWindow, LockedTargetAsksRetryOrCancelOwnedByTheSetupWindow)
{
    // Cancel: the walk stops, what came before stays.
    auto cancel = std::async(std::launch::async, [] { return AnswerMessageBox(L"Error", IDCANCEL); });
    EXPECT_EQ(ExtractPackageForYear(package, 2017, Addins().c_str(), prompts), YearResult::Stopped);
    const ShownBox asked = cancel.get();
    ASSERT_TRUE(asked.found);
    EXPECT_EQ(asked.text, L"Please close Revit before installing the tarmesh plugin.");
    EXPECT_EQ(asked.owner, SetupWindows::window);
    EXPECT_TRUE(asked.hasRetry && asked.hasCancel);
    WIN32_FILE_ATTRIBUTE_DATA held{};
    ASSERT_TRUE(GetFileAttributesExW((Addins() + L"tarmesh\\lib.dll").c_str(), GetFileExInfoStandard, &held));
    EXPECT_EQ(held.nFileSizeLow, 6u) << "the held file is left as it was";
    EXPECT_EQ(ProgressText(), L"") << "the manifest comes last";

    // Retry once Revit has closed: the same entry is written.
    auto retry = std::async(std::launch::async, [this] {
        return AnswerMessageBox(L"Error", IDRETRY, 30000, [this] {
            CloseHandle(holder);
            holder = INVALID_HANDLE_VALUE;
        });
    });
    package.Seek(0);
    EXPECT_EQ(ExtractPackageForYear(package, 2017, Addins().c_str(), prompts), YearResult::Installed);
    EXPECT_TRUE(retry.get().found);
    EXPECT_EQ(ReadWhole(Addins() + L"tarmesh\\lib.dll"), "new library");
}

TEST_F(SetupPromptsWindow, DamagedPackageIsReportedInABoxOfItsOwn)
{
    std::string damaged = GzipMember(std::string(4000, 'd'));
    damaged[11] = char(0xFF);
    damaged[12] = char(0xFF);
    LoadPackage(package, LittleEndian32(1) + Record(L"0000\\tarmesh.addin", damaged));
    auto answer = std::async(std::launch::async, [] { return AnswerMessageBox(L"Error", IDOK); });
    EXPECT_EQ(ExtractPackageForYear(package, 2017, Addins().c_str(), prompts), YearResult::Stopped);
    const ShownBox shown = answer.get();
    ASSERT_TRUE(shown.found);
    EXPECT_EQ(shown.text, L"Installation ERROR: archive data corrupted.");
    EXPECT_EQ(shown.owner, SetupWindows::window);
    EXPECT_TRUE(shown.hasOk && !shown.hasCancel);
}

TEST_F(SetupPromptsWindow, ABoxThatCannotBeShownCountsAsCancel)
{
    // An owner that no longer exists: the box fails and must not be taken
    // for Retry, or the question would come back for ever.
    HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    DestroyWindow(gone);
    HWND window = SetupWindows::window;
    SetupWindows::window = gone;
    auto shown = std::async(std::launch::async, [] { return AnswerMessageBox(L"Error", IDRETRY, 3000); });
    EXPECT_FALSE(prompts.RetryLockedTarget());
    EXPECT_FALSE(shown.get().found) << "the box was shown, so no failed box was tried";
    SetupWindows::window = window;
}
