#include "File.h"

#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include <io.h>
#include <share.h>

#include <libdeflate.h>

#include "Mem.h"

namespace {

static_assert(sizeof(wchar_t) == 2, "wide texts are written as UTF-16LE code units");

// The gzip member header this program writes: deflate, no flags, no time,
// no operating system named.
constexpr uint8_t GzipHeader[10] = {0x1F, 0x8B, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF};
constexpr int32_t GzipTrailerLength = 8;

// libdeflate's level 6 is the customary default balance of speed and size.
constexpr int DeflateLevel = 6;

// Grows an array to hold n bytes; what it held is not kept.
uint8_t* Room(std::unique_ptr<uint8_t[]>& array, int64_t& capacity, int64_t n)
{
    if (n > capacity) {
        array.reset();
        capacity = 0;
        array.reset(new uint8_t[static_cast<size_t>(n)]);
        capacity = n;
    }
    return array.get();
}

}  // namespace

File::~File()
{
    Close();
}

bool File::Open(const WString& filePath, bool write, bool overwrite)
{
    Close();
    if (filePath.buffer == nullptr || filePath.length == 0)
        return false;
    const wchar_t* mode = !write ? L"rb" : overwrite ? L"w+b" : L"a+b";
    stream = _wfsopen(filePath.buffer, mode, _SH_DENYNO);
    if (stream == nullptr)
        return false;
    path = filePath;
    return true;
}

void File::Close()
{
    if (stream == nullptr)
        return;
    std::fclose(stream);
    stream = nullptr;
    path.Clear();
}

bool File::Commit()
{
    return stream != nullptr && std::fflush(stream) == 0 && std::ferror(stream) == 0 &&
           _commit(_fileno(stream)) == 0;
}

// A stream that cannot report its end counts as empty, so that nothing is
// read from a position nobody can name.
int32_t File::Size()
{
    if (stream == nullptr)
        return 0;
    const long here = std::ftell(stream);
    if (std::fseek(stream, 0, SEEK_END) != 0)
        return 0;
    const long end = std::ftell(stream);
    if (here >= 0)
        std::fseek(stream, here, SEEK_SET);
    return end < 0 ? 0 : static_cast<int32_t>(end);
}

int32_t File::Tell()
{
    if (stream == nullptr)
        return 0;
    const long here = std::ftell(stream);
    return here < 0 ? Size() : static_cast<int32_t>(here);
}

int32_t File::Seek(int32_t pos)
{
    if (stream == nullptr)
        return 0;
    const int32_t size = Size();
    if (pos < 0 || pos > size)
        pos = size;
    return std::fseek(stream, pos, SEEK_SET) == 0 ? pos : Tell();
}

int32_t File::SeekEnd()
{
    return Seek(Size());
}

int32_t File::Read(void* buffer, int32_t n)
{
    if (stream == nullptr || buffer == nullptr || n < 1)
        return 0;
    std::memset(buffer, 0, static_cast<size_t>(n));
    const int32_t left = Size() - Tell();
    if (left < 1)
        return 0;
    if (n > left)
        n = left;
    return static_cast<int32_t>(std::fread(buffer, 1, static_cast<size_t>(n), stream));
}

int32_t File::WriteWideText(const WString& text)
{
    if (stream == nullptr)
        return 0;
    const wchar_t terminator = 0;
    const wchar_t* units = text.buffer != nullptr ? text.buffer : &terminator;
    const size_t count = static_cast<size_t>(text.length) + 1;
    return static_cast<int32_t>(std::fwrite(units, sizeof(wchar_t), count, stream) * sizeof(wchar_t));
}

// The whole length is written, so bytes after an inner NUL (a text read
// from a file as it is) are not lost.
int32_t File::WriteText(const NString& text)
{
    if (stream == nullptr || text.buffer == nullptr)
        return 0;
    return WriteBytes(text.buffer, text.length);
}

int32_t File::WriteUtf8Text(const WString& text)
{
    if (stream == nullptr || text.buffer == nullptr)
        return 0;
    const NString utf8(text.buffer);
    if (utf8.buffer == nullptr)
        return 0;
    return WriteBytes(utf8.buffer, utf8.length);
}

// Returns the count that was due even after a short write; the buffer's
// position tells what actually reached the file.
int32_t File::WriteMem(Mem& mem)
{
    if (stream == nullptr)
        return 0;
    const int32_t remaining = mem.Remaining();
    if (remaining >= 1) {
        const int32_t written = WriteBytes(mem.data.get() + mem.position, remaining);
        mem.Seek(mem.position + written);
    }
    return remaining;
}

// Copying a file into itself would chase its own growing end, so it copies
// nothing. A short write ends the copy: the total is what the target got.
// The setup program copies itself, tens of megabytes, while its window
// waits: small chunks cost seconds there in calls alone.
int32_t File::CopyTo(File& target)
{
    if (target.stream == nullptr || &target == this)
        return 0;
    char chunk[64 * 1024];
    int32_t total = 0;
    for (;;) {
        const int32_t got = Read(chunk, sizeof chunk);
        if (got < 1)
            break;
        const int32_t written = target.WriteBytes(chunk, got);
        total += written;
        if (written < got)
            break;
    }
    return total;
}

GzipWorkspace::GzipWorkspace() = default;

GzipWorkspace::~GzipWorkspace()
{
    libdeflate_free_compressor(compressor);
}

int32_t File::Gzip(File& target)
{
    GzipWorkspace workspace;
    return Gzip(target, workspace);
}

// The member is header, raw deflate data and trailer (CRC-32 and length of
// the uncompressed file, little-endian). The result counts the bytes that
// really reached the target, so a caller that records the member's length
// records what is on disk even after a short write.
int32_t File::Gzip(File& target, GzipWorkspace& workspace)
{
    if (stream == nullptr || target.stream == nullptr || &target == this)
        return 0;
    const int32_t size = Size();
    if (size < 1)
        return 0;
    // A file that changed under us would otherwise be packed with zeroes
    // in place of its missing bytes.
    uint8_t* input = Room(workspace.input, workspace.inputCapacity, size);
    Seek(0);
    if (Read(input, size) != size)
        return 0;
    uint32_t crc = 0;
    if (!Crc32(input, size, crc))
        return 0;

    // Enough for incompressible data; computed in 64 bits because it
    // passes 2^31 for the largest files.
    const int64_t bound = int64_t(size) + static_cast<int64_t>(size * 0.1) + 22;
    uint8_t* output = Room(workspace.output, workspace.outputCapacity, bound);
    if (workspace.compressor == nullptr)
        workspace.compressor = libdeflate_alloc_compressor(DeflateLevel);
    if (workspace.compressor == nullptr)
        throw std::bad_alloc();

    int32_t written = target.WriteBytes(GzipHeader, sizeof GzipHeader);
    const size_t compressed = libdeflate_deflate_compress(workspace.compressor, input, static_cast<size_t>(size),
                                                          output, static_cast<size_t>(bound));
    // A member longer than a signed 32-bit length could not be recorded.
    const size_t longest = size_t(std::numeric_limits<int32_t>::max()) - sizeof GzipHeader - GzipTrailerLength;
    if (compressed == 0 || compressed > longest)
        return 0;
    written += target.WriteBytes(output, static_cast<int32_t>(compressed));
    written += target.WriteLittleEndian(crc);
    written += target.WriteLittleEndian(static_cast<uint32_t>(size));
    return written;
}

int32_t File::WriteBytes(const void* bytes, int32_t n)
{
    if (stream == nullptr || bytes == nullptr || n < 1)
        return 0;
    return static_cast<int32_t>(std::fwrite(bytes, 1, static_cast<size_t>(n), stream));
}

int32_t File::WriteLittleEndian(uint32_t value)
{
    const uint8_t bytes[4] = {
        static_cast<uint8_t>(value),
        static_cast<uint8_t>(value >> 8),
        static_cast<uint8_t>(value >> 16),
        static_cast<uint8_t>(value >> 24),
    };
    return WriteBytes(bytes, sizeof bytes);
}

// libdeflate's CRC-32 is the same checksum (polynomial 0xEDB88320, started
// at all ones, complemented) computed many bytes at a time: a byte-table
// loop cost as much as the inflation of a member.
bool Crc32(const void* bytes, int32_t length, uint32_t& out)
{
    if (bytes == nullptr)
        return false;
    out = libdeflate_crc32(0, bytes, length > 0 ? static_cast<size_t>(length) : 0);
    return true;
}
