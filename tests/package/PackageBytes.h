#pragma once

// Packages and payload folders made by the tests: real folders of files to
// pack, and packages assembled byte by byte where a test needs one that the
// builder would never write.

#include <cstdint>
#include <map>
#include <string>

#include "library/Mem.h"

// Files below `root` (ending with "\"), by relative path; missing folders
// are made.
void WriteTree(const std::wstring& root, const std::map<std::wstring, std::string>& files);

std::string LittleEndian32(uint32_t value);

// UTF-16LE code units of the name and its 0x0000 terminator.
std::string NameBytes(const std::wstring& name);

// One gzip member of `content`, as the builder writes it.
std::string GzipMember(const std::string& content);

// A record: name, stored size, member.
std::string Record(const std::wstring& name, const std::string& member);

// A package buffer holding `bytes`, positioned at 0.
void LoadPackage(Mem& package, const std::string& bytes);
