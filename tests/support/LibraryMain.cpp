// The main of every test program: the library context runs around the
// tests, as it does around every mode of the setup program, so that code
// which logs (and so takes the log lock) can be tested in-process.

#include <gtest/gtest.h>

#include <windows.h>

#include "library/Library.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    Library::Start(GetModuleHandleW(nullptr));
    const int result = RUN_ALL_TESTS();
    Library::Stop();
    return result;
}
