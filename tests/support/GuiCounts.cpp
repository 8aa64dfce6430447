#include "GuiCounts.h"

#include <windows.h>

#include <cstddef>
#include <cstring>

namespace tpx::test {
namespace {

// Wine's GDI handle table: 0x10000 entries of 24 bytes whose type byte
// (offset 14) is non-zero while the handle lives.
const size_t kGdiEntries = 0x10000;
const size_t kGdiEntrySize = 24;
const size_t kGdiTypeOffset = 14;
// PEB.GdiSharedHandleTable on x64 (TEB.ProcessEnvironmentBlock at 0x60).
const size_t kPebGdiTableOffset = 0xF8;

const BYTE* GdiHandleTable()
{
#if defined(_WIN64)
    // TEB.ProcessEnvironmentBlock, read through gs as NtCurrentTeb would
    // (its inline form trips the compiler's array-bounds check).
    const BYTE* peb = nullptr;
    __asm__("movq %%gs:0x60, %0" : "=r"(peb));
    return *reinterpret_cast<const BYTE* const*>(peb + kPebGdiTableOffset);
#else
    return nullptr;
#endif
}

BOOL CALLBACK CountChild(HWND, LPARAM count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM count)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId()) {
        ++*reinterpret_cast<int*>(count);
        EnumChildWindows(hwnd, CountChild, count);
    }
    return TRUE;
}

}  // namespace

int CountGdiObjects()
{
    if (const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS))
        return static_cast<int>(reported);
    const BYTE* table = GdiHandleTable();
    if (!table)
        return -1;
    int live = 0;
    for (size_t i = 0; i < kGdiEntries; ++i)
        if (table[i * kGdiEntrySize + kGdiTypeOffset])
            ++live;
    return live;
}

int CountUserObjects()
{
    int windows = 0;
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    // Message-only windows are not top-level windows EnumWindows lists.
    for (HWND hwnd = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); hwnd;
         hwnd = FindWindowExA(HWND_MESSAGE, hwnd, nullptr, nullptr))
        CountTopLevel(hwnd, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

}  // namespace tpx::test
