#pragma once

// The program's one string type. TString<wchar_t> holds UTF-16 code units
// (paths, registry values, window texts); TString<char> holds bytes, always
// UTF-8 when converted from a wide string.
//
// Every string owns its buffer, which always ends in a NUL so it can be handed
// to Windows as it is. The buffer's capacity follows one exact rule: the
// smallest power of two, at least 8, that holds the length and the
// terminator. It is reallocated whenever the length crosses a power of two,
// shrinking as well as growing.
//
// `buffer` and `length` are read directly by callers; only the operations
// below change them. Characters before `length` may include NULs when a
// string was set with an explicit count.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <new>
#include <utility>

#include <windows.h>

template <typename T>
class TString
{
public:
    struct Count
    {
        int32_t n;
    };

    bool wide = sizeof(T) == sizeof(wchar_t);
    T empty = 0;
    T* buffer = nullptr;
    int32_t length = 0;
    int32_t capacity = 0;

    TString() = default;
    TString(const wchar_t* text) { Set(text); }
    TString(const char* text) { Set(text); }
    explicit TString(int32_t value) { SetNumber(value); }
    explicit TString(Count count)
    {
        SetLength(count.n);
        if (length > 0)
            std::memset(buffer, 0, sizeof(T) * length);
    }
    TString(const TString& other) { CopyFrom(other); }
    TString& operator=(const TString& other)
    {
        if (this != &other)
            CopyFrom(other);
        return *this;
    }
    virtual ~TString()
    {
        delete[] buffer;
        buffer = nullptr;
        length = 0;
        capacity = 0;
    }

    // The smallest power of two that is at least n + 1 and at least 8.
    static int32_t CapacityFor(int32_t n)
    {
        if (n < 0)
            n = 0;
        if (n >= (1 << 30))
            throw std::bad_alloc();
        int32_t cap = 8;
        while (cap < n + 1)
            cap *= 2;
        return cap;
    }

    TString& Set(const wchar_t* text)
    {
        if (text == nullptr || text[0] == 0) {
            Clear();
        } else if constexpr (sizeof(T) == sizeof(wchar_t)) {
            SetCopy(reinterpret_cast<const T*>(text), static_cast<int32_t>(std::wcslen(text)));
        } else {
            SetUtf8From(text);
        }
        return *this;
    }

    TString& Set(const char* text)
    {
        if (text == nullptr || text[0] == 0) {
            Clear();
        } else if constexpr (sizeof(T) == sizeof(char)) {
            SetCopy(reinterpret_cast<const T*>(text), static_cast<int32_t>(std::strlen(text)));
        } else {
            SetWideFrom(text);
        }
        return *this;
    }

    // Exactly `count` characters, NULs included; a negative count takes the
    // text up to its terminator.
    TString& Set(const T* text, int32_t count)
    {
        if (text == nullptr) {
            Clear();
            return *this;
        }
        if (count < 0)
            count = TextLength(text);
        SetCopy(text, count);
        return *this;
    }

    void SetLength(int32_t n)
    {
        if (n < 0)
            n = 0;
        const int32_t cap = CapacityFor(n);
        if (buffer == nullptr || cap != capacity) {
            T* fresh = new T[cap];
            const int32_t kept = n < length ? n : length;
            if (buffer != nullptr && kept > 0)
                std::memcpy(fresh, buffer, sizeof(T) * kept);
            delete[] buffer;
            buffer = fresh;
            capacity = cap;
        }
        length = n;
        buffer[n] = 0;
    }

    void Clear() { SetLength(0); }

    void Append(const T* text)
    {
        const TString joined = *this + text;
        *this = joined;
    }

    friend TString operator+(const TString& left, const TString& right)
    {
        return Join(left.buffer, left.length, right.buffer, right.length);
    }
    friend TString operator+(const TString& left, const T* right)
    {
        return Join(left.buffer, left.length, right, TextLength(right));
    }
    friend TString operator+(const T* left, const TString& right)
    {
        return Join(left, TextLength(left), right.buffer, right.length);
    }

    TString Mid(int32_t start) const
    {
        if (start < 0)
            start = 0;
        if (start >= length)
            return TString(&empty, -1);
        return TString(buffer + start, length - start);
    }

    TString Left(int32_t n) const
    {
        if (n <= 0)
            return TString(&empty, -1);
        if (n > length)
            return *this;
        return TString(buffer, n);
    }

    TString Right(int32_t n) const
    {
        if (n <= 0)
            return TString(&empty, -1);
        if (n > length)
            return *this;
        return TString(buffer + length - n, n);
    }

    T CharAt(int32_t index) const
    {
        if (buffer == nullptr || index < 0 || index >= length)
            return 0;
        return buffer[index];
    }

    // The first index from `start` at which the needle lies wholly inside
    // the window of `count` characters; -1 when there is none.
    int32_t Find(const T* needle, int32_t start, int32_t count) const
    {
        const int32_t f = TextLength(needle);
        if (f == 0)
            return -1;
        if (start < 0)
            start = 0;
        if (start >= length)
            return -1;
        if (count < 0 || int64_t(start) + count > length)
            count = length - start;
        for (int32_t i = start; int64_t(i) + f <= int64_t(start) + count; ++i) {
            if (std::memcmp(buffer + i, needle, sizeof(T) * f) == 0)
                return i;
        }
        return -1;
    }

    // Left to right, without overlaps; inserted text is never searched again.
    int32_t Replace(const T* find, const T* replacement)
    {
        const TString findCopy(find, -1);
        const TString replacementCopy(replacement, -1);
        const int32_t f = findCopy.length;
        const int32_t r = replacementCopy.length;
        if (f == 0 || length == 0)
            return 0;
        int32_t end = length;
        int32_t start = 0;
        int32_t replaced = 0;
        while (start < end) {
            const int32_t i = Find(findCopy.buffer, start, end - start);
            if (i < 0)
                break;
            ReplaceAt(i, f, replacementCopy.buffer);
            ++replaced;
            start = i + r;
            end += r - f;
        }
        return replaced;
    }

    TString& ReplaceAt(int32_t position, int32_t count, const T* text)
    {
        if (position < 0)
            position = 0;
        if (position > length)
            return *this;
        if (count < 0 || int64_t(position) + count > length)
            count = length - position;
        const TString textCopy(text, -1);
        const int32_t t = textCopy.length;
        if (t < count) {
            Remove(position, count - t);
        } else if (t > count) {
            const int32_t oldLength = length;
            SetLength(oldLength + (t - count));
            std::memmove(buffer + position + (t - count), buffer + position,
                         sizeof(T) * (oldLength - position));
        }
        if (t > 0)
            std::memcpy(buffer + position, textCopy.buffer, sizeof(T) * t);
        return *this;
    }

    int32_t Remove(int32_t start, int32_t count)
    {
        if (start < 0)
            start = 0;
        if (start >= length)
            return 0;
        if (count < 0 || int64_t(start) + count > length)
            count = length - start;
        if (count == 0)
            return 0;
        std::memmove(buffer + start, buffer + start + count,
                     sizeof(T) * (length - start - count));
        SetLength(length - count);
        return count;
    }

    void TrimRight(int32_t n)
    {
        if (n >= length) {
            Clear();
            return;
        }
        const TString kept = Left(length - n);
        *this = kept;
    }

    void StripEnds()
    {
        TrimRight(1);
        if (length <= 1) {
            Clear();
            return;
        }
        const TString kept = Mid(1);
        *this = kept;
    }

    // Removes one pair of enclosing double quotes when no other quote
    // stands between them.
    bool Unquote()
    {
        if (length < 2 || buffer[0] != '"' || buffer[length - 1] != '"')
            return false;
        for (int32_t i = 1; i < length - 1; ++i) {
            if (buffer[i] == '"')
                return false;
        }
        StripEnds();
        return true;
    }

private:
    TString(const T* text, int32_t count) { Set(text, count); }

    static int32_t TextLength(const T* text)
    {
        if (text == nullptr)
            return 0;
        int32_t n = 0;
        while (text[n] != 0)
            ++n;
        return n;
    }

    static TString Join(const T* left, int32_t leftLength, const T* right, int32_t rightLength)
    {
        TString joined;
        joined.SetLength(leftLength + rightLength);
        if (leftLength > 0)
            std::memcpy(joined.buffer, left, sizeof(T) * leftLength);
        if (rightLength > 0)
            std::memcpy(joined.buffer + leftLength, right, sizeof(T) * rightLength);
        return joined;
    }

    void CopyFrom(const TString& other)
    {
        if (other.buffer == nullptr)
            Clear();
        else
            SetCopy(other.buffer, other.length);
    }

    // Sizes the buffer by the rule without keeping the old characters. The
    // text may lie inside this string's own buffer: a new buffer is filled
    // before the old one is freed, and a kept buffer is moved within itself.
    void SetCopy(const T* text, int32_t count)
    {
        const int32_t cap = CapacityFor(count);
        if (buffer == nullptr || cap != capacity) {
            T* fresh = new T[cap];
            if (count > 0)
                std::memcpy(fresh, text, sizeof(T) * count);
            delete[] buffer;
            buffer = fresh;
            capacity = cap;
        } else if (count > 0) {
            std::memmove(buffer, text, sizeof(T) * count);
        }
        length = count;
        buffer[count] = 0;
    }

    void SetNumber(int32_t value)
    {
        SetLength(16);
        int written;
        if constexpr (sizeof(T) == sizeof(wchar_t))
            written = swprintf_s(reinterpret_cast<wchar_t*>(buffer), 17, L"%d", value);
        else
            written = sprintf_s(reinterpret_cast<char*>(buffer), 17, "%d", value);
        SetLength(written < 0 ? 0 : written);
    }

    void SetUtf8From(const wchar_t* text)
    {
        const int units = static_cast<int>(std::wcslen(text));
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
        if (bytes < 1) {
            Clear();
            return;
        }
        SetLength(bytes);
        WideCharToMultiByte(CP_UTF8, 0, text, units, reinterpret_cast<char*>(buffer), bytes, nullptr, nullptr);
    }

    void SetWideFrom(const char* text)
    {
        const int bytes = static_cast<int>(std::strlen(text));
        const int units = MultiByteToWideChar(CP_UTF8, 0, text, bytes, nullptr, 0);
        if (units < 1) {
            Clear();
            return;
        }
        SetLength(units);
        MultiByteToWideChar(CP_UTF8, 0, text, bytes, reinterpret_cast<wchar_t*>(buffer), units);
    }
};

using WString = TString<wchar_t>;
using NString = TString<char>;
