#pragma once

// Installs the package's entries into the Addins folder of one Revit year.
// The questions and reports that reach the user go through
// ExtractionPrompts, which the setup window answers with message boxes.

#include <cstdint>

#include "library/Mem.h"
#include "library/TString.h"

class ExtractionPrompts
{
public:
    virtual ~ExtractionPrompts() = default;
    // A target cannot be opened for writing (Revit holds it): true to try
    // again, false to give up.
    virtual bool RetryLockedTarget() = 0;
    // The package is damaged: "Installation ERROR: archive data corrupted."
    virtual void ReportCorrupted() = 0;
    // A target could not be written completely (a full disk).
    virtual void ReportWriteFailed(const WString& target) = 0;
    // One progress line, with its CR LF, after each file written.
    virtual void ReportProgress(const wchar_t* line) = 0;
};

// Unpacks the entry whose stored size the package is positioned on into
// addinsFolder + relativePath. The member is unpacked before the target is
// touched, so a damaged member leaves an existing file as it was. Returns 0
// when the file was written completely, -1 after a damaged member, a file
// that could not be written whole, or when the user gave up on a locked
// target.
[[nodiscard]] int32_t ExtractEntry(int32_t year, const WString& relativePath, Mem& package,
                                   const WString& addinsFolder, ExtractionPrompts& prompts);

enum class PackageProof
{
    Sound,
    Empty,    // an entry count of 0 or less: nothing to install
    Damaged,  // a name, stored size or member that would stop an installation
};

// Reads the whole package as the installation will, without writing
// anything: the count, every name (IsSafeEntryName), every stored size, and
// every member unpacked with its CRC-32 and length checked, into one buffer
// reused from member to member. An installation starts only on a sound
// package, so a damaged one leaves the user's add-in as it was.
[[nodiscard]] PackageProof ProvePackage(Mem& package);

enum class YearResult
{
    Installed,
    NoEntries,  // an entry count of 0 or less: nothing to install
    Stopped,    // the user gave up, or the package is damaged (already reported)
};

// Walks the whole package and extracts every entry for every Revit version
// (version folder 0000) and for `year`, in package order, so an entry of
// the year replaces a common one with the same path.
[[nodiscard]] YearResult ExtractPackageForYear(Mem& package, int32_t year, const WString& addinsFolder,
                                               ExtractionPrompts& prompts);
