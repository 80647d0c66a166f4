#pragma once

// Owners of the Windows handles the front end creates: each frees its handle exactly once, when it goes.

#include "frontends/windows/Win32.h"

#include <utility>

namespace frontend {

template <class Handle, class Free> class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle)
        : m_handle(handle)
    {
    }
    UniqueHandle(UniqueHandle&& other) noexcept
        : m_handle(std::exchange(other.m_handle, nullptr))
    {
    }
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_handle, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Handle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void reset(Handle handle = nullptr)
    {
        if (m_handle)
            Free{}(m_handle);
        m_handle = handle;
    }
    // The handle is gone by other means (a window the platform destroyed); forget it without freeing it.
    Handle release() { return std::exchange(m_handle, nullptr); }

private:
    Handle m_handle = nullptr;
};

struct DestroyWindowFree {
    void operator()(HWND window) const { DestroyWindow(window); }
};
struct DeleteObjectFree {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct DestroyIconFree {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};

using WindowHandle = UniqueHandle<HWND, DestroyWindowFree>;
using FontHandle = UniqueHandle<HFONT, DeleteObjectFree>;
using BrushHandle = UniqueHandle<HBRUSH, DeleteObjectFree>;
using IconHandle = UniqueHandle<HICON, DestroyIconFree>;

} // namespace frontend
