// What every settings-sheet test program shares: finding the open sheet's
// pages, playing steps from inside the sheet's own modal loop (one step
// per thread-timer tick, the sheet closed after the last), and a window's
// client area rendered through WM_PRINTCLIENT into a memory bitmap.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Handles.h"

namespace tpx::test {

using SheetStep = std::function<void(HWND sheet)>;

std::string TextOf(HWND hwnd);

HWND PageOf(HWND sheet, int index);

// Runs `open` (which must enter the sheet's modal loop) and plays `steps`
// in that loop, never one inside another while a step pumps messages.
// Records a failure when the sheet closed before every step ran.
void PlayInSheet(std::vector<SheetStep> steps, const std::function<void()>& open);

// The client area of `window` painted over `background` into a memory
// bitmap of the client's size.
class PrintedClient {
public:
    PrintedClient(HWND window, COLORREF background);

    COLORREF At(int x, int y) const { return GetPixel(m_dc.Get(), x, y); }
    // How many pixels of the rectangle have `colour`.
    int Count(const RECT& r, COLORREF colour) const;
    int width = 0, height = 0;

private:
    CBitmapHandle m_bitmap;
    CDCHandle m_dc;   // deleted first, which lets the bitmap go
};

}  // namespace tpx::test
