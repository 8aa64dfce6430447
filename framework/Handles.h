// Owners for Win32 handles: one move-only owner per handle kind, each with
// the one release call that kind needs (CloseHandle, FindClose, DestroyMenu,
// DeleteObject, ...).  An owner releases its handle when it is destroyed or
// given another one; Release() hands the handle over without closing it.
//
// CComPtr owns one COM interface reference; CSelectObjectGuard puts back
// whatever a SelectObject call replaced in a device context.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <utility>

template <class Traits>
class CHandleOwner {
public:
    using Handle = typename Traits::Handle;

    CHandleOwner() noexcept = default;
    explicit CHandleOwner(Handle handle) noexcept : m_handle(handle) {}
    ~CHandleOwner() { Reset(); }

    CHandleOwner(const CHandleOwner&) = delete;
    CHandleOwner& operator=(const CHandleOwner&) = delete;
    CHandleOwner(CHandleOwner&& other) noexcept : m_handle(other.Release()) {}
    CHandleOwner& operator=(CHandleOwner&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Handle Get() const noexcept { return m_handle; }
    bool IsValid() const noexcept { return m_handle != Traits::Invalid(); }
    explicit operator bool() const noexcept { return IsValid(); }

    // Gives up ownership without releasing.
    Handle Release() noexcept { return std::exchange(m_handle, Traits::Invalid()); }
    // Releases the current handle (if any) and takes `handle`.
    void Reset(Handle handle = Traits::Invalid()) noexcept
    {
        if (m_handle != Traits::Invalid() && m_handle != handle)
            Traits::Close(m_handle);
        m_handle = handle;
    }
    // For APIs that return a handle through a pointer.
    Handle* Receive() noexcept
    {
        Reset();
        return &m_handle;
    }

private:
    Handle m_handle = Traits::Invalid();
};

namespace tpx::handles {

template <class H, H (*InvalidValue)(), class R, R(WINAPI* CloseFn)(H)>
struct Traits {
    using Handle = H;
    static Handle Invalid() noexcept { return InvalidValue(); }
    static void Close(Handle handle) noexcept { CloseFn(handle); }
};

template <class H>
inline H Null() noexcept { return nullptr; }
inline HANDLE InvalidHandleValue() noexcept { return INVALID_HANDLE_VALUE; }

template <class H>
struct GdiTraits {
    using Handle = H;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { DeleteObject(handle); }
};

struct ImageListTraits {
    using Handle = HIMAGELIST;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { ImageList_Destroy(handle); }
};

struct CoTaskMemTraits {
    using Handle = void*;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle memory) noexcept { CoTaskMemFree(memory); }
};

}  // namespace tpx::handles

// Kernel objects whose "no handle" is null (mutexes, events, processes).
using CKernelHandle =
    CHandleOwner<tpx::handles::Traits<HANDLE, tpx::handles::Null<HANDLE>, BOOL, CloseHandle>>;
// Files from CreateFile, whose "no handle" is INVALID_HANDLE_VALUE.
using CFileHandle =
    CHandleOwner<tpx::handles::Traits<HANDLE, tpx::handles::InvalidHandleValue, BOOL, CloseHandle>>;
using CFindHandle =
    CHandleOwner<tpx::handles::Traits<HANDLE, tpx::handles::InvalidHandleValue, BOOL, FindClose>>;
using CRegKeyHandle =
    CHandleOwner<tpx::handles::Traits<HKEY, tpx::handles::Null<HKEY>, LONG, RegCloseKey>>;
using CMenuHandle =
    CHandleOwner<tpx::handles::Traits<HMENU, tpx::handles::Null<HMENU>, BOOL, DestroyMenu>>;
// Icons and cursors that were created or loaded unshared (LoadImage without
// LR_SHARED, CreateIconIndirect, ExtractIcon); shared ones need no owner.
using CIconHandle =
    CHandleOwner<tpx::handles::Traits<HICON, tpx::handles::Null<HICON>, BOOL, DestroyIcon>>;
using CCursorHandle =
    CHandleOwner<tpx::handles::Traits<HCURSOR, tpx::handles::Null<HCURSOR>, BOOL, DestroyCursor>>;
using CBitmapHandle = CHandleOwner<tpx::handles::GdiTraits<HBITMAP>>;
using CFontHandle = CHandleOwner<tpx::handles::GdiTraits<HFONT>>;
using CBrushHandle = CHandleOwner<tpx::handles::GdiTraits<HBRUSH>>;
using CPenHandle = CHandleOwner<tpx::handles::GdiTraits<HPEN>>;
using CRgnHandle = CHandleOwner<tpx::handles::GdiTraits<HRGN>>;
// Memory device contexts from CreateCompatibleDC / CreateDC.
using CDCHandle = CHandleOwner<tpx::handles::Traits<HDC, tpx::handles::Null<HDC>, BOOL, DeleteDC>>;
using CGlobalHandle =
    CHandleOwner<tpx::handles::Traits<HGLOBAL, tpx::handles::Null<HGLOBAL>, HGLOBAL, GlobalFree>>;
using CHookHandle =
    CHandleOwner<tpx::handles::Traits<HHOOK, tpx::handles::Null<HHOOK>, BOOL, UnhookWindowsHookEx>>;
using CLibraryHandle =
    CHandleOwner<tpx::handles::Traits<HMODULE, tpx::handles::Null<HMODULE>, BOOL, FreeLibrary>>;
using CImageListHandle = CHandleOwner<tpx::handles::ImageListTraits>;
// Memory the shell hands out with CoTaskMemAlloc (item id lists, ...).
using CCoTaskMemHandle = CHandleOwner<tpx::handles::CoTaskMemTraits>;

// One reference to a COM interface.
template <class T>
class CComPtr {
public:
    CComPtr() noexcept = default;
    ~CComPtr() { Reset(); }
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;
    CComPtr(CComPtr&& other) noexcept : m_p(other.Detach()) {}
    CComPtr& operator=(CComPtr&& other) noexcept
    {
        if (this != &other) {
            Reset();
            m_p = other.Detach();
        }
        return *this;
    }

    T* Get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    // Releases the held reference and returns where a new one is to go.
    T** Receive() noexcept
    {
        Reset();
        return &m_p;
    }
    void** ReceiveVoid() noexcept { return reinterpret_cast<void**>(Receive()); }
    T* Detach() noexcept { return std::exchange(m_p, nullptr); }
    void Reset() noexcept
    {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }

private:
    T* m_p = nullptr;
};

// Selects a GDI object into a device context and selects the previous one
// back when the guard goes out of scope.
class CSelectObjectGuard {
public:
    CSelectObjectGuard(HDC dc, HGDIOBJ object) noexcept
        : m_dc(dc), m_previous(dc && object ? SelectObject(dc, object) : nullptr) {}
    ~CSelectObjectGuard()
    {
        if (m_dc && m_previous && m_previous != HGDI_ERROR)
            SelectObject(m_dc, m_previous);
    }
    CSelectObjectGuard(const CSelectObjectGuard&) = delete;
    CSelectObjectGuard& operator=(const CSelectObjectGuard&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};
