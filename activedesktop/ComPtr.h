// CComPtr: the one owner of a COM interface pointer (Release), ATL-style but
// only what this folder needs.
#pragma once

#include <unknwn.h>

template <class T>
class CComPtr {
public:
    CComPtr() = default;
    ~CComPtr() { Release(); }
    CComPtr(CComPtr&& other) noexcept : p(other.p) { other.p = nullptr; }
    CComPtr& operator=(CComPtr&& other) noexcept
    {
        if (p != other.p) {
            Release();
            p = other.p;
            other.p = nullptr;
        }
        return *this;
    }
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;

    void Release()
    {
        if (p)
            p->Release();
        p = nullptr;
    }
    T* operator->() const { return p; }
    T* Get() const { return p; }
    // For out-parameters: drops what was held first.
    T** operator&()
    {
        Release();
        return &p;
    }
    explicit operator bool() const { return p != nullptr; }

private:
    T* p = nullptr;
};
