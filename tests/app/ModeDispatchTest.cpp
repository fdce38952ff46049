#include <gtest/gtest.h>

#include <string>

#include "support/ChildProcess.h"

namespace {

const std::wstring Probe = SiblingPath(L"library-probe.exe");
const std::wstring SetupProgram = SiblingPath(L"tarmesh-setup.exe");

std::string ModeFor(const std::wstring& arguments)
{
    const ChildResult child = RunChild(Probe, L"\"" + Probe + L"\" " + arguments, L"TARMESH_PROBE=args");
    EXPECT_TRUE(child.started && child.finished);
    return ParseProbeLines(child.output)["mode"];
}

}  // namespace

TEST(ModeDispatch, OnlyExactFirstArgumentSelectsAMode)
{
    EXPECT_EQ(ModeFor(L""), "interactive");
    EXPECT_EQ(ModeFor(L"/help"), "interactive");
    EXPECT_EQ(ModeFor(L"/UNINSTALL"), "interactive");
    EXPECT_EQ(ModeFor(L"/uninstall2"), "interactive");
    EXPECT_EQ(ModeFor(L"\" /uninstall\""), "interactive");
    EXPECT_EQ(ModeFor(L"x /uninstall"), "interactive");
    EXPECT_EQ(ModeFor(L"/uninstall"), "uninstall");
    EXPECT_EQ(ModeFor(L"/uninstall /create extra"), "uninstall");
    EXPECT_EQ(ModeFor(L"\"/create\""), "create") << "enclosing quotes are removed";
    EXPECT_EQ(ModeFor(L"/create"), "create");
    EXPECT_EQ(ModeFor(L"/create a b c d e"), "create");
    EXPECT_EQ(ModeFor(L"/quiet"), "quiet-install");
    EXPECT_EQ(ModeFor(L"/quiet /log \"C:\\a b.log\""), "quiet-install");
    EXPECT_EQ(ModeFor(L"/uninstall /quiet"), "quiet-uninstall");
    EXPECT_EQ(ModeFor(L"/uninstall /quiet /log x.log"), "quiet-uninstall");
    EXPECT_EQ(ModeFor(L"/QUIET"), "interactive");
    EXPECT_EQ(ModeFor(L"/uninstall x /quiet"), "uninstall");
    for (const wchar_t* bad : {L"/quiet /log", L"/quiet x", L"/quiet /log a b", L"/quiet /LOG a",
                               L"/uninstall /quiet /log", L"/uninstall /quiet /passive"})
        EXPECT_EQ(ModeFor(bad), "bad-command-line") << Utf8(bad);
}

// These tests have no display: the interactive installer, which cannot make
// its window, must end rather than wait for a window that never comes.
TEST(ModeDispatch, SetupProgramEndsWithExitCodeZeroInEveryMode)
{
    for (const wchar_t* arguments :
         {L"/create", L"/create \"C:\\Out\\\"", L"/uninstall", L"/uninstall x", L"", L"/help"}) {
        const ChildResult child = RunChild(SetupProgram, L"\"" + SetupProgram + L"\" " + arguments);
        EXPECT_TRUE(child.started);
        EXPECT_TRUE(child.finished) << Utf8(arguments);
        EXPECT_EQ(child.exitCode, 0u) << Utf8(arguments);
    }
    // Unattended runs tell by the exit code; a command line they do not
    // know does nothing at all.
    for (const wchar_t* arguments : {L"/quiet /log", L"/uninstall /quiet extra"}) {
        const ChildResult child = RunChild(SetupProgram, L"\"" + SetupProgram + L"\" " + arguments);
        EXPECT_TRUE(child.finished) << Utf8(arguments);
        EXPECT_EQ(child.exitCode, 1639u) << Utf8(arguments);
    }
}
