#include "PackageBuilder.h"

#include <cstdio>

#include "library/Disk.h"
#include "library/File.h"
#include "library/Mem.h"
#include "library/StringList.h"

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

PackageBuild WritePackage(const WString& sourceFolder, const WString& packagePath)
{
    File package;
    if (!package.Open(packagePath, true, true))
        return Failed(L"cannot create " + packagePath);
    OwnedStringList files;
    Disk disk;
    disk.List(&files.items, sourceFolder + L"*.*", RecurseFiles, nullptr, nullptr);
    if (files.items.empty())
        return Failed(L"no file below " + sourceFolder);
    package.WriteLittleEndian(static_cast<uint32_t>(files.items.size()));
    // One workspace for every file: the largest file's arrays are paged in
    // once, not once per file.
    GzipWorkspace workspace;
    for (const WString* path : files.items) {
        const PackageBuild record = WriteRecord(package, *path, path->Mid(sourceFolder.length), workspace);
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

bool CreatePackage(const WString& sourceFolder, const WString& packagePath, const WString& assemblyInfoPath,
                   const WString& headerPath)
{
    return BuildPackage(sourceFolder, packagePath, assemblyInfoPath, headerPath).complete;
}
