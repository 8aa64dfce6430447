// What every settings-sheet test program shares: finding the open sheet and
// its pages, playing steps from inside the sheet's own modal loop (one step
// per thread-timer tick, the sheet closed after the last), and a window's
// client area rendered through WM_PRINTCLIENT into a memory bitmap.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tpx::test {

using SheetStep = std::function<void(HWND sheet)>;

std::string TextOf(HWND hwnd);
// Puts `text` on the clipboard, as another program's copy would.
bool CopyToClipboard(HWND owner, const std::string& text);

// The visible "Tapestrix - ..." sheets of a process.
std::vector<HWND> OpenSheets(DWORD pid = GetCurrentProcessId());
HWND PageOf(HWND sheet, int index);
int ActivePageIndex(HWND sheet);

// Runs `open` (which must enter the sheet's modal loop) and plays `steps`
// in that loop, never one inside another while a step pumps messages.
// Returns false (and records a failure) when the sheet closed before every
// step ran.
bool PlayInSheet(std::vector<SheetStep> steps, const std::function<void()>& open);

// The client area of `window` painted over `background` into a memory
// bitmap of the client's size.
class PrintedClient {
public:
    PrintedClient(HWND window, COLORREF background);
    ~PrintedClient();
    PrintedClient(const PrintedClient&) = delete;
    PrintedClient& operator=(const PrintedClient&) = delete;

    COLORREF At(int x, int y) const { return GetPixel(m_dc, x, y); }
    // How many pixels of the rectangle, or of row y between x0 and x1
    // (excluded), have `colour`.
    int Count(const RECT& r, COLORREF colour) const;
    int CountInRow(int y, int x0, int x1, COLORREF colour) const { return Count(RECT{x0, y, x1, y + 1}, colour); }
    int width = 0, height = 0;

private:
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
};

}  // namespace tpx::test
