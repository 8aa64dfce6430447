#include "GuiCounts.h"

#include <winternl.h>

#include <cstddef>
#include <vector>

namespace tpx::test {
namespace {

// Wine's GDI handle table: 0x10000 entries of 24 bytes whose type byte
// (offset 14) is non-zero while the handle lives.
const size_t kGdiEntries = 0x10000;
const size_t kGdiEntrySize = 24;
const size_t kGdiTypeOffset = 14;
// PEB.GdiSharedHandleTable in a 64-bit PEB.
const size_t kPebGdiTableOffset = 0xF8;

}  // namespace

int CountGdiObjects(HANDLE process)
{
    if (const DWORD reported = GetGuiResources(process, GR_GDIOBJECTS))
        return static_cast<int>(reported);
    using QueryFn = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    ULONG_PTR table = 0;
    if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
        !ReadProcessMemory(process, reinterpret_cast<BYTE*>(basic.PebBaseAddress) + kPebGdiTableOffset, &table,
                           sizeof table, nullptr) || !table)
        return -1;
    std::vector<BYTE> entries(kGdiEntries * kGdiEntrySize);
    SIZE_T read = 0;
    ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(), entries.size(), &read);
    int live = 0;
    for (size_t i = 0; i + kGdiEntrySize <= read; i += kGdiEntrySize)
        live += entries[i + kGdiTypeOffset] != 0;
    return read ? live : -1;
}

int CountUserObjects(DWORD pid)
{
    struct Count {
        DWORD pid;
        int windows;
    } count{pid, 0};
    const WNDENUMPROC topLevel = [](HWND hwnd, LPARAM param) -> BOOL {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == reinterpret_cast<Count*>(param)->pid) {
            ++reinterpret_cast<Count*>(param)->windows;
            EnumChildWindows(
                hwnd,
                [](HWND, LPARAM p) -> BOOL {
                    ++reinterpret_cast<Count*>(p)->windows;
                    return TRUE;
                },
                param);
        }
        return TRUE;
    };
    EnumWindows(topLevel, reinterpret_cast<LPARAM>(&count));
    // Message-only windows are not top-level windows EnumWindows lists.
    for (HWND hwnd = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); hwnd;
         hwnd = FindWindowExA(HWND_MESSAGE, hwnd, nullptr, nullptr))
        topLevel(hwnd, reinterpret_cast<LPARAM>(&count));
    return count.windows;
}

}  // namespace tpx::test
