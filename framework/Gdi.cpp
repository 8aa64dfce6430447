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
