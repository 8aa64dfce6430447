// The sheet test programs' shared driver and WM_PRINTCLIENT capture.
#include "SheetDriver.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace tpx::test {

namespace {

struct Driver {
    std::vector<SheetStep> steps;
    size_t next = 0;
    bool busy = false;   // a step that waits pumps this timer's ticks too
};
Driver* g_driver;

void CALLBACK DriverTick(HWND, UINT, UINT_PTR, DWORD)
{
    const HWND sheet = SettingsSheetOf(GetCurrentProcessId());
    if (!g_driver || g_driver->busy || !sheet || g_driver->next > g_driver->steps.size())
        return;
    g_driver->busy = true;
    if (g_driver->next < g_driver->steps.size())
        g_driver->steps[g_driver->next](sheet);
    else   // once
        PostMessageA(sheet, WM_CLOSE, 0, 0);
    ++g_driver->next;
    g_driver->busy = false;
}

}  // namespace

std::string TextOf(HWND hwnd)
{
    char text[MAX_PATH + 64] = "";
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

HWND PageOf(HWND sheet, int index)
{
    return reinterpret_cast<HWND>(SendMessageA(sheet, PSM_INDEXTOHWND, static_cast<WPARAM>(index), 0));
}

void PlayInSheet(std::vector<SheetStep> steps, const std::function<void()>& open)
{
    Driver driver{std::move(steps)};
    g_driver = &driver;
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, DriverTick);
    open();
    KillTimer(nullptr, timer);
    g_driver = nullptr;
    EXPECT_LE(driver.steps.size(), driver.next) << "the sheet closed before its steps ran";
}

PrintedClient::PrintedClient(HWND window, COLORREF background)
{
    RECT client{};
    GetClientRect(window, &client);
    width = client.right;
    height = client.bottom;
    HDC screen = GetDC(nullptr);
    m_bitmap.Reset(CreateCompatibleBitmap(screen, width, height));
    m_dc.Reset(CreateCompatibleDC(screen));
    ReleaseDC(nullptr, screen);
    SelectObject(m_dc.Get(), m_bitmap.Get());
    SetDCBrushColor(m_dc.Get(), background);
    FillRect(m_dc.Get(), &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(m_dc.Get()), PRF_CLIENT);
}

int PrintedClient::Count(const RECT& r, COLORREF colour) const
{
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            n += At(x, y) == colour;
    return n;
}

}  // namespace tpx::test
