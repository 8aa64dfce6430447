#include "TrayView.h"

#include <cstdlib>
#include <vector>

#include "TestSupport.h"

namespace tpx::test {

namespace {

// A 32-bit top-down picture read back as COLORREF-ordered pixels.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> bits;   // 0x00RRGGBB
    DWORD At(int x, int y) const { return bits[static_cast<size_t>(y * width + x)]; }
};

Pixels Capture(HDC source, int x, int y, int width, int height, DWORD fill = 0,
               const std::function<void(HDC)>& draw = nullptr)
{
    Pixels p;
    p.width = width;
    p.height = height;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, dib);
    auto* raw = static_cast<DWORD*>(bits);
    for (int i = 0; i < width * height; ++i)
        raw[i] = fill;
    if (source)
        BitBlt(dc, 0, 0, width, height, source, x, y, SRCCOPY);
    if (draw)
        draw(dc);
    GdiFlush();
    p.bits.assign(raw, raw + width * height);
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
    return p;
}

bool Near(DWORD a, DWORD b)
{
    for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 24)
            return false;
    }
    return true;
}

}  // namespace

HWND TrayWindow()
{
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    return tray && IsWindowVisible(tray) ? tray : nullptr;
}

bool TrayShowsIcon(HICON icon)
{
    HWND tray = TrayWindow();
    if (!tray || !icon)
        return false;
    const int cx = GetSystemMetrics(SM_CXSMICON);
    const int cy = GetSystemMetrics(SM_CYSMICON);
    const Pixels image = Capture(nullptr, 0, 0, cx, cy, 0, [&](HDC dc) {
        DrawIconEx(dc, 0, 0, icon, cx, cy, 0, nullptr, DI_NORMAL);
    });
    const Pixels mask = Capture(nullptr, 0, 0, cx, cy, 0, [&](HDC dc) {
        DrawIconEx(dc, 0, 0, icon, cx, cy, 0, nullptr, DI_MASK);
    });

    RECT rect;
    GetWindowRect(tray, &rect);
    HDC screen = GetDC(nullptr);
    const Pixels shown = Capture(screen, rect.left, rect.top, rect.right - rect.left,
                                 rect.bottom - rect.top);
    ReleaseDC(nullptr, screen);

    int opaque = 0;
    for (DWORD m : mask.bits)
        opaque += (m & 0xFFFFFF) == 0;
    if (opaque < cx * cy / 4)
        return false;   // nothing recognisable to look for
    for (int y = 0; y + cy <= shown.height; ++y) {
        for (int x = 0; x + cx <= shown.width; ++x) {
            bool same = true;
            for (int j = 0; j < cy && same; ++j)
                for (int i = 0; i < cx && same; ++i)
                    if ((mask.At(i, j) & 0xFFFFFF) == 0)
                        same = Near(image.At(i, j), shown.At(x + i, y + j));
            if (same)
                return true;
        }
    }
    return false;
}

bool FindTrayIcon(const std::function<bool()>& reached, POINT* where)
{
    HWND tray = TrayWindow();
    if (!tray)
        return false;
    RECT client;
    GetClientRect(tray, &client);
    // Icons sit side by side in small-icon-sized places; probe each place's
    // middle, right to left, where the shell puts them.
    const int step = GetSystemMetrics(SM_CXSMICON) + 4;
    for (int x = client.right - step / 2; x > client.right / 2; x -= step) {
        const POINT point{x, (client.bottom - client.top) / 2};
        ClickTray(point, WM_MOUSEMOVE);
        PumpMessages(150);
        if (reached()) {
            *where = point;
            return true;
        }
    }
    return false;
}

void ClickTray(POINT where, UINT mouseMessage)
{
    if (HWND tray = TrayWindow())
        PostMessageA(tray, mouseMessage, 0, MAKELPARAM(where.x, where.y));
}

}  // namespace tpx::test
