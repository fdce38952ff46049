#include <gtest/gtest.h>

#include <future>
#include <string>

#include <windows.h>

#include "BuildPaths.h"
#include "support/ChildProcess.h"
#include "support/MessageBoxes.h"
#include "support/RealFiles.h"

namespace {

const std::wstring SetupProgram = SiblingPath(L"tarmesh-setup.exe");

struct CreateRun
{
    ChildResult child;
    ShownBox box;
};

// Runs the setup program's create mode and answers its box.
CreateRun RunCreateMode(const std::wstring& arguments)
{
    auto answer = std::async(std::launch::async, [] { return AnswerMessageBox(L"Library Message Box", IDOK); });
    CreateRun run;
    run.child = RunChild(SetupProgram, L"\"" + SetupProgram + L"\" /create " + arguments);
    run.box = answer.get();
    return run;
}

std::wstring Quoted(const std::wstring& text)
{
    return L"\"" + text + L"\"";
}

}  // namespace

TEST(CreateMode, WritesThePackageOfThePackingToolAndSaysOK)
{
    TempFolder folder(L"tarmesh-create");
    const std::wstring package = folder.Path() + L"tarmesh.pkg";
    const std::wstring header = folder.Path() + L"setup-version.h";
    ASSERT_TRUE(WriteWhole(header, "#pragma once\r\n#define SETUP_VERSION S(\"\")\r\n// rest\r\n"));

    const CreateRun run = RunCreateMode(Quoted(TARMESH_PAYLOAD_FOLDER) + L" " + Quoted(package) + L" " +
                                        Quoted(TARMESH_ASSEMBLY_INFO_FILE) + L" " + Quoted(header));
    ASSERT_TRUE(run.box.found);
    EXPECT_EQ(run.box.text, L"OK");
    EXPECT_EQ(run.box.owner, nullptr);
    EXPECT_TRUE(run.box.hasOk && !run.box.hasCancel);
    EXPECT_TRUE(run.child.finished);
    EXPECT_EQ(run.child.exitCode, 0u);
    const std::string built = ReadWhole(TARMESH_PAYLOAD_PACKAGE_PATH);
    EXPECT_FALSE(built.empty());
    EXPECT_EQ(ReadWhole(package), built);
    EXPECT_EQ(ReadWhole(header), "#pragma once\r\n#define SETUP_VERSION S(\"1.0.0\")\r\n// rest\r\n");
}

TEST(CreateMode, MissingArgumentsSayBUGAndStillEndWithZero)
{
    TempFolder folder(L"tarmesh-create");
    for (const std::wstring& arguments : {std::wstring(), Quoted(folder.Path() + L"no such folder\\") + L" " +
                                                              Quoted(folder.Path() + L"tarmesh.pkg")}) {
        const CreateRun run = RunCreateMode(arguments);
        ASSERT_TRUE(run.box.found) << Utf8(arguments) << (run.child.finished ? ": the program ended without it" : "");
        EXPECT_EQ(run.box.text, L"BUG");
        EXPECT_TRUE(run.child.finished);
        EXPECT_EQ(run.child.exitCode, 0u);
    }
}

// A maker's slip gave "OK" and a setup program that failed on every user's
// machine.
TEST(CreateMode, NamesTheInstallerWouldRefuseSayBUG)
{
    for (const wchar_t* slip : {L"notes.txt", L"2017-beta\\tarmesh.addin"}) {
        TempFolder folder(L"tarmesh-create");
        const std::wstring source = folder.Path() + L"payload\\";
        CreateDirectoryW(source.c_str(), nullptr);
        CreateDirectoryW((source + L"0000").c_str(), nullptr);
        CreateDirectoryW((source + L"2017-beta").c_str(), nullptr);
        ASSERT_TRUE(WriteWhole(source + L"0000\\tarmesh.addin", "manifest"));
        ASSERT_TRUE(WriteWhole(source + slip, "slip"));
        const CreateRun run = RunCreateMode(Quoted(source) + L" " + Quoted(folder.Path() + L"tarmesh.pkg"));
        ASSERT_TRUE(run.box.found) << Utf8(slip);
        EXPECT_EQ(run.box.text, L"BUG") << Utf8(slip);
        EXPECT_EQ(run.child.exitCode, 0u);
    }
}
