// tarmesh-install-bench: the installer's package walk and extraction as a
// console program, to time an installation without the setup window.
//
//   tarmesh-install-bench PACKAGE ADDINSROOT\ [YEAR...]
//   tarmesh-install-bench --embed PACKAGE PROGRAM
//
// Loads PACKAGE into one buffer and proves it whole as the installer does
// (ProvePackage), then for each YEAR (2016 and 2017 when none is given)
// does what the install procedure does for a Revit year it found: makes
// ADDINSROOT\YEAR\, empties its tarmesh\ subfolder and extracts every
// entry of the year. PACKAGE "--embedded" takes the package from this
// program's own resource "BINARY" 129, read in place the way the setup
// program holds it; "--embed" writes PACKAGE as that resource into PROGRAM,
// a copy of this program or of the setup program. Standard output, one
// "name value" pair a line:
//
//   year Y files N       files written for year Y
//   files N              files written in all
//   pause_ms P           what the installer's 5 ms per progress line adds
//   proof_ms R           the proof of the whole package alone
//   check_us C           the look for held files over the installed years,
//                        as an upgrade does it before touching anything
//   elapsed_ms E         loading and extraction, inside the process
//
// The prompts count instead of showing boxes and do not sleep: the pause is
// reported apart. Exit code 0 when every year was installed, 1 otherwise.

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include <windows.h>

#include "library/Disk.h"
#include "library/Library.h"
#include "library/Mem.h"
#include "package/Extraction.h"
#include "package/PackageFormat.h"

namespace {

// The setup window's pause after each progress line, which lets it repaint.
constexpr int32_t ProgressPauseMs = 5;

class CountingPrompts : public ExtractionPrompts
{
public:
    // Nothing here holds the targets, so a locked one is not waited for.
    bool RetryLockedTarget() override
    {
        ++lockedTargets;
        return false;
    }
    void ReportCorrupted() override { ++corrupted; }
    void ReportWriteFailed(const WString&) override { ++corrupted; }
    void ReportCannotWrite(const WString&, uint32_t) override { ++corrupted; }
    void ReportProgress(const wchar_t*) override { ++progressLines; }

    int32_t progressLines = 0;
    int32_t lockedTargets = 0;
    int32_t corrupted = 0;
};

bool Is(const WString& argument, const wchar_t* text)
{
    return argument.buffer != nullptr && std::wcscmp(argument.buffer, text) == 0;
}

int Fail(const char* reason)
{
    std::fprintf(stderr, "tarmesh-install-bench: %s\n", reason);
    return 1;
}

bool InstallYear(Mem& package, int32_t year, const WString& addinsRoot, CountingPrompts& prompts)
{
    const WString addins = addinsRoot + WString(year) + L"\\";
    Disk disk;
    if (!disk.FolderExists(addins) && !disk.CreateFolder(addins))
        return false;
    return ExtractPackageForYear(package, year, addins, prompts) == YearResult::Installed;
}

// Windows' own resource writer, so that the copy carries the package as
// the build's resource compiler would have put it.
int Embed(const WString& packagePath, const WString& programPath)
{
    Mem package;
    if (!package.LoadFile(packagePath))
        return Fail("cannot read the package");
    HANDLE update = BeginUpdateResourceW(programPath.buffer, FALSE);
    if (update == nullptr)
        return Fail("cannot open the program for writing its resources");
    // The package the program carries already goes, whatever language the
    // resource compiler gave it.
    for (const WORD language : {MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)})
        UpdateResourceW(update, L"BINARY", MAKEINTRESOURCEW(PackageResourceId), language, nullptr, 0);
    const bool added = UpdateResourceW(update, L"BINARY", MAKEINTRESOURCEW(PackageResourceId),
                                       MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), package.data.get(),
                                       static_cast<DWORD>(package.size)) != FALSE;
    if (EndUpdateResourceW(update, added ? FALSE : TRUE) == FALSE || !added)
        return Fail("cannot write the package into the program");
    return 0;
}

bool LoadPackage(Mem& package, const WString& packagePath)
{
    if (Is(packagePath, L"--embedded"))
        return package.ViewBinaryResource(PackageResourceId);
    return package.LoadFile(packagePath);
}

int Run()
{
    const WString packagePath = Library::Argument(0);
    const WString addinsRoot = Library::Argument(1);
    if (Is(packagePath, L"--embed"))
        return Embed(addinsRoot, Library::Argument(2));
    if (packagePath.length == 0 || addinsRoot.length == 0)
        return Fail("usage: tarmesh-install-bench PACKAGE|--embedded ADDINSROOT\\ [YEAR...]");
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);

    Mem package;
    if (!LoadPackage(package, packagePath))
        return Fail("cannot read the package");
    LARGE_INTEGER proofStart, proofEnd;
    QueryPerformanceCounter(&proofStart);
    const PackageProof proof = ProvePackage(package);
    QueryPerformanceCounter(&proofEnd);
    if (proof != PackageProof::Sound)
        return Fail("the package is damaged");
    CountingPrompts prompts;
    bool complete = true;
    int32_t yearsGiven = 0;
    for (int32_t i = 2; Library::Argument(i).length > 0; ++i)
        ++yearsGiven;
    const int32_t defaultYears[] = {2016, 2017};
    const int32_t years = yearsGiven > 0 ? yearsGiven : 2;
    for (int32_t i = 0; i < years && complete; ++i) {
        const int32_t year = yearsGiven > 0 ? _wtoi(Library::Argument(2 + i).buffer) : defaultYears[i];
        const int32_t before = prompts.progressLines;
        complete = InstallYear(package, year, addinsRoot, prompts);
        std::printf("year %d files %d\n", year, prompts.progressLines - before);
    }

    QueryPerformanceCounter(&end);
    // What an upgrade looks at before it touches anything: every file of
    // the years just installed.
    LARGE_INTEGER checkStart, checkEnd;
    QueryPerformanceCounter(&checkStart);
    int32_t held = 0;
    for (int32_t i = 0; i < years; ++i) {
        const int32_t year = yearsGiven > 0 ? _wtoi(Library::Argument(2 + i).buffer) : defaultYears[i];
        held += FindObstacle(package, year, addinsRoot + WString(year) + L"\\").Blocks() ? 1 : 0;
    }
    QueryPerformanceCounter(&checkEnd);
    std::printf("files %d\n", prompts.progressLines);
    std::printf("pause_ms %d\n", prompts.progressLines * ProgressPauseMs);
    std::printf("proof_ms %d\n",
                static_cast<int>((proofEnd.QuadPart - proofStart.QuadPart) * 1000 / frequency.QuadPart));
    std::printf("check_us %d\n",
                static_cast<int>((checkEnd.QuadPart - checkStart.QuadPart) * 1000000 / frequency.QuadPart));
    std::printf("elapsed_ms %d\n", static_cast<int>((end.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart));
    if (prompts.corrupted > 0)
        return Fail("the package is damaged");
    if (prompts.lockedTargets > 0 || held > 0)
        return Fail("a target could not be opened for writing");
    return complete ? 0 : Fail("the package has no entries, or a folder could not be made");
}

}  // namespace

int wmain()
{
    Library::Start(GetModuleHandleW(nullptr));
    const int result = Run();
    std::fflush(stdout);
    std::fflush(stderr);
    Library::Stop();
    return result;
}
