#pragma once

// Owner of one GDI object, such as a font or a bitmap. It deletes the object
// exactly once: in its destructor, or when another object is moved into it.
// A window that shows a font only borrows it, so whoever replaces a font
// hands the window the new one before the old owner lets go.

#include <windows.h>

template <typename Handle>
class GdiObject
{
public:
    GdiObject() = default;
    explicit GdiObject(Handle made)
        : handle(made)
    {
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept
        : handle(other.handle)
    {
        other.handle = nullptr;
    }
    GdiObject& operator=(GdiObject&& other) noexcept
    {
        if (this != &other) {
            Delete();
            handle = other.handle;
            other.handle = nullptr;
        }
        return *this;
    }
    virtual ~GdiObject() { Delete(); }

    Handle Get() const { return handle; }

private:
    void Delete()
    {
        if (handle != nullptr)
            DeleteObject(handle);
        handle = nullptr;
    }

    Handle handle = nullptr;
};
