#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"
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

CommandLine Parse(std::initializer_list<const wchar_t*> arguments)
{
    std::vector<WString> split;
    for (const wchar_t* argument : arguments)
        split.emplace_back(argument);
    return ParseCommandLine(split);
}

std::wstring Fault(std::initializer_list<const wchar_t*> arguments)
{
    const CommandLine line = Parse(arguments);
    EXPECT_EQ(line.mode, SetupMode::BadCommandLine);
    return line.fault.buffer != nullptr ? line.fault.buffer : L"";
}

}  // namespace

TEST(CommandLine, OnlyExactCreateAndUninstallSelectTheirModes)
{
    EXPECT_EQ(Parse({}).mode, SetupMode::Interactive);
    EXPECT_EQ(Parse({L"/help"}).mode, SetupMode::Interactive);
    EXPECT_EQ(Parse({L"/UNINSTALL"}).mode, SetupMode::Interactive);
    EXPECT_EQ(Parse({L"/uninstall2"}).mode, SetupMode::Interactive);
    EXPECT_EQ(Parse({L" /uninstall"}).mode, SetupMode::Interactive);
    EXPECT_EQ(Parse({L"x", L"/uninstall"}).mode, SetupMode::Interactive);
    EXPECT_EQ(Parse({L"/uninstall"}).mode, SetupMode::Uninstall);
    EXPECT_EQ(Parse({L"/uninstall", L"/create", L"extra"}).mode, SetupMode::Uninstall);
    EXPECT_EQ(Parse({L"/create"}).mode, SetupMode::Create);
    EXPECT_EQ(Parse({L"/create", L"/quiet", L"b", L"c", L"d"}).mode, SetupMode::Create) << "paths, not switches";
    EXPECT_EQ(Parse({L"/CREATE"}).mode, SetupMode::Interactive);
}

// Administrators type the switches of other installers out of habit; each
// must run unattended rather than open a window nobody will see.
TEST(CommandLine, EveryQuietSwitchInAnyCaseRunsUnattended)
{
    for (const wchar_t* quiet : {L"/quiet", L"/QUIET", L"/Quiet", L"/qn", L"/QN", L"/q", L"/s", L"/S", L"/silent",
                                 L"/SILENT", L"/verysilent", L"/VerySilent"}) {
        const CommandLine install = Parse({quiet});
        EXPECT_EQ(install.mode, SetupMode::QuietInstall) << Utf8(quiet);
        EXPECT_TRUE(install.IsQuiet());
        EXPECT_EQ(install.logPath.length, 0);
        EXPECT_EQ(Parse({L"/uninstall", quiet}).mode, SetupMode::QuietUninstall) << Utf8(quiet);
    }
    const CommandLine logged = Parse({L"/quiet", L"/log", L"C:\\a b.log"});
    EXPECT_EQ(logged.mode, SetupMode::QuietInstall);
    EXPECT_STREQ(logged.logPath.buffer, L"C:\\a b.log");
    const CommandLine before = Parse({L"/uninstall", L"/LOG", L"x.log", L"/S"});
    EXPECT_EQ(before.mode, SetupMode::QuietUninstall);
    EXPECT_STREQ(before.logPath.buffer, L"x.log");
    EXPECT_FALSE(Parse({L"/uninstall"}).IsQuiet());
    EXPECT_FALSE(Parse({L"/help"}).IsQuiet());
}

// Per user unless "/allusers" says otherwise, in every mode but create.
TEST(CommandLine, AllUsersIsReadInEveryModeAndOnlyThere)
{
    EXPECT_FALSE(Parse({}).allUsers);
    EXPECT_FALSE(Parse({L"/quiet"}).allUsers);
    const CommandLine window = Parse({L"/AllUsers"});
    EXPECT_EQ(window.mode, SetupMode::Interactive);
    EXPECT_TRUE(window.allUsers);
    EXPECT_FALSE(window.elevated);
    const CommandLine relaunched = Parse({L"/uninstall", L"/allusers", L"/elevated"});
    EXPECT_EQ(relaunched.mode, SetupMode::Uninstall);
    EXPECT_TRUE(relaunched.allUsers && relaunched.elevated);
    const CommandLine quiet = Parse({L"/quiet", L"/allusers", L"/log", L"x.log"});
    EXPECT_EQ(quiet.mode, SetupMode::QuietInstall);
    EXPECT_TRUE(quiet.allUsers);
    const CommandLine removal = Parse({L"/uninstall", L"/allusers", L"/quiet"});
    EXPECT_EQ(removal.mode, SetupMode::QuietUninstall);
    EXPECT_TRUE(removal.allUsers);
    EXPECT_FALSE(Parse({L"/create", L"/allusers"}).allUsers);
    EXPECT_EQ(Fault({L"/quiet", L"/allusers", L"/elevated"}), L"unknown argument \"/elevated\"");
    EXPECT_EQ(Fault({L"/quiet", L"/log", L"/allusers"}), L"/log is not followed by a file");
}

// A quiet line with anything not understood does nothing, and says what.
// A wrongly written "/uninstall" must never install instead.
TEST(CommandLine, AnythingNotUnderstoodInAQuietLineIsRefusedWithItsReason)
{
    EXPECT_EQ(Fault({L"/quiet", L"", L"junk"}), L"argument 2 is empty");
    EXPECT_EQ(Fault({L"/quiet", L"junk"}), L"unknown argument \"junk\"");
    EXPECT_EQ(Fault({L"/UNINSTALL", L"/quiet"}), L"unknown argument \"/UNINSTALL\"");
    EXPECT_EQ(Fault({L"x", L"/quiet"}), L"unknown argument \"x\"");
    EXPECT_EQ(Fault({L"/uninstall", L"x", L"/quiet"}), L"unknown argument \"x\"");
    EXPECT_EQ(Fault({L"/uninstall", L"/quiet", L"/passive"}), L"unknown argument \"/passive\"");
    EXPECT_EQ(Fault({L"/quiet", L"/log"}), L"/log is not followed by a file");
    EXPECT_EQ(Fault({L"/quiet", L"/log", L""}), L"/log is not followed by a file");
    EXPECT_EQ(Fault({L"/quiet", L"/log", L"/qn"}), L"/log is not followed by a file");
    EXPECT_EQ(Fault({L"/quiet", L"/log", L"a", L"/log", L"b"}), L"/log is given twice");
    // The refusal is still written to a log named on the line.
    const CommandLine refused = Parse({L"/quiet", L"junk", L"/log", L"C:\\deploy.log"});
    EXPECT_EQ(refused.mode, SetupMode::BadCommandLine);
    EXPECT_TRUE(refused.IsQuiet());
    EXPECT_STREQ(refused.logPath.buffer, L"C:\\deploy.log");
}

// The program's own split of its command line reaches the same parse.
TEST(ModeDispatch, TheRunningProgramsArgumentsReachTheParse)
{
    EXPECT_EQ(ModeFor(L"\"/create\""), "create") << "enclosing quotes are removed";
    EXPECT_EQ(ModeFor(L"/uninstall /Quiet /log \"C:\\a b.log\""), "quiet-uninstall");
    EXPECT_EQ(ModeFor(L"/quiet \"\" junk"), "bad-command-line") << "an empty argument is counted";
}

// These tests have no display: the interactive installer, which cannot make
// its window, must end rather than wait for a window that never comes, and
// say that it installed nothing.
TEST(ModeDispatch, SetupProgramEndsAndTellsByItsExitCodeInEveryMode)
{
    for (const auto& [arguments, code] : std::vector<std::pair<const wchar_t*, DWORD>>{
             {L"/create", 0}, {L"/create \"C:\\Out\\\"", 0}, {L"/uninstall", 0}, {L"/uninstall x", 0}, {L"", 1603}, {L"/help", 1603},
             {L"/quiet /log", 1639}, {L"/uninstall /quiet extra", 1639}}) {
        const ChildResult child = RunChild(SetupProgram, L"\"" + SetupProgram + L"\" " + arguments);
        EXPECT_TRUE(child.started);
        EXPECT_TRUE(child.finished) << Utf8(arguments);
        EXPECT_EQ(child.exitCode, code) << Utf8(arguments);
    }
}
