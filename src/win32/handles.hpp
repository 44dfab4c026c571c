#pragma once

#include <windows.h>
#include <winsock2.h>

#include <utility>

namespace corvalis::win32 {

// Owns one Windows handle and closes it with the function its kind requires.
template <typename Traits>
class UniqueHandle {
public:
    using Pointer = typename Traits::Pointer;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Pointer value) noexcept : value_(value) {}
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    [[nodiscard]] Pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::invalid(); }

    Pointer release() noexcept { return std::exchange(value_, Traits::invalid()); }
    void reset(Pointer value = Traits::invalid()) noexcept {
        const Pointer old = std::exchange(value_, value);
        if (old != Traits::invalid()) {
            Traits::close(old);
        }
    }

private:
    Pointer value_ = Traits::invalid();
};

struct KernelHandleTraits {
    using Pointer = HANDLE;
    static Pointer invalid() noexcept { return nullptr; }
    static void close(Pointer value) noexcept { CloseHandle(value); }
};

struct FileHandleTraits {
    using Pointer = HANDLE;
    static Pointer invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Pointer value) noexcept { CloseHandle(value); }
};

template <typename GdiObject>
struct GdiObjectTraits {
    using Pointer = GdiObject;
    static Pointer invalid() noexcept { return nullptr; }
    static void close(Pointer value) noexcept { DeleteObject(value); }
};

struct MemoryDcTraits {
    using Pointer = HDC;
    static Pointer invalid() noexcept { return nullptr; }
    static void close(Pointer value) noexcept { DeleteDC(value); }
};

struct SocketTraits {
    using Pointer = SOCKET;
    static Pointer invalid() noexcept { return INVALID_SOCKET; }
    static void close(Pointer value) noexcept { closesocket(value); }
};

// A COM interface pointer, released rather than closed.
template <typename Interface>
struct ComPointerTraits {
    using Pointer = Interface*;
    static Pointer invalid() noexcept { return nullptr; }
    static void close(Pointer value) noexcept { value->Release(); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueFont = UniqueHandle<GdiObjectTraits<HFONT>>;
using UniqueBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using UniqueBrush = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;
using UniqueSocket = UniqueHandle<SocketTraits>;
template <typename Interface>
using UniqueComPointer = UniqueHandle<ComPointerTraits<Interface>>;

// Selects a GDI object into a device context for one scope.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc), previous_(SelectObject(dc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() { SelectObject(dc_, previous_); }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace corvalis::win32
