#pragma once

// Installs the package's entries into the Addins folder of one Revit year.
// The questions and reports that reach the user go through
// ExtractionPrompts, which the setup window answers with message boxes.

#include <cstdint>

#include "library/Disk.h"
#include "library/Mem.h"
#include "library/TString.h"

class ExtractionPrompts
{
public:
    virtual ~ExtractionPrompts() = default;
    // A target cannot be opened for writing because another program (Revit)
    // holds it: true to try again, false to give up.
    virtual bool RetryLockedTarget() = 0;
    // A target cannot be written for another reason (access denied, a
    // folder that cannot be made), which waiting does not mend.
    virtual void ReportCannotWrite(const WString& target, uint32_t windowsError) = 0;
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

// The add-in subfolder of an Addins folder ("tarmesh\"), emptied before the
// add-in's files are written into it.
extern const wchar_t* const AddinSubfolder;

// Appended to a file's name while it is written, before it is renamed over
// the file it replaces. Revit reads only "*.addin", so a manifest under
// this name is never loaded half written.
extern const wchar_t* const TemporarySuffix;

// Installs the year from a package that has proved sound, with the
// manifest as the year's commit point: the year's manifest is removed
// first, the add-in subfolder emptied, every entry below a folder extracted
// (common ones and the year's, in package order, so an entry of the year
// replaces a common one with the same path), and the manifest written last,
// whole under a temporary name and renamed over. The manifest is the
// package's top-level entries of the year; the year's own one replaces the
// common one. A failure or a cut in between leaves the year without a
// manifest, which Revit does not load, rather than a mix of two versions.
[[nodiscard]] YearResult ExtractPackageForYear(Mem& package, int32_t year, const WString& addinsFolder,
                                               ExtractionPrompts& prompts);

// The first existing file of the year that installing it would replace or
// delete (its manifest and everything below the add-in subfolder) and that
// cannot be replaced now, with the reason; none when every one can. Looked
// for before anything is touched, so that the user can close Revit while
// every year is still as it was. Read-only files are made writable.
[[nodiscard]] Disk::Obstacle FindObstacle(Mem& package, int32_t year, const WString& addinsFolder);

// The first file of the add-in in an Addins folder (its manifest
// "tarmesh.addin" and everything below the add-in subfolder) that cannot
// be removed now, with the reason; none when every one can. Read-only
// files are made writable.
[[nodiscard]] Disk::Obstacle FindAddinObstacle(const WString& addinsFolder);

// Appended to the name of the setup program's old copy when it runs and so
// cannot be replaced: it is renamed aside instead, until a later run.
extern const wchar_t* const AsideSuffix;

// A name beside `target`, ending with AsideSuffix, that no file has yet;
// empty when a hundred are taken.
[[nodiscard]] WString AsideName(const WString& target);

// Removes what a cut installation left under temporary names, and old
// copies renamed aside, in the folder (its files only, not below). A file
// still in use stays for a later run.
void RemoveTemporaryFiles(const WString& folder);
