#pragma once

// One open file, read and written through a buffered standard I/O stream
// opened by a wide path without any sharing restriction, so that another
// process decides by its own sharing mode whether it may use the file too.
//
// No operation shows or logs anything: every failure is reported only by
// the result, and every operation on a closed File returns 0 (or false).
// Positions and sizes are signed 32-bit, so files are limited to 2^31 - 1
// bytes.
//
// `stream` and `path` are read directly by callers (the web service client
// appends to `stream` itself); only the operations below change them.

#include <cstdint>
#include <cstdio>
#include <memory>

#include "TString.h"

class Mem;
struct libdeflate_compressor;

// The compressor and the arrays File::Gzip works in. A caller that packs
// many files keeps one for all of them, so that each file after the first
// reuses memory already paged in instead of faulting in fresh pages.
class GzipWorkspace
{
public:
    GzipWorkspace();
    GzipWorkspace(const GzipWorkspace&) = delete;
    GzipWorkspace& operator=(const GzipWorkspace&) = delete;
    virtual ~GzipWorkspace();

private:
    friend class File;
    libdeflate_compressor* compressor = nullptr;
    std::unique_ptr<uint8_t[]> input;
    int64_t inputCapacity = 0;
    std::unique_ptr<uint8_t[]> output;
    int64_t outputCapacity = 0;
};

class File
{
public:
    FILE* stream = nullptr;
    WString path;

    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    virtual ~File();

    // write false opens for reading ("rb"); write with overwrite creates or
    // truncates ("w+b"); write without overwrite appends ("a+b"). An open
    // stream is closed first, even when the new open then fails.
    [[nodiscard]] bool Open(const WString& filePath, bool write, bool overwrite);
    void Close();
    // Everything written so far, on the disk itself and not only in a
    // cache: what is renamed into place afterwards survives a power cut.
    // False when a write fell short or the system refused.
    [[nodiscard]] bool Commit();

    [[nodiscard]] int32_t Size();
    [[nodiscard]] int32_t Tell();
    // Outside 0 ... Size the position goes to the end.
    int32_t Seek(int32_t pos);
    int32_t SeekEnd();

    // Zeroes the n bytes of the buffer first, so bytes past the end of the
    // file read as zero.
    [[nodiscard]] int32_t Read(void* buffer, int32_t n);

    // UTF-16LE code units with their 0x0000 terminator.
    int32_t WriteWideText(const WString& text);
    // The text's bytes without its terminator.
    int32_t WriteText(const NString& text);
    // The text as UTF-8 without terminator.
    int32_t WriteUtf8Text(const WString& text);
    // Everything from the buffer's position on; the buffer moves past what
    // was written.
    int32_t WriteMem(Mem& mem);

    // The rest of this file, from its current position, appended to the
    // target; returns the bytes written to the target.
    [[nodiscard]] int32_t CopyTo(File& target);
    // This whole file as one gzip member at the target's position; returns
    // the member's length, 0 when nothing usable was written.
    [[nodiscard]] int32_t Gzip(File& target);
    // The same, working in the caller's workspace.
    [[nodiscard]] int32_t Gzip(File& target, GzipWorkspace& workspace);
    // Four bytes, least significant first.
    int32_t WriteLittleEndian(uint32_t value);

private:
    int32_t WriteBytes(const void* bytes, int32_t n);
};

// The CRC-32 of the gzip trailer (reflected polynomial 0xEDB88320). False
// only for a null byte pointer; a negative length counts as 0.
[[nodiscard]] bool Crc32(const void* bytes, int32_t length, uint32_t& out);
