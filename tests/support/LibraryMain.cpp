// The main of every test program: the library context runs around the
// tests, as it does around every mode of the setup program, so that code
// which logs (and so takes the log lock) can be tested in-process.

#include <cstdio>

#include <gtest/gtest.h>

#include <windows.h>

#include "library/Library.h"

int main(int argc, char** argv)
{
    // A test program that dies leaves what it printed up to then, not an
    // empty pipe buffer.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    testing::InitGoogleTest(&argc, argv);
    Library::Start(GetModuleHandleW(nullptr));
    const int result = RUN_ALL_TESTS();
    Library::Stop();
    return result;
}
