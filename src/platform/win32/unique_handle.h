#pragma once
// One move-only owner for Win32 handles, each kind with its own null value and
// release function.
#include <windows.h>

#include <utility>

namespace kx::win32 {

template <typename Traits> class UniqueHandle {
public:
    using Handle = typename Traits::Handle;
    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : h_(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, Traits::Null())) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.h_, Traits::Null()));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle Get() const { return h_; }
    explicit operator bool() const { return h_ != Traits::Null(); }
    Handle Release() { return std::exchange(h_, Traits::Null()); }
    void Reset(Handle h = Traits::Null())
    {
        if (h_ != Traits::Null())
            Traits::Close(h_);
        h_ = h;
    }

private:
    Handle h_ = Traits::Null();
};

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Null() { return nullptr; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Null() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Null() { return nullptr; }
    static void Close(Handle h) { ::RegCloseKey(h); }
};
struct FontTraits {
    using Handle = HFONT;
    static Handle Null() { return nullptr; }
    static void Close(Handle h) { ::DeleteObject(h); }
};
struct BrushTraits {
    using Handle = HBRUSH;
    static Handle Null() { return nullptr; }
    static void Close(Handle h) { ::DeleteObject(h); }
};
struct MenuTraits {
    using Handle = HMENU;
    static Handle Null() { return nullptr; }
    static void Close(Handle h) { ::DestroyMenu(h); }
};
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Null() { return nullptr; }
    static void Close(Handle h) { ::FreeLibrary(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueFont = UniqueHandle<FontTraits>;
using UniqueBrush = UniqueHandle<BrushTraits>;
using UniqueMenu = UniqueHandle<MenuTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;

} // namespace kx::win32
