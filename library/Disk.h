#pragma once

// Folder operations: the user's application-data folder, a folder-exists
// test, creation and deletion of folder trees, and the listing they all rest
// on. A path that names a folder ends with a separator ("\" or "/"); that
// final separator is how these operations tell a folder path from a file
// path. A Disk keeps no state between calls: make one where it is needed.

#include <cstdint>

#include "StringList.h"
#include "TString.h"

class Disk
{
public:
    // Bits of the flags of List.
    static constexpr int32_t Recurse = 0x01;  // only with a mask containing "*"
    static constexpr int32_t Folders = 0x02;
    static constexpr int32_t Files = 0x04;
    static constexpr int32_t SkipHidden = 0x08;  // hidden entries are neither listed nor entered
    static constexpr int32_t OnlyFoldersWithoutFiles = 0x10;
    static constexpr int32_t OnlyFoldersWithFiles = 0x20;
    static constexpr int32_t OnlyFoldersWithoutSubfolders = 0x40;
    static constexpr int32_t OnlyFoldersWithSubfolders = 0x80;
    // The four filters look at a folder's direct content; two that
    // contradict each other leave no folder to report.

    Disk() = default;
    virtual ~Disk() = default;

    // The user's roaming application-data folder with one final "\".
    // When the shell cannot give the folder the result is the empty text,
    // never a bare "\", which would name the root of the current drive.
    [[nodiscard]] WString AppDataPath();
    // Any folder the shell knows by its CSIDL, on the same terms.
    [[nodiscard]] WString ShellFolderPath(int csidl);

    // True when the path names an existing folder, hidden or not, given
    // with or without its final separator. A drive root such as "C:\" is
    // not taken for a folder: without its separator it has no parent.
    [[nodiscard]] bool FolderExists(const WString& path);

    // Makes the folder and every missing parent. True when the folder
    // exists afterwards; a path without its final separator is refused.
    // On failure the levels already made stay.
    [[nodiscard]] bool CreateFolder(const WString& path);

    // Deletes every file below the folder, hidden and read-only ones too, then every
    // subfolder, deepest first. The path must end with its separator. A file
    // that cannot be deleted ends the work at once unless
    // goOnAfterFileFailure; a folder that cannot be removed always does.
    // keepTop leaves the folder itself in place. True when everything that
    // was to go has gone; what went before a failure stays gone.
    bool DeleteFolder(const WString& path, bool goOnAfterFileFailure, bool keepTop);

    // What stops a file from being replaced or deleted now. Held: another
    // program holds it (a library that Revit has loaded, a file open
    // without sharing): a sharing or lock violation, which goes when that
    // program ends. Refused: any other reason (access denied), which
    // waiting does not mend. Opening the file to find out changes nothing
    // in it, except that a read-only file is made writable first: the
    // files looked at are the program's own. A missing file is free.
    struct Obstacle
    {
        enum class Kind
        {
            None,
            Held,
            Refused,
        };
        Kind kind = Kind::None;
        WString path;
        uint32_t windowsError = 0;

        [[nodiscard]] bool Blocks() const { return kind != Kind::None; }
    };
    [[nodiscard]] static Obstacle ObstacleTo(const WString& filePath);

    // Clears the read-only attribute of an existing file, so that it can be
    // rewritten, renamed over or deleted.
    static void MakeWritable(const WString& filePath);

    // True for the errors another program's open file or lock gives.
    [[nodiscard]] static bool IsHeldError(uint32_t windowsError);

    // True when the two paths name the same file as Windows compares names:
    // ordinal, letter case ignored.
    [[nodiscard]] static bool SamePath(const WString& a, const WString& b);

    // The obstacle of the first file below the folder, hidden ones too,
    // that has one; none when there is none (or no folder).
    [[nodiscard]] Obstacle FirstObstacleBelow(const WString& folder);

    // Lists the entries that match the last part of the pattern, in the
    // platform's enumeration order, a subfolder's content right after the
    // subfolder. With a mask containing "*" entries are full paths; with
    // an exact mask they are bare names. Folders end with "\". The list
    // may be null to count only; the entries are appended and belong to
    // the list's holder. The counters, when given, are increased by the
    // files and folders listed at the top level; the result counts the
    // entries of subfolders too. A pattern without separator, or a folder
    // that cannot be read, gives 0.
    int32_t List(StringList* list, const WString& pattern, int32_t flags, int32_t* fileCounter,
                 int32_t* folderCounter);

private:
    [[nodiscard]] bool DeleteFiles(const WString& folder, bool goOnAfterFileFailure);
    [[nodiscard]] bool RemoveSubfolders(const WString& folder);

    // Receives the shell's folder path and the path search's answer.
    wchar_t scratch[1026] = {};
};
