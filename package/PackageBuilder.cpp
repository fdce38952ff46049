#include "PackageBuilder.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include <windows.h>

#include "library/Disk.h"
#include "library/File.h"
#include "library/Mem.h"
#include "library/StringList.h"
#include "package/PackageFormat.h"

namespace {

constexpr int32_t RecurseFiles = 0x05;

PackageBuild Failed(const WString& reason)
{
    PackageBuild build;
    build.reason = reason;
    return build;
}

// One record: the name, a placeholder for the stored size, the member, and
// then the member's real length over the placeholder.
PackageBuild WriteRecord(File& package, const WString& sourcePath, const WString& name, GzipWorkspace& workspace)
{
    File source;
    if (!source.Open(sourcePath, false, false))
        return Failed(L"cannot read " + sourcePath);
    package.WriteWideText(name);
    const int32_t sizeAt = package.Tell();
    package.WriteLittleEndian(0);
    const int32_t memberLength = source.Gzip(package, workspace);
    if (memberLength == 0)
        return Failed(L"empty or not compressible: " + sourcePath);
    package.Seek(sizeAt);
    package.WriteLittleEndian(static_cast<uint32_t>(memberLength));
    package.SeekEnd();
    PackageBuild written;
    written.complete = true;
    return written;
}

struct SourceFile
{
    WString name;  // the entry name: the path below the source folder
    const WString* path;
};

// Every listed file as an entry, in packing order. A name the installer
// would refuse, or two that Windows would take for one, stop the build
// here: the maker hears of it, not every user.
PackageBuild PlanEntries(const StringList& listed, const WString& sourceFolder, std::vector<SourceFile>& files)
{
    for (const WString* path : listed) {
        const WString name = path->Mid(sourceFolder.length);
        const WString fault = EntryNameFault(name);
        if (fault.length > 0)
            return Failed(*path + L" " + fault);
        files.push_back(SourceFile{name, path});
    }
    std::stable_sort(files.begin(), files.end(),
                     [](const SourceFile& a, const SourceFile& b) { return PacksBefore(a.name, b.name); });
    for (size_t i = 1; i < files.size(); ++i) {
        if (!PacksBefore(files[i - 1].name, files[i].name))
            return Failed(*files[i].path + L" differs only in letter case from " + *files[i - 1].path);
    }
    PackageBuild planned;
    planned.complete = true;
    return planned;
}

PackageBuild WritePackage(const WString& sourceFolder, const WString& packagePath)
{
    File package;
    if (!package.Open(packagePath, true, true))
        return Failed(L"cannot create " + packagePath);
    // Without its separator the listing would search the parent folder
    // for names that begin like the source folder's own.
    const wchar_t last = sourceFolder.length > 0 ? sourceFolder.buffer[sourceFolder.length - 1] : 0;
    if (last != L'\\' && last != L'/')
        return Failed(L"the source folder " + sourceFolder + L" must end with \\");
    OwnedStringList listed;
    Disk disk;
    disk.List(&listed.items, sourceFolder + L"*.*", RecurseFiles, nullptr, nullptr);
    if (listed.items.empty())
        return Failed(L"no file below " + sourceFolder);
    std::vector<SourceFile> files;
    const PackageBuild plan = PlanEntries(listed.items, sourceFolder, files);
    if (!plan.complete)
        return plan;
    package.WriteLittleEndian(static_cast<uint32_t>(files.size()));
    // One workspace for every file: the largest file's arrays are paged in
    // once, not once per file.
    GzipWorkspace workspace;
    for (const SourceFile& file : files) {
        const PackageBuild record = WriteRecord(package, *file.path, file.name, workspace);
        if (!record.complete)
            return record;
    }
    // A full disk must not pass for a complete package.
    if (std::fflush(package.stream) != 0 || std::ferror(package.stream) != 0)
        return Failed(L"cannot write " + packagePath);
    package.Close();
    PackageBuild done;
    done.complete = true;
    return done;
}

// The length of the path component that starts at `at`.
int32_t ComponentLength(const WString& name, int32_t at)
{
    int32_t end = at;
    while (end < name.length && name.buffer[end] != L'\\')
        ++end;
    return end - at;
}

// The version is the AssemblyVersion attribute's text up to its last ".":
// 1.0.0.0 gives 1.0.0. The attribute is found only at the start of a line
// other than the first.
NString AssemblyVersion(Mem& assemblyInfo)
{
    static const char attribute[] = "\n[assembly: AssemblyVersion(\"";
    assemblyInfo.Seek(assemblyInfo.FindBytes(attribute, sizeof attribute - 1));
    const NString line = assemblyInfo.ReadLine();
    for (int32_t i = line.length - 1; i >= 0; --i) {
        if (line.buffer[i] == '.')
            return line.Left(i);
    }
    return NString("");
}

void RewriteVersionHeader(const WString& assemblyInfoPath, const WString& headerPath)
{
    Mem assemblyInfo;
    Mem header;
    if (!assemblyInfo.LoadFile(assemblyInfoPath) || !header.LoadFile(headerPath))
        return;
    const NString version = AssemblyVersion(assemblyInfo);
    header.ReadLine();
    header.ReadLine();
    const NString text = NString("#pragma once\r\n#define SETUP_VERSION S(\"") + version.buffer + "\")\r\n" +
                         header.ReadRestText().buffer;
    File out;
    if (out.Open(headerPath, true, true))
        out.WriteText(text);
}

}  // namespace

PackageBuild BuildPackage(const WString& sourceFolder, const WString& packagePath, const WString& assemblyInfoPath,
                          const WString& headerPath)
{
    PackageBuild build = WritePackage(sourceFolder, packagePath);
    if (build.complete)
        RewriteVersionHeader(assemblyInfoPath, headerPath);
    return build;
}

// NTFS keeps each folder's names in the order of its upper-case table,
// which CompareStringOrdinal ignoring case follows; a folder's content
// comes at the folder's own place. Version folders, being digits, come
// out ascending, "0000" first, so a year's file is written after the
// common one it replaces.
bool PacksBefore(const WString& a, const WString& b)
{
    int32_t i = 0;
    int32_t j = 0;
    for (;;) {
        const int32_t na = ComponentLength(a, i);
        const int32_t nb = ComponentLength(b, j);
        const int order = CompareStringOrdinal(a.buffer + i, na, b.buffer + j, nb, TRUE);
        if (order != CSTR_EQUAL)
            return order == CSTR_LESS_THAN;
        const bool aEnds = i + na >= a.length;
        const bool bEnds = j + nb >= b.length;
        if (aEnds || bEnds)
            return aEnds && !bEnds;
        i += na + 1;
        j += nb + 1;
    }
}

bool CreatePackage(const WString& sourceFolder, const WString& packagePath, const WString& assemblyInfoPath,
                   const WString& headerPath)
{
    return BuildPackage(sourceFolder, packagePath, assemblyInfoPath, headerPath).complete;
}
