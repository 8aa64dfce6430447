#include "controls/CaptionFrame.h"

#include "framework/Gdi.h"
#include "framework/Handles.h"

namespace {

LOGFONTA DefaultCaptionFont()
{
    LOGFONTA font{};
    font.lfHeight = 80;
    font.lfWeight = FW_NORMAL;
    font.lfOutPrecision = OUT_STROKE_PRECIS;
    font.lfClipPrecision = CLIP_STROKE_PRECIS;
    font.lfQuality = PROOF_QUALITY;
    lstrcpynA(font.lfFaceName, "MS Sans Serif", LF_FACESIZE);
    return font;
}

}  // namespace

LOGFONTA PageCaptionFont()
{
    LOGFONTA font = DefaultCaptionFont();
    font.lfHeight = 90;
    font.lfWeight = FW_BOLD;
    lstrcpynA(font.lfFaceName, "Arial", LF_FACESIZE);
    return font;
}

CCaptionFrame::CCaptionFrame()
    : m_crShadow(::GetSysColor(COLOR_BTNSHADOW)),
      m_crHighlight(::GetSysColor(COLOR_BTNHIGHLIGHT)),
      m_crShadowDisabled(::GetSysColor(COLOR_BTNSHADOW)),
      m_crHighlightDisabled(::GetSysColor(COLOR_BTNHIGHLIGHT))
{
    SetCaptionFont(DefaultCaptionFont());
}

void CCaptionFrame::SetCaptionFont(const LOGFONTA& font)
{
    m_captionFont = font;
    auto created = std::make_unique<CFont>();
    if (m_nDpi)
        created->CreatePointFontForDpi(font, m_nDpi);
    else
        created->CreatePointFontIndirect(font);
    m_pFont = std::move(created);
}

void CCaptionFrame::SetDpi(UINT dpi)
{
    if (dpi == m_nDpi)
        return;
    m_nDpi = dpi;
    SetCaptionFont(m_captionFont);
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CCaptionFrame::SetCaption(CString caption, BOOL redraw)
{
    m_strCaption = caption;
    if (m_hWnd) {
        // The button would draw its own caption right away.
        ::DefWindowProcA(m_hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(static_cast<LPCSTR>(m_strCaption)));
        if (redraw)
            ::InvalidateRect(m_hWnd, nullptr, TRUE);
    }
}

void CCaptionFrame::PreSubclassWindow()
{
    m_strCaption = GetWindowText();
    const LONG style = ::GetWindowLongA(m_hWnd, GWL_STYLE);
    switch (style & 0x300) {
    case BS_RIGHT: m_nAlignment = BS_RIGHT; break;
    case BS_CENTER: m_nAlignment = BS_CENTER; break;
    default: m_nAlignment = BS_LEFT; break;
    }

    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    POINT topLeft{window.left, window.top};
    POINT bottomRight{window.right, window.bottom};
    ::ScreenToClient(m_hWnd, &topLeft);
    ::ScreenToClient(m_hWnd, &bottomRight);
    m_rectFrame = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    const LONG exStyle = ::GetWindowLongA(m_hWnd, GWL_EXSTYLE);
    if (exStyle & WS_EX_DLGMODALFRAME) {
        ::InflateRect(&m_rectFrame, -2 * ::GetSystemMetrics(SM_CXEDGE), -2 * ::GetSystemMetrics(SM_CYEDGE));
        m_rectFrame.left -= 1;
    }
    if (exStyle & WS_EX_CLIENTEDGE) {
        ::InflateRect(&m_rectFrame, -(::GetSystemMetrics(SM_CXEDGE) + 1), -(::GetSystemMetrics(SM_CYEDGE) + 1));
        m_rectFrame.left -= 1;
        if (exStyle & WS_EX_DLGMODALFRAME)
            m_rectFrame.right += 1;
    }
    if (exStyle & WS_EX_STATICEDGE) {
        ::InflateRect(&m_rectFrame, -2 * ::GetSystemMetrics(SM_CXBORDER), -2 * ::GetSystemMetrics(SM_CYBORDER));
        m_rectFrame.left -= 1;
    }
    m_bHideCaption = (exStyle & (WS_EX_MDICHILD | WS_EX_TOOLWINDOW)) != 0;
}

BOOL CCaptionFrame::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_PAINT || message == WM_PRINTCLIENT) {
        OnPaint(message == WM_PRINTCLIENT ? reinterpret_cast<HDC>(wParam) : nullptr);
        *result = 0;
        return TRUE;
    }
    switch (message) {
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_SETFONT:
    case BM_SETSTATE:
    case BM_SETCHECK:
    case WM_UPDATEUISTATE:
        *result = Default();
        if (message == WM_SETTEXT)
            m_strCaption = GetWindowText();
        RepaintOverDefault();
        return TRUE;
    default:
        return CButton::OnWndMsg(message, wParam, lParam, result);
    }
}

void CCaptionFrame::RepaintOverDefault()
{
    HWND parent = ::GetParent(m_hWnd);
    if (!parent || !::IsWindowVisible(m_hWnd))
        return;
    RECT rect{};
    ::GetWindowRect(m_hWnd, &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    ::RedrawWindow(parent, &rect, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CCaptionFrame::OnPaint(HDC printDC)
{
    CPaintDC dc(this, printDC);
    HDC hdc = dc.GetSafeHdc();
    if (!hdc)
        return;
    const int saved = ::SaveDC(hdc);

    CString caption;
    caption.Format(" %s ", static_cast<LPCSTR>(m_strCaption));
    SIZE initial{};
    ::GetTextExtentPoint32A(hdc, caption, caption.GetLength(), &initial);
    const int h = initial.cy;
    HGDIOBJ oldFont = ::SelectObject(hdc, m_pFont && m_pFont->GetSafeHandle()
                                              ? static_cast<HGDIOBJ>(m_pFont->GetSafeHandle())
                                              : ::GetCurrentObject(hdc, OBJ_FONT));
    SIZE extent{};
    ::GetTextExtentPoint32A(hdc, caption, caption.GetLength(), &extent);
    const int W = extent.cx;
    const int H = extent.cy;

    const int L = m_rectFrame.left, T = m_rectFrame.top, R = m_rectFrame.right, B = m_rectFrame.bottom;
    const int w = m_nLineWidth;
    const int y = T + h / 2 - 1;
    int x0 = L + m_nIndent;
    int x1 = x0 + W;
    if (m_nAlignment == BS_RIGHT) {
        x1 = R - m_nIndent;
        x0 = x1 - W;
    } else if (m_nAlignment == BS_CENTER) {
        x0 = (R - L - W) / 2;
        x1 = x0 + W;
    }

    const BOOL enabled = ::IsWindowEnabled(m_hWnd);
    LOGBRUSH darkBrush{BS_SOLID, enabled ? m_crShadow : m_crShadowDisabled, 0};
    LOGBRUSH lightBrush{BS_SOLID, enabled ? m_crHighlight : m_crHighlightDisabled, 0};
    const DWORD penStyle = PS_GEOMETRIC | PS_ENDCAP_SQUARE | PS_JOIN_ROUND;
    CPenHandle dark(::ExtCreatePen(penStyle, static_cast<DWORD>(w), &darkBrush, 0, nullptr));
    CPenHandle light(::ExtCreatePen(penStyle, static_cast<DWORD>(w), &lightBrush, 0, nullptr));
    HGDIOBJ oldPen = ::SelectObject(hdc, dark.Get());
    const POINT darkLine[] = {{x0, y}, {L, y}, {L, B - w}, {R - w, B - w}, {R - w, y}, {x1, y}};
    ::Polyline(hdc, darkLine, 6);
    ::SelectObject(hdc, light.Get());
    const POINT lightLeft[] = {{x0, y + w}, {L + w, y + w}, {L + w, B - 2 * w}};
    const POINT lightBottom[] = {{L + w, B}, {R, B}, {R, y + w}};
    const POINT lightRight[] = {{R - 2 * w, y + w}, {x1, y + w}};
    ::Polyline(hdc, lightLeft, 3);
    ::Polyline(hdc, lightBottom, 3);
    ::Polyline(hdc, lightRight, 2);

    const COLORREF oldColour = ::SetTextColor(hdc, m_crText);
    ::SetBkMode(hdc, TRANSPARENT);
    if (!caption.IsEmpty() && !m_bHideCaption) {
        if (enabled) {
            RECT text{x0, y - m_nCaptionOffset, x1, y};
            ::DrawTextA(hdc, caption, caption.GetLength(), &text, DT_SINGLELINE | DT_VCENTER | DT_NOCLIP);
        } else {
            ::DrawStateA(hdc, nullptr, nullptr, reinterpret_cast<LPARAM>(static_cast<LPCSTR>(caption)),
                         static_cast<WPARAM>(caption.GetLength()), x0, y - H / 2, W, H,
                         DST_PREFIXTEXT | DSS_DISABLED);
        }
    }

    ::SetTextColor(hdc, oldColour);
    ::SelectObject(hdc, oldPen);
    ::SelectObject(hdc, oldFont);
    ::RestoreDC(hdc, saved);
}
