#include "framework/Controls.h"

#include <cstdlib>

#include "framework/App.h"

CSubclassWnd::~CSubclassWnd()
{
    // A control outlived by its object's owner: let it live on, unlinked.
    if (m_hWnd && ::IsWindow(m_hWnd))
        UnsubclassWindow();
}

BOOL CSubclassWnd::SubclassWindow(HWND hWnd)
{
    if (m_hWnd || !hWnd || !::IsWindow(hWnd) || FromHandlePermanent(hWnd))
        return FALSE;
    LinkWindow(hWnd);
    PreSubclassWindow();
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
    if (!m_pfnSuper) {
        UnlinkWindow();
        return FALSE;
    }
    return TRUE;
}

BOOL CSubclassWnd::SubclassDlgItem(UINT id, HWND parent)
{
    return SubclassWindow(parent ? ::GetDlgItem(parent, static_cast<int>(id)) : nullptr);
}

HWND CSubclassWnd::UnsubclassWindow()
{
    HWND hWnd = m_hWnd;
    if (!hWnd)
        return nullptr;
    if (m_pfnSuper)
        ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
    UnlinkWindow();
    return hWnd;
}

LRESULT CSubclassWnd::Default()
{
    return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam);
}

LRESULT CSubclassWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!m_pfnSuper)
        return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
    return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CSubclassWnd::SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Only windows subclassed here carry this procedure, so the linked
    // object is one of ours.
    auto* wnd = static_cast<CSubclassWnd*>(FromHandlePermanent(hWnd));
    if (!wnd)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    const MSG outer = wnd->m_current;
    wnd->m_current = MSG{hWnd, message, wParam, lParam, 0, {}};
    LRESULT result = 0;
    if (message == WM_NCDESTROY) {
        // The window's own procedure cleans up last, with its procedure back.
        const WNDPROC super = wnd->m_pfnSuper;
        wnd->UnsubclassWindow();
        wnd->PostNcDestroy();
        return super ? ::CallWindowProcA(super, hWnd, message, wParam, lParam)
                     : ::DefWindowProcA(hWnd, message, wParam, lParam);
    }
    result = wnd->WindowProc(message, wParam, lParam);
    wnd->m_current = outer;
    return result;
}

BOOL CButton::Create(LPCSTR text, DWORD style, DWORD exStyle, const RECT& rect, HWND parent, UINT id)
{
    if (m_hWnd)
        return FALSE;
    HWND hWnd = ::CreateWindowExA(exStyle, "BUTTON", text, style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                  AfxGetInstanceHandle(), nullptr);
    if (!hWnd)
        return FALSE;
    if (!SubclassWindow(hWnd)) {
        ::DestroyWindow(hWnd);
        return FALSE;
    }
    return TRUE;
}

BOOL CFont::CreateFontIndirect(const LOGFONTA& font)
{
    m_font.Reset(::CreateFontIndirectA(&font));
    return m_font.IsValid();
}

BOOL CFont::CreatePointFontIndirect(const LOGFONTA& font, HDC dc)
{
    HDC screen = dc ? dc : ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (!dc && screen)
        ::ReleaseDC(nullptr, screen);
    return CreatePointFontForDpi(font, static_cast<UINT>(dpi));
}

BOOL CFont::CreatePointFontForDpi(const LOGFONTA& font, UINT dpi)
{
    // Tenths of a point to device pixels: a negative height asks for the
    // character height, as a point size means.
    LOGFONTA scaled = font;
    scaled.lfHeight = -::MulDiv(std::abs(font.lfHeight), static_cast<int>(dpi), 720);
    return CreateFontIndirect(scaled);
}
