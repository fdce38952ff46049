#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "app/Progress.h"

namespace {

// A real multi-line text box like the setup window's, in a real window.
class ProgressBox : public testing::Test
{
protected:
    void SetUp() override
    {
        parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 515, 600, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent, nullptr) << "no window could be made: is there a display?";
        SetupWindows::textBox =
            CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE, 5, 210,
                            495, 290, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(SetupWindows::textBox, nullptr);
    }

    void TearDown() override
    {
        SetupWindows::textBox = nullptr;
        if (parent != nullptr)
            DestroyWindow(parent);
    }

    std::wstring Text() const
    {
        std::wstring text(GetWindowTextLengthW(SetupWindows::textBox) + 1, L'\0');
        text.resize(GetWindowTextW(SetupWindows::textBox, text.data(), static_cast<int>(text.size())));
        return text;
    }

    DWORD Caret() const
    {
        DWORD start = 0;
        DWORD end = 0;
        SendMessageW(SetupWindows::textBox, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, end);
        return end;
    }

    HWND parent = nullptr;
};

}  // namespace

TEST_F(ProgressBox, LinesAreAppendedWithCaretAtTheEnd)
{
    AppendProgress(L"a\r\n");
    AppendProgress(L"b\r\n");
    EXPECT_EQ(Text(), L"a\r\nb\r\n");
    EXPECT_EQ(Caret(), 6u);
    AppendProgress(L"Installation successful.");
    EXPECT_EQ(Text(), L"a\r\nb\r\nInstallation successful.");
}

// A fixed caret position of 65535 would leave the view short of the last
// lines once the text grows past it; the box's default limit of typed text
// would cut the lines themselves.
TEST_F(ProgressBox, CaretReachesTheEndOfLongText)
{
    const std::wstring line = std::wstring(98, L'x') + L"\r\n";
    std::wstring block;
    for (int i = 0; i < 700; ++i)
        block += line;
    AppendProgress(block.c_str());
    AppendProgress(L"2017\\tarmesh.addin...\r\n");
    const std::wstring text = Text();
    ASSERT_EQ(text.size(), block.size() + 23);
    EXPECT_EQ(text.substr(block.size()), L"2017\\tarmesh.addin...\r\n");
    EXPECT_EQ(Caret(), text.size());
}

TEST(Progress, WithoutAWindowNothingHappens)
{
    SetupWindows::textBox = nullptr;
    AppendProgress(L"nobody sees this\r\n");
    SUCCEED();
}
