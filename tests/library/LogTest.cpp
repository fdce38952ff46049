#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include <windows.h>

#include "support/ChildProcess.h"

namespace {

const std::wstring Probe = SiblingPath(L"library-probe.exe");

std::string WarnOutput(const std::wstring& arguments, int lines)
{
    const ChildResult child = RunChild(Probe, L"probe " + arguments,
                                       L"TARMESH_PROBE=warn\nTARMESH_PROBE_LINES=" + std::to_wstring(lines));
    EXPECT_TRUE(child.started && child.finished);
    EXPECT_EQ(child.exitCode, 0u);
    return child.output;
}

}  // namespace

TEST(Warn, WritesPrefixUtf8AndCrLf)
{
    EXPECT_EQ(WarnOutput(L"\"\" plain \"\u00E9 \u4E2D\"", 3),
              "WARN> \r\nWARN> plain\r\nWARN> \xC3\xA9 \xE4\xB8\xAD\r\n");
}

TEST(Warn, LineFeedsInsideTheTextAreWrittenUnchanged)
{
    // Only the first line carries the prefix.
    EXPECT_EQ(WarnOutput(L"\"one\ntwo\"", 1), "WARN> one\r\ntwo\r\n");
}

TEST(Warn, LinesFromTwoThreadsNeverMix)
{
    const ChildResult child = RunChild(Probe, L"probe", L"TARMESH_PROBE=warn-threads");
    ASSERT_TRUE(child.started && child.finished);
    std::istringstream lines(child.output);
    std::string line;
    std::set<std::string> seen;
    while (std::getline(lines, line)) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r') << line;
        line.pop_back();
        const std::string first = "WARN> first says something long enough to be written in several pieces ";
        const std::string second = "WARN> second says something long enough to be written in several pieces ";
        const bool whole = line.rfind(first, 0) == 0 || line.rfind(second, 0) == 0;
        ASSERT_TRUE(whole) << "mixed line: " << line;
        seen.insert(line);
    }
    EXPECT_EQ(seen.size(), 800u);
}
