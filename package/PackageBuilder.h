#pragma once

// The create mode: packs a source folder of version folders ("0000" for the
// common files, a Revit year for files of that year only) into a package
// file, then rewrites the first two lines of the setup program's version
// header from the add-in's AssemblyVersion attribute.

#include "library/TString.h"

struct PackageBuild
{
    bool complete = false;  // the package file was written completely
    WString reason;         // why not, in one line; empty when complete
};

// sourceFolder ends with its separator. Every file's entry name must pass
// the installer's own rule (EntryNameFault), or nothing is packed and the
// reason names the file. The header step runs only after a
// complete package, and its failures do not change the result.
[[nodiscard]] PackageBuild BuildPackage(const WString& sourceFolder, const WString& packagePath,
                                        const WString& assemblyInfoPath, const WString& headerPath);

// The order in which the builder packs entry names: the order NTFS lists
// them in, whatever file system the source folder is on, so the same folder
// gives the same package everywhere. Names that Windows takes for one
// (they differ only in letter case) order as equal.
[[nodiscard]] bool PacksBefore(const WString& a, const WString& b);

// BuildPackage reduced to whether the package was written completely.
[[nodiscard]] bool CreatePackage(const WString& sourceFolder, const WString& packagePath,
                                 const WString& assemblyInfoPath, const WString& headerPath);
