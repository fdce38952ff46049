#pragma once

// The package: the one archive in which the setup program carries the
// add-in's files, embedded as resource "BINARY" 129.
//
//   offset 0   4 bytes   entry count N, little-endian
//   then N records, back to back, unaligned:
//     entry name     UTF-16LE code units ending in 0x0000, no length prefix;
//                    "VVVV\relative\path": a four-digit version folder
//                    ("0000" for every Revit version, else a Revit year),
//                    a backslash, then the path below one Addins folder
//     stored size S  4 bytes, little-endian
//     gzip member    S bytes: 1F 8B 08 FLG MTIME(4) XFL OS, the raw deflate
//                    data, CRC-32 (4), ISIZE (4)
//
// There is no magic number, index or checksum over the whole; the package
// ends with its last record. A name that could reach outside the Addins
// folder, a stored size larger than what is left, or a count larger than
// the records present makes the package corrupted.

#include <cstdint>

#include "library/Mem.h"
#include "library/TString.h"

constexpr uint16_t PackageResourceId = 129;

// Reads the entry count from the start of the package.
[[nodiscard]] int32_t ReadEntryCount(Mem& package);

// Reads the next entry name and leaves the package on its stored size.
// False for a missing name or one that is unsafe to install.
[[nodiscard]] bool ReadEntryName(Mem& package, WString& name);

// Reads the stored size, leaving the package on the member. False when the
// stored size is impossible.
[[nodiscard]] bool ReadStoredSize(Mem& package, int32_t& storedSize);

// Reads the stored size and copies the member that follows into `member`
// (positioned at 0); the package moves past the member. False when the
// stored size is impossible.
[[nodiscard]] bool ReadMember(Mem& package, Mem& member);

// Reads the stored size and moves the package past the member.
[[nodiscard]] bool SkipMember(Mem& package);

// The version number of an entry: its version folder read as a decimal
// number, 0 for the common entries.
[[nodiscard]] int32_t EntryVersion(const WString& name);

// The path of an entry below an Addins folder.
[[nodiscard]] WString EntryTarget(const WString& name);

// The one rule for entry names, which the builder applies to what it packs
// and the installer to what it reads, so that the builder never makes a
// package the installer refuses. A name is safe when it starts with a
// version folder ("0000" or a four-digit year from 1000 on), a backslash
// and a relative path below it with no empty, "." or ".." component, no
// drive and no stream name, and nothing Windows refuses or changes in a
// file name: control characters, < > " | ? *, a trailing dot or blank, a
// device name (CON, NUL, COM1, ... with or without an extension) or a
// component longer than 255 characters.
[[nodiscard]] bool IsSafeEntryName(const WString& name);

// Why a name breaks that rule, in a few words; empty for a safe name.
[[nodiscard]] WString EntryNameFault(const WString& name);
