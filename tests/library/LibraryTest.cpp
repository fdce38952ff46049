#include <gtest/gtest.h>

#include <map>
#include <string>

#include <windows.h>

#include "support/ChildProcess.h"

namespace {

const std::wstring Probe = SiblingPath(L"library-probe.exe");

// Runs the probe (or a copy of it) with `arguments` after its quoted path and
// returns what it reported.
std::map<std::string, std::string> SplitBy(const std::wstring& arguments, const std::wstring& program = Probe)
{
    const ChildResult child = RunChild(program, L"\"" + program + L"\" " + arguments, L"TARMESH_PROBE=args");
    EXPECT_TRUE(child.started && child.finished);
    EXPECT_EQ(child.exitCode, 0u);
    return ParseProbeLines(child.output);
}

// A copy of the probe at `folder` + `name`, for paths with blanks or depth.
std::wstring CopyProbe(const std::wstring& folder, const std::wstring& name)
{
    const std::wstring copy = folder + name;
    EXPECT_TRUE(CopyFileW(Probe.c_str(), copy.c_str(), FALSE)) << "copy to " << Utf8(copy);
    return copy;
}

}  // namespace

TEST(LibraryArguments, NoArgumentGivesEmptyStringsForEveryIndex)
{
    auto got = SplitBy(L"");
    for (const char* index : {"[-1]", "[0]", "[1]", "[6]"})
        EXPECT_EQ(got[index], "") << index;
    EXPECT_EQ(got.count("[0]"), 1u) << "the probe printed its lines";
}

TEST(LibraryArguments, QuotedFolderKeepsTrailingBackslashAndLaterIndices)
{
    auto got = SplitBy(L"\"C:\\Out\\\" \"D:\\In dir\\\" last");
    EXPECT_EQ(got["[0]"], "C:\\Out\\");
    EXPECT_EQ(got["[1]"], "D:\\In dir\\");
    EXPECT_EQ(got["[2]"], "last");
    EXPECT_EQ(got["[3]"], "");
    EXPECT_EQ(got["[-1]"], "");
}

TEST(LibraryArguments, EmptyArgumentsKeepTheirPlace)
{
    auto got = SplitBy(L"\"\" second \"\" fourth");
    EXPECT_EQ(got["[0]"], "");
    EXPECT_EQ(got["[1]"], "second");
    EXPECT_EQ(got["[2]"], "");
    EXPECT_EQ(got["[3]"], "fourth");
}

TEST(LibraryArguments, EnclosingQuotesGoOnlyWithoutInnerQuotes)
{
    // Three quotes make one literal quote under the splitting rules, so these
    // arguments reach the program as "x" and "a"b".
    auto got = SplitBy(L"\"\"\"x\"\"\" \"\"\"a\"\"\"b\"\"\"");
    EXPECT_EQ(got["[0]"], "x");
    EXPECT_EQ(got["[1]"], "\"a\"b\"");
}

TEST(LibraryArguments, NonAsciiArgumentsArriveWhole)
{
    auto got = SplitBy(L"\"C:\\Users\\\u00C6r\u00F8 \u4E2D\\\" \u00E9t\u00E9");
    EXPECT_EQ(got["[0]"], Utf8(L"C:\\Users\\\u00C6r\u00F8 \u4E2D\\"));
    EXPECT_EQ(got["[1]"], Utf8(L"\u00E9t\u00E9"));
}

TEST(LibraryModulePath, ProgramPathWithBlanksIsNotAnArgument)
{
    TempFolder folder(L"dir with blanks");
    const std::wstring copy = CopyProbe(folder.Path(), L"probe copy.exe");
    auto got = SplitBy(L"/uninstall extra", copy);
    EXPECT_EQ(got["[0]"], "/uninstall");
    EXPECT_EQ(got["[1]"], "extra");
    EXPECT_EQ(got["path"], Utf8(copy));
}

// Longer than the 255 characters a fixed buffer would keep, yet within what
// CreateProcessW accepts.
TEST(LibraryModulePath, LongPathIsNotCut)
{
    TempFolder folder(L"deep");
    std::wstring path = folder.Path();
    while (path.size() < 200) {
        path += L"a-folder-name-of-forty-characters-long-x\\";
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << Utf8(path);
    }
    const std::wstring name = std::wstring(MAX_PATH - 1 - path.size() - 4, L'p') + L".exe";
    const std::wstring copy = CopyProbe(path, name);
    ASSERT_EQ(copy.size(), 259u);
    auto got = SplitBy(L"", copy);
    EXPECT_EQ(got["path"], Utf8(copy));
}
