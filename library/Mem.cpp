#include "Mem.h"

#include <cstring>
#include <limits>
#include <new>

#include <windows.h>

#include <libdeflate.h>

#include "File.h"
#include "Library.h"
#include "Log.h"

namespace {

constexpr int32_t SmallestCapacity = 1024;
constexpr int32_t GzipHeaderLength = 10;
constexpr int32_t GzipTrailerLength = 8;
constexpr int32_t Largest = std::numeric_limits<int32_t>::max();

// The smallest power of two not below `needed`; 2^31 does not fit the
// signed counters and becomes 2^31 - 1.
int32_t PowerOfTwoFor(int32_t needed)
{
    int64_t capacity = 1;
    while (capacity < needed)
        capacity *= 2;
    return capacity > Largest ? Largest : static_cast<int32_t>(capacity);
}

void WarnNumber(const wchar_t* text, int32_t number)
{
    Warn((WString(text) + WString(number)).buffer);
}

// Releases a loaded resource on every path out of LoadBinaryResource.
class LoadedResource
{
public:
    LoadedResource(HMODULE module, HRSRC found) : handle(LoadResource(module, found)) {}
    LoadedResource(const LoadedResource&) = delete;
    LoadedResource& operator=(const LoadedResource&) = delete;
    virtual ~LoadedResource()
    {
        if (handle != nullptr)
            FreeResource(handle);
    }
    HGLOBAL Get() const { return handle; }

private:
    HGLOBAL handle;
};

struct DecompressorDeleter
{
    void operator()(libdeflate_decompressor* decompressor) const { libdeflate_free_decompressor(decompressor); }
};

}  // namespace

Mem::Mem()
    : data(new uint8_t[SmallestCapacity]), capacity(SmallestCapacity)
{
}

// Takes `array` of n bytes as this buffer's own.
void Mem::Own(uint8_t* array, int32_t n)
{
    data.reset();
    data.get_deleter().owned = true;
    data.reset(array);
    capacity = n;
}

bool Mem::IsWritable() const
{
    return data != nullptr && data.get_deleter().owned;
}

Mem::~Mem() = default;

void Mem::Reset(int32_t n)
{
    // The old array goes first, so a large buffer is never held twice; if
    // the new one cannot be had, the buffer is left without an array.
    Drop();
    const int32_t wanted = n > SmallestCapacity ? n : SmallestCapacity;
    Own(new uint8_t[wanted], wanted);
}

void Mem::Drop()
{
    data.reset();
    capacity = 0;
    size = 0;
    position = 0;
}

void Mem::Clear()
{
    if (!IsWritable())
        return;
    size = 0;
    position = 0;
}

// The resource's bytes in the program's image; null when it cannot be
// found, loaded or locked, or is too large for the counters.
const uint8_t* Mem::FindResourceBytes(uint16_t id, int32_t& length)
{
    const HMODULE module = Library::Instance();
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"BINARY");
    if (found == nullptr)
        return nullptr;
    const LoadedResource loaded(module, found);
    if (loaded.Get() == nullptr)
        return nullptr;
    const void* bytes = LockResource(loaded.Get());
    const DWORD size = SizeofResource(module, found);
    if (bytes == nullptr || size > DWORD(Largest))
        return nullptr;
    length = static_cast<int32_t>(size);
    return static_cast<const uint8_t*>(bytes);
}

bool Mem::LoadBinaryResource(uint16_t id)
{
    Drop();
    int32_t length = 0;
    const uint8_t* bytes = FindResourceBytes(id, length);
    if (bytes == nullptr)
        return false;
    Reset(length);
    std::memcpy(data.get(), bytes, static_cast<size_t>(length));
    size = length;
    return true;
}

// A locked resource of the program's own image stays where it is until the
// process ends (freeing a resource does nothing on 32- and 64-bit Windows),
// so the buffer may point at it for as long as it lives. The array is never
// written through: every write checks IsWritable first.
bool Mem::ViewBinaryResource(uint16_t id)
{
    Drop();
    int32_t length = 0;
    const uint8_t* bytes = FindResourceBytes(id, length);
    if (bytes == nullptr)
        return false;
    data.get_deleter().owned = false;
    data.reset(const_cast<uint8_t*>(bytes));
    capacity = length;
    size = length;
    return true;
}

bool Mem::LoadFile(const WString& path)
{
    Reset(SmallestCapacity);
    File file;
    if (!file.Open(path, false, false))
        return false;
    const int32_t length = file.Size();
    if (length < 1)
        return false;
    // The file is read straight into the array it stays in: a package is
    // tens of megabytes, and every further copy of it costs its time and
    // its pages. The capacity is the one a write of the file would give.
    Reset(PowerOfTwoFor(length));
    // A file that shrank while being read counts as unreadable rather than
    // arriving with zeroes in place of its end.
    if (file.Read(data.get(), length) != length) {
        Reset(SmallestCapacity);
        return false;
    }
    size = length;
    return true;
}

int32_t Mem::Remaining() const
{
    return data != nullptr ? size - position : 0;
}

int32_t Mem::Read(void* destination, int32_t n)
{
    if (data == nullptr || destination == nullptr || n < 1)
        return 0;
    std::memset(destination, 0, static_cast<size_t>(n));
    const int32_t left = size - position;
    if (left == 0)
        return 0;
    if (n > left) {
        WarnNumber(L"Read requested: ", n);
        WarnNumber(L"Read available: ", left);
        n = left;
    }
    std::memcpy(destination, data.get() + position, static_cast<size_t>(n));
    position += n;
    return n;
}

// A write that would take the buffer past 2^31 - 1 bytes writes nothing.
// The source may lie inside this buffer (WriteFrom itself): the old array
// is kept until the bytes are copied.
int32_t Mem::Write(const void* source, int32_t n)
{
    if (!IsWritable() || source == nullptr || n < 1 || n > Largest - size)
        return 0;
    Array previous;
    if (!Grow(size + n, previous))
        throw std::bad_alloc();
    std::memmove(data.get() + position, source, static_cast<size_t>(n));
    position += n;
    if (position > size)
        size = position;
    return n;
}

// The source moves only by what was really copied, so nothing is skipped
// when this buffer could not take the bytes.
int32_t Mem::WriteFrom(Mem& source, int32_t n)
{
    const int32_t available = source.Remaining();
    if (n < 0 || n > available)
        n = available;
    const int32_t start = source.position;
    const int32_t copied = n >= 1 ? Write(source.data.get() + start, n) : 0;
    source.Seek(start + copied);
    return copied;
}

int32_t Mem::Seek(int32_t pos)
{
    if (data == nullptr)
        return 0;
    if (pos >= 0 && pos <= size) {
        position = pos;
        return pos;
    }
    WarnNumber(L"Add requested: ", pos);
    WarnNumber(L"Add available: ", size);
    position = size;
    return size;
}

// The pairs are counted from the position, not from the start of the
// array: package names are not aligned.
WString Mem::ReadWideText()
{
    WString text(L"");
    if (data == nullptr)
        return text;
    for (int64_t i = position; i + 1 < size; i += 2) {
        if (data[i] == 0 && data[i + 1] == 0) {
            const int32_t units = static_cast<int32_t>((i - position) / 2);
            text.SetLength(units);
            std::memcpy(text.buffer, data.get() + position, sizeof(wchar_t) * units);
            position = static_cast<int32_t>(i + 2);
            return text;
        }
    }
    return text;
}

// A CR consumes the LF that follows it, and only an LF: a lone CR neither
// swallows the first byte of the next line nor moves past the end.
NString Mem::ReadLine()
{
    NString line("");
    if (data == nullptr || position >= size)
        return line;
    if (data[position] == 0) {
        ++position;
        return line;
    }
    int32_t end = position;
    while (end < size && data[end] != '\n' && data[end] != '\r' && data[end] != 0)
        ++end;
    line.Set(reinterpret_cast<const char*>(data.get() + position), end - position);
    position = end;
    if (end < size && data[end] == '\n') {
        position = end + 1;
    } else if (end < size && data[end] == '\r') {
        position = end + 1;
        if (position < size && data[position] == '\n')
            ++position;
    }
    return line;
}

NString Mem::ReadRestText()
{
    NString text("");
    const int32_t left = Remaining();
    if (left < 1)
        return text;
    text.Set(reinterpret_cast<const char*>(data.get() + position), left);
    position = size;
    return text;
}

WString Mem::ReadRestWideText()
{
    WString text(L"");
    const int32_t left = Remaining();
    if (left < 1)
        return text;
    const int32_t units = left / 2;
    text.SetLength(units);
    if (units > 0)
        std::memcpy(text.buffer, data.get() + position, sizeof(wchar_t) * units);
    position = size;
    return text;
}

int32_t Mem::FindBytes(const void* pattern, int32_t n)
{
    if (pattern == nullptr || n <= 0)
        return -1;
    for (int32_t start = position; size - start >= n; ++start) {
        if (std::memcmp(data.get() + start, pattern, static_cast<size_t>(n)) == 0) {
            position = start + n;
            return position;
        }
    }
    return -1;
}

// One gzip member (RFC 1952), as this program writes it and as gzip tools
// write it with a stored file name:
//
//   offset  size  field
//   0       1     ID1    0x1F      not examined
//   1       1     ID2    0x8B      not examined
//   2       1     CM     8         deflate; not examined
//   3       1     FLG    0 or 8    exactly 8 (FNAME alone): a zero-ended
//                                  name follows the header and is skipped;
//                                  any other value: the data starts at 10
//   4       4     MTIME            ignored
//   8       1     XFL              ignored
//   9       1     OS     0xFF      ignored
//   10      ...   [file name, zero-ended, when FLG is 8]
//   h       m-h-8 raw deflate data (RFC 1951), the whole file in one stream
//   m-8     4     CRC32  of the unpacked file, little-endian
//   m-4     4     ISIZE  length of the unpacked file, little-endian
//
// The unpacked data must fill exactly ISIZE bytes and match the CRC-32, so
// a damaged member is never installed. Every allocation here is allowed to
// fail: a nonsense ISIZE is a damaged member, not a reason to end the
// process.
int32_t Mem::Gunzip(Mem& destination)
{
    // Too short for its header and trailer, the member is not read at all.
    if (data == nullptr || size < GzipHeaderLength + GzipTrailerLength)
        return 0;
    position = 0;
    return GunzipNext(size, destination);
}

// The data is unpacked into the destination's spare capacity past its size
// and moved to its position only once it has proved sound, so a damaged
// member leaves the destination's data as it was. A destination kept from
// member to member (and emptied with Clear) is paged in once, not once per
// member.
int32_t Mem::GunzipNext(int32_t length, Mem& destination)
{
    // Deflate cannot expand data more than 1032-fold; a larger ISIZE is
    // damage, found without trying to allocate it.
    constexpr uint64_t LargestExpansion = 1032;
    if (data == nullptr)
        return 0;
    const int32_t begin = position;
    if (length < 0 || length > size - begin)
        length = size - begin;
    // Like a read of the whole member, unpacking moves past it, whatever
    // the outcome.
    position = begin + length;
    if (length < GzipHeaderLength + GzipTrailerLength)
        return 0;
    const uint32_t storedCrc = LittleEndianAt(begin + length - 8);
    const uint32_t unpacked = LittleEndianAt(begin + length - 4);
    if (unpacked == 0 || !destination.IsWritable() || unpacked > uint32_t(Largest - destination.size) ||
        unpacked > uint64_t(length) * LargestExpansion)
        return 0;
    const int32_t start = DeflateDataOffset(begin, length);
    if (start + GzipTrailerLength > length)
        return 0;

    const std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(libdeflate_alloc_decompressor());
    Array previous;
    if (decompressor == nullptr || !destination.Grow(destination.size + static_cast<int32_t>(unpacked), previous))
        return 0;
    // The replaced array is kept only while the member may lie in it; held
    // beside its larger successor it would add its pages to the peak.
    if (&destination != this)
        previous.reset();
    // Taken after the growth: the destination may be this very buffer.
    const uint8_t* deflate = data.get() + begin + start;
    uint8_t* spare = destination.data.get() + destination.size;
    const libdeflate_result result = libdeflate_deflate_decompress(
        decompressor.get(), deflate, size_t(length - GzipTrailerLength - start), spare, unpacked, nullptr);
    if (result != LIBDEFLATE_SUCCESS)
        return 0;
    uint32_t crc = 0;
    if (!Crc32(spare, static_cast<int32_t>(unpacked), crc) || crc != storedCrc)
        return 0;

    const int32_t n = static_cast<int32_t>(unpacked);
    if (destination.position != destination.size)
        std::memmove(destination.data.get() + destination.position, spare, unpacked);
    destination.position += n;
    if (destination.position > destination.size)
        destination.size = destination.position;
    return n;
}

// Returns false, changing nothing, when the larger array cannot be had.
// The replaced array is handed to `previous` rather than freed, for a
// caller whose source bytes lie inside it.
bool Mem::Grow(int32_t needed, Array& previous)
{
    if (needed <= capacity)
        return true;
    const int32_t grown = PowerOfTwoFor(needed);
    Array fresh(new (std::nothrow) uint8_t[grown]);
    if (fresh == nullptr)
        return false;
    if (size > 0)
        std::memcpy(fresh.get(), data.get(), static_cast<size_t>(size));
    previous = std::move(data);
    data = std::move(fresh);
    capacity = grown;
    return true;
}

uint32_t Mem::LittleEndianAt(int32_t offset) const
{
    const uint8_t* p = data.get() + offset;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Only a lone FNAME flag is understood: it is what gzip tools set when they
// store the file name. With an extra field or a comment the data is taken
// to start at offset 10, and such a member fails to unpack. The result
// counts from the member's first byte.
int32_t Mem::DeflateDataOffset(int32_t begin, int32_t length) const
{
    constexpr uint8_t FlagName = 8;
    const uint8_t* member = data.get() + begin;
    if (member[3] != FlagName)
        return GzipHeaderLength;
    for (int32_t i = GzipHeaderLength; i < length; ++i) {
        if (member[i] == 0)
            return i + 1;
    }
    return GzipHeaderLength;
}
