#include "GuiCounts.h"

#include <windows.h>

#include <cstdint>

namespace tpx::test {

int CountGdiObjects()
{
    // 64-bit layout: PEB.GdiSharedHandleTable at 0xF8; entries of 24 bytes
    // (kernel object, owner, unique word with the type at byte 14, user
    // pointer); a live entry has a non-zero type.
    using GetPeb = const BYTE*(WINAPI*)();
    const auto getPeb = reinterpret_cast<GetPeb>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetCurrentPeb")));
    const BYTE* peb = getPeb ? getPeb() : nullptr;
    const auto* table = peb ? *reinterpret_cast<const BYTE* const*>(peb + 0xF8) : nullptr;
    if (!table) {
        const DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
        return count ? static_cast<int>(count) : -1;
    }
    const int kEntries = 0x10000, kEntrySize = 24, kTypeOffset = 14;
    int live = 0;
    for (int i = 0; i < kEntries; ++i)
        if (table[i * kEntrySize + kTypeOffset])
            ++live;
    return live;
}

}  // namespace tpx::test
