#pragma once

// A growable byte buffer with one position that reading and writing both
// move. Resources, whole files, package members and their unpacked data
// travel in it.
//
// Reading past the end never fails hard: a read is cut to what is left and
// the shortfall is logged with Warn; a seek outside the data lands at the
// end, also with a warning.
//
// Invariants: 0 <= position <= size <= capacity. A new buffer owns 1024
// bytes. The one state without an array (data null, counters 0) follows a
// failed LoadBinaryResource or ViewBinaryResource; in it every read, write
// and seek returns 0 or an empty text and changes nothing. Counts are
// signed 32-bit, so a buffer holds at most 2^31 - 1 bytes.
//
// A buffer made by ViewBinaryResource reads bytes it does not own: the
// program's own resource, in place. It is read-only: writes to it write
// nothing, and Reset, LoadFile or LoadBinaryResource give it an array of
// its own again.
//
// The fields are read directly by callers; only the operations below
// change them.

#include <cstdint>
#include <memory>

#include "TString.h"

// Frees the array only when the buffer owns it.
struct MemArrayDeleter
{
    bool owned = true;
    void operator()(uint8_t* array) const
    {
        if (owned)
            delete[] array;
    }
};

class Mem
{
public:
    using Array = std::unique_ptr<uint8_t[], MemArrayDeleter>;
    Array data;
    int32_t capacity = 0;
    int32_t size = 0;
    int32_t position = 0;

    Mem();
    Mem(const Mem&) = delete;
    Mem& operator=(const Mem&) = delete;
    virtual ~Mem();

    // An empty buffer of at least 1024 bytes, exactly n when n is larger.
    void Reset(int32_t n);
    // Empties the buffer but keeps its array, so that the next contents
    // reuse memory already paged in rather than fresh pages.
    void Clear();
    // A whole resource of type "BINARY" from the running program. On
    // failure the buffer is left without an array.
    [[nodiscard]] bool LoadBinaryResource(uint16_t id);
    // The same resource read in place, without a copy: the package is tens
    // of megabytes, and a copy would hold it twice. On failure the buffer
    // is left without an array.
    [[nodiscard]] bool ViewBinaryResource(uint16_t id);
    // False for a buffer over bytes it does not own.
    [[nodiscard]] bool IsWritable() const;
    // A whole file, positioned at its start. A missing, unreadable or empty
    // file gives false and a fresh empty buffer.
    [[nodiscard]] bool LoadFile(const WString& path);

    [[nodiscard]] int32_t Remaining() const;
    // Zeroes the n destination bytes first, so a number read at the end
    // gets zero for its missing high bytes.
    int32_t Read(void* destination, int32_t n);
    // Writes at the position, growing the array to a power of two when
    // size + n passes the capacity; returns n, or 0 when nothing was
    // written.
    int32_t Write(const void* source, int32_t n);
    // n bytes (all that remain for n < 0) from the source's position; the
    // source moves past what was copied.
    int32_t WriteFrom(Mem& source, int32_t n);
    int32_t Seek(int32_t pos);

    // UTF-16LE up to a 0x0000 pair, which is consumed; the empty text and
    // no move when no terminator follows.
    WString ReadWideText();
    // Bytes up to LF, CR, CR LF or NUL; the line end is consumed, a NUL is
    // not (the next call passes over it and returns the empty text).
    NString ReadLine();
    NString ReadRestText();
    WString ReadRestWideText();

    // The position just after the first match from the position on, where
    // the position is left; -1 and no move when there is none.
    [[nodiscard]] int32_t FindBytes(const void* pattern, int32_t n);
    // Unpacks the one gzip member this buffer holds and appends the result
    // at the destination's position. Returns the bytes appended, 0 for a
    // member that is damaged, empty or too large to hold.
    [[nodiscard]] int32_t Gunzip(Mem& destination);
    // The same for the member of `length` bytes at the position (cut to
    // what remains), which is unpacked where it lies, without a copy; the
    // position moves past it whatever the outcome.
    [[nodiscard]] int32_t GunzipNext(int32_t length, Mem& destination);

private:
    bool Grow(int32_t needed, Array& previous);
    void Own(uint8_t* array, int32_t n);
    // Lets go of the array, owned or viewed, and empties the counters.
    void Drop();
    [[nodiscard]] const uint8_t* FindResourceBytes(uint16_t id, int32_t& length);
    uint32_t LittleEndianAt(int32_t offset) const;
    int32_t DeflateDataOffset(int32_t begin, int32_t length) const;
};
