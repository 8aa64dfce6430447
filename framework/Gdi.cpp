#include "framework/Gdi.h"

#include "framework/Wnd.h"

BOOL CDC::DrawIcon(int x, int y, HICON icon)
{
    return m_hDC && icon && ::DrawIcon(m_hDC, x, y, icon);
}

CPaintDC::CPaintDC(CWnd* wnd, HDC printDC) : m_hWnd(wnd ? wnd->GetSafeHwnd() : nullptr)
{
    if (printDC) {
        m_hDC = printDC;
        if (m_hWnd)
            ::GetClientRect(m_hWnd, &m_ps.rcPaint);
        m_ps.hdc = printDC;
        return;
    }
    if (m_hWnd) {
        m_hDC = ::BeginPaint(m_hWnd, &m_ps);
        m_bBegun = TRUE;
    }
}

CPaintDC::~CPaintDC()
{
    if (m_bBegun)
        ::EndPaint(m_hWnd, &m_ps);
}

UINT GetWindowDpi(HWND window)
{
    // Looked up, not linked: systems before per-monitor DPI lack the call.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (window && getDpiForWindow) {
        if (const UINT dpi = getDpiForWindow(window))
            return dpi;
    }
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}
