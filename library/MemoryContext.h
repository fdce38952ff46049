#pragma once

// A memory device context with one GDI object selected into it: a bitmap
// to copy from, or a font to measure text in. The object is selected out
// again before the context is deleted, so its owner may delete it after.

#include <windows.h>

class MemoryContext
{
public:
    // A context like `compatibleWith`'s; like the screen's for nullptr.
    MemoryContext(HDC compatibleWith, HGDIOBJ selected)
        : context(CreateCompatibleDC(compatibleWith)), previous(SelectObject(context, selected))
    {
    }
    MemoryContext(const MemoryContext&) = delete;
    MemoryContext& operator=(const MemoryContext&) = delete;
    virtual ~MemoryContext()
    {
        SelectObject(context, previous);
        DeleteDC(context);
    }

    HDC Context() const { return context; }

private:
    HDC const context;
    HGDIOBJ const previous;
};
