#include "controls/HyperlinkLabel.h"

#include <shellapi.h>

#include "framework/App.h"
#include "framework/Gdi.h"
#include "res/resource.h"

namespace {

const char kLinkFailed[] = "Unable to go to link";

// The static control's own line breaking and alignment for its style.
UINT TextFormatOf(LONG style)
{
    UINT format = DT_EXPANDTABS;
    switch (style & SS_TYPEMASK) {
    case SS_CENTER: format |= DT_CENTER | DT_WORDBREAK; break;
    case SS_RIGHT: format |= DT_RIGHT | DT_WORDBREAK; break;
    case SS_LEFTNOWORDWRAP: format |= DT_LEFT; break;
    default: format |= DT_LEFT | DT_WORDBREAK; break;
    }
    if (style & SS_NOPREFIX)
        format |= DT_NOPREFIX;
    return format;
}

}  // namespace

CHyperlinkLabel::CHyperlinkLabel()
    : m_hHandCursor(::LoadCursorA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDC_LINK_HAND)))
{
}

BOOL CHyperlinkLabel::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_PAINT) {
        OnPaint(nullptr);
        *result = 0;
        return TRUE;
    }
    if (message == WM_PRINTCLIENT) {
        OnPaint(reinterpret_cast<HDC>(wParam));
        *result = 0;
        return TRUE;
    }
    if (message == WM_SETCURSOR && OnSetCursor(LOWORD(lParam))) {
        *result = TRUE;
        return TRUE;
    }
    if (message == WM_SETTEXT) {
        // The static control would draw the new text at once in its own
        // plain font; the text is stored and drawn by the next paint.
        *result = ::DefWindowProcA(m_hWnd, message, wParam, lParam);
        // The background is the parent's: it is painted again under the text.
        const HWND parent = ::GetParent(m_hWnd);
        if (!parent) {
            ::InvalidateRect(m_hWnd, nullptr, TRUE);
            return TRUE;
        }
        RECT rect{};
        ::GetWindowRect(m_hWnd, &rect);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
        ::RedrawWindow(parent, &rect, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        return TRUE;
    }
    return CStatic::OnWndMsg(message, wParam, lParam, result);
}

BOOL CHyperlinkLabel::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_COMMAND && HIWORD(wParam) == STN_CLICKED) {
        OnClicked();
        *result = 0;
        return TRUE;
    }
    if (message == WM_CTLCOLORSTATIC) {
        *result = reinterpret_cast<LRESULT>(CtlColor(reinterpret_cast<HDC>(wParam), CTLCOLOR_STATIC));
        return TRUE;
    }
    return CStatic::OnChildNotify(message, wParam, lParam, result);
}

void CHyperlinkLabel::OnClicked()
{
    if (m_strLink.IsEmpty())
        return;
    const auto code = reinterpret_cast<INT_PTR>(
        ::ShellExecuteA(nullptr, nullptr, m_strLink, nullptr, nullptr, SW_SHOWNORMAL));
    if (code <= 32) {
        CWinApp* app = AfxGetApp();
        TpxMessageBoxEx(::GetAncestor(m_hWnd, GA_ROOT), kLinkFailed, app ? app->m_pszAppName : "Tapestrix",
                        MB_OK | MB_ICONHAND, LANG_NEUTRAL);
    }
}

HBRUSH CHyperlinkLabel::CtlColor(HDC dc, UINT)
{
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, m_clrText);

    // The dialog's font, underlined, in our face.
    LOGFONTA font{};
    const auto current = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    if (!current || !::GetObjectA(current, sizeof font, &font))
        ::GetObjectA(::GetStockObject(SYSTEM_FONT), sizeof font, &font);
    font.lfUnderline = TRUE;
    lstrcpynA(font.lfFaceName, m_strFaceName, LF_FACESIZE);
    // Selected before the previous one is let go, which is then no longer
    // in the device context.
    CFontHandle created(::CreateFontIndirectA(&font));
    if (created)
        ::SelectObject(dc, created.Get());
    m_fontPaint = std::move(created);
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

BOOL CHyperlinkLabel::OnSetCursor(UINT hitTest)
{
    // Only when the system asks, not on every move: each change of cursor
    // is a round trip to the display.
    if (hitTest != HTCLIENT || !m_hHandCursor)
        return FALSE;
    ::SetCursor(m_hHandCursor);
    return TRUE;
}

void CHyperlinkLabel::OnPaint(HDC printDC)
{
    CPaintDC dc(this, printDC);
    if (!dc.m_hDC)
        return;
    RECT client{};
    GetClientRect(&client);
    const int saved = ::SaveDC(dc);
    if (const auto font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)))
        ::SelectObject(dc, font);
    // As the static control does: the parent gives the colours, here
    // through the label's own CtlColor, which also selects the font.
    const HWND parent = ::GetParent(m_hWnd);
    const auto brush = reinterpret_cast<HBRUSH>(
        ::SendMessageA(parent ? parent : m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.m_hDC),
                       reinterpret_cast<LPARAM>(m_hWnd)));
    if (brush)
        ::FillRect(dc, &client, brush);
    if (!::IsWindowEnabled(m_hWnd))
        ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
    const CString text = GetWindowText();
    ::DrawTextA(dc, text, -1, &client, TextFormatOf(::GetWindowLongA(m_hWnd, GWL_STYLE)));
    ::RestoreDC(dc, saved);
    // The font is out of the device context again: let it go.
    m_fontPaint.Reset();
}
