#include "sheet/TapestrixSheet.h"

#include <shellapi.h>

#include <algorithm>

#include "controls/CaptionFrame.h"
#include "framework/App.h"
#include "framework/Gdi.h"
#include "framework/ProgramPath.h"
#include "res/resource.h"

namespace {

const char kHelpNotLaunched[] = "Unable to launch help file";
const char kProductName[] = "Tapestrix";
// The property sheet's standard tab control and Apply button.
const int kTabControlId = 0x3020;
const int kApplyNowId = 0x3021;
// Room beside a tab's icon and title: the control's padding on both sides
// and between them, with a pixel to spare.
const int kTabPadding = 20;
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

LOGFONTA ArialFont(LONG height, LONG weight)
{
    LOGFONTA font{};
    font.lfHeight = height;
    font.lfWeight = weight;
    lstrcpynA(font.lfFaceName, "Arial", LF_FACESIZE);
    return font;
}

// Every child of `parent`, and the children of its pages (dialogs), moved
// and sized by to/from: laid out for another DPI.
void ScaleChildren(HWND parent, int to, int from)
{
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT r{};
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
        ::MoveWindow(child, ::MulDiv(r.left, to, from), ::MulDiv(r.top, to, from), ::MulDiv(r.right - r.left, to, from),
                     ::MulDiv(r.bottom - r.top, to, from), FALSE);
        char kind[16] = "";
        ::GetClassNameA(child, kind, sizeof(kind));
        if (lstrcmpA(kind, "#32770") == 0)
            ScaleChildren(child, to, from);
    }
}

void SetFontOnChildren(HWND parent, HFONT font)
{
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        ::SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

// A page's controls in the sheet's font, and its frames' captions for the
// sheet's monitor, which need not be the one the screen's point sizes are
// made for.
void ApplyLookToPage(HWND page, HFONT font, UINT dpi)
{
    for (HWND child = ::GetWindow(page, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        ::SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        if (auto* frame = dynamic_cast<CCaptionFrame*>(CWnd::FromHandlePermanent(child)))
            frame->SetDpi(dpi);
    }
}

}  // namespace

void SheetMessageBox(HWND window, LPCSTR text)
{
    HWND owner = window ? ::GetAncestor(window, GA_ROOT) : nullptr;
    CWinApp* app = AfxGetApp();
    TpxMessageBoxEx(owner, text, app ? app->m_pszAppName : kProductName, MB_OK | MB_ICONEXCLAMATION,
                    LANG_NEUTRAL);
}

CTapestrixSheet::CTapestrixSheet(LPCSTR caption, CWnd* parent, UINT selectPage)
    : CPropertySheet(caption, parent, selectPage),
      m_hSheetIcon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_nDpi(GetWindowDpi(nullptr))
{
    // The standard Help button then takes its place in the button row,
    // where "Help Topics" is put beside it.
    m_psh.dwFlags |= PSH_HASHELP;
    CreateFonts();
}

void CTapestrixSheet::CreateFonts()
{
    // Sizes are given for 96 DPI; the sheet's monitor may have more.
    m_fontTitle.DeleteObject();
    m_fontSheet.DeleteObject();
    m_fontTitle.CreateFontIndirect(ArialFont(ScaleForDpi(24, m_nDpi), FW_BOLD));
    LOGFONTA sheet = ArialFont(ScaleForDpi(14, m_nDpi), FW_NORMAL);
    sheet.lfCharSet = ANSI_CHARSET;
    sheet.lfOutPrecision = OUT_STROKE_PRECIS;
    sheet.lfClipPrecision = CLIP_STROKE_PRECIS;
    sheet.lfQuality = PROOF_QUALITY;
    m_fontSheet.CreateFontIndirect(sheet);
}

BOOL CTapestrixSheet::OnInitDialog()
{
    const UINT dpi = GetWindowDpi(m_hWnd);
    if (dpi != m_nDpi) {
        m_nDpi = dpi;
        CreateFonts();
    }
    SetupTabControl();
    const BOOL result = CPropertySheet::OnInitDialog();
    SetIcon(m_hSheetIcon, TRUE);
    SetIcon(m_hSheetIcon, FALSE);
    for (int id : {IDOK, IDHELP, IDCANCEL, kApplyNowId})
        ::ShowWindow(GetDlgItem(id), SW_HIDE);
    CreateHelpButton();
    ApplySheetFont();
    SetTabIcons();
    FitSheetToPages();
    FitTabsToTitles();
    CenterOnWorkArea();
    // Its own taskbar button, although it has no parent.
    ::SetWindowLongA(m_hWnd, GWL_EXSTYLE, ::GetWindowLongA(m_hWnd, GWL_EXSTYLE) | WS_EX_APPWINDOW);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return result;
}

void CTapestrixSheet::CenterOnWorkArea()
{
    // Opened from the notification area, the sheet has no window to stand
    // over: it comes up in the middle of the screen the pointer is on, its
    // caption on screen even when it is larger.
    POINT pointer{};
    ::GetCursorPos(&pointer);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!::GetMonitorInfoA(::MonitorFromPoint(pointer, MONITOR_DEFAULTTOPRIMARY), &info))
        return;
    const RECT& area = info.rcWork;
    RECT r{};
    ::GetWindowRect(m_hWnd, &r);
    const int x = std::max<int>(area.left, area.left + (area.right - area.left - (r.right - r.left)) / 2);
    const int y = std::max<int>(area.top, area.top + (area.bottom - area.top - (r.bottom - r.top)) / 2);
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CTapestrixSheet::SetupTabControl()
{
    HWND tab = GetDlgItem(kTabControlId);
    if (!tab)
        return;
    ::SetWindowLongA(tab, GWL_STYLE,
                     ::GetWindowLongA(tab, GWL_STYLE) | TCS_BUTTONS | TCS_FLATBUTTONS | TCS_MULTILINE |
                         TCS_FIXEDWIDTH);
    const DWORD exStyle = static_cast<DWORD>(::SendMessageA(tab, TCM_GETEXTENDEDSTYLE, 0, 0));
    ::SendMessageA(tab, TCM_SETEXTENDEDSTYLE, 0, exStyle | TCS_EX_FLATSEPARATORS);
    ::SendMessageA(tab, TCM_SETITEMSIZE, 0, MAKELPARAM(ScaleForDpi(130, m_nDpi), ScaleForDpi(30, m_nDpi)));
}

void CTapestrixSheet::FitSheetToPages()
{
    // The common controls size the sheet for the largest page template in
    // the units of the sheet's own dialog font, but each page lays itself
    // out in its template's font, which is the same on every page: the
    // sheet grows until the largest template fits in that font, measured
    // on the page it opened with.  The templates keep a margin around their
    // controls, and no other page has to be made before the user opens it.
    const CPropertyPage* shown = GetPage(GetActiveIndex());
    HWND hwnd = shown ? shown->GetSafeHwnd() : nullptr;
    if (!hwnd)
        return;
    RECT largest{};
    for (int i = 0; i < GetPageCount(); ++i) {
        SIZE size{};
        if (GetPage(i)->GetTemplateSize(&size)) {
            largest.right = std::max<LONG>(largest.right, size.cx);
            largest.bottom = std::max<LONG>(largest.bottom, size.cy);
        }
    }
    ::MapDialogRect(hwnd, &largest);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    int dx = largest.right - client.right, dy = largest.bottom - client.bottom;
    if (dx <= 0 && dy <= 0)
        return;
    auto grow = [](HWND hwnd, int x, int y) {
        RECT r{};
        ::GetWindowRect(hwnd, &r);
        ::SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left + x, r.bottom - r.top + y,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    dx = std::max(dx, 0);
    dy = std::max(dy, 0);
    grow(m_hWnd, dx, dy);
    grow(GetDlgItem(kTabControlId), dx, dy);
    grow(hwnd, dx, dy);
    // The button row (hidden buttons too: the name and Help Topics are
    // placed from them) moves with the sheet's corner.
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const int id = ::GetDlgCtrlID(child);
        if (id != IDOK && id != IDCANCEL && id != IDHELP && id != kApplyNowId)
            continue;
        RECT r{};
        ::GetWindowRect(child, &r);
        ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
        ::SetWindowPos(child, nullptr, r.left + dx, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void CTapestrixSheet::SetTabIcons()
{
    HWND tab = GetDlgItem(kTabControlId);
    if (!tab)
        return;
    // The control numbered the icons in page order, leaving out pages
    // without one; this list keeps those numbers.
    const int size = ScaleForDpi(16, m_nDpi);
    CImageListHandle icons(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, GetPageCount(), 0));
    if (!icons)
        return;
    for (int i = 0; i < GetPageCount(); ++i) {
        const CPropertyPage* page = GetPage(i);
        if (!page || !(page->m_psp.dwFlags & PSP_USEHICON) || !page->m_psp.hIcon)
            continue;
        // From the resource, so the drawing nearest the size is the one
        // scaled, not the 32-pixel one already loaded.
        const CIconHandle icon(static_cast<HICON>(
            ::CopyImage(page->m_psp.hIcon, IMAGE_ICON, size, size, LR_COPYFROMRESOURCE)));
        if (!icon || ImageList_AddIcon(icons.Get(), icon.Get()) < 0)
            return;
    }
    ::SendMessageA(tab, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(icons.Get()));
    // The list it replaces is the control's own (freed with the sheet) or
    // the one made for the DPI before, which goes now.
    m_tabIcons = std::move(icons);
    ::InvalidateRect(tab, nullptr, TRUE);
}

void CTapestrixSheet::FitTabsToTitles()
{
    // One width for every tab, but never less than the longest title with
    // its icon takes in the sheet's font: a cut title names no page.
    HWND tab = GetDlgItem(kTabControlId);
    HDC dc = tab ? ::GetDC(tab) : nullptr;
    if (!dc)
        return;
    int widest = 0;
    {
        const CSelectObjectGuard font(dc, m_fontSheet.GetSafeHandle());
        const int count = static_cast<int>(::SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char title[128] = "";
            TCITEMA item{};
            item.mask = TCIF_TEXT;
            item.pszText = title;
            item.cchTextMax = sizeof(title);
            if (!::SendMessageA(tab, TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item)))
                continue;
            RECT extent{};
            ::DrawTextA(dc, title, -1, &extent, DT_SINGLELINE | DT_CALCRECT);
            widest = std::max<int>(widest, extent.right - extent.left);
        }
    }
    ::ReleaseDC(tab, dc);
    int iconWidth = 0, iconHeight = 0;
    if (auto images = reinterpret_cast<HIMAGELIST>(::SendMessageA(tab, TCM_GETIMAGELIST, 0, 0)))
        ImageList_GetIconSize(images, &iconWidth, &iconHeight);
    const int width = std::max(ScaleForDpi(130, m_nDpi), widest + iconWidth + ScaleForDpi(kTabPadding, m_nDpi));
    ::SendMessageA(tab, TCM_SETITEMSIZE, 0, MAKELPARAM(width, ScaleForDpi(30, m_nDpi)));
}

BOOL CTapestrixSheet::GetHelpTopicsRect(RECT* rect) const
{
    HWND help = ::GetDlgItem(m_hWnd, IDHELP);
    if (!help || !::GetWindowRect(help, rect))
        return FALSE;
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
    rect->left -= ScaleForDpi(42, m_nDpi);
    rect->right -= ScaleForDpi(14, m_nDpi);
    return TRUE;
}

void CTapestrixSheet::CreateHelpButton()
{
    RECT rect{};
    if (GetHelpTopicsRect(&rect))
        m_btnHelpTopics.Create("Help Topics", WS_CHILD | WS_VISIBLE, WS_EX_STATICEDGE, rect, m_hWnd,
                               IDC_HELP_TOPICS);
}

void CTapestrixSheet::OnDpiChanged(UINT dpi, const RECT* suggested)
{
    // The system moves the window to the rectangle it suggests; the
    // controls, the fonts and the sizes given in pixels are ours to follow.
    const UINT from = m_nDpi;
    m_nDpi = dpi ? dpi : 96;
    if (from && from != m_nDpi)
        ScaleChildren(m_hWnd, static_cast<int>(m_nDpi), static_cast<int>(from));
    CreateFonts();
    HFONT font = m_fontSheet.GetSafeHandle();
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    SetFontOnChildren(m_hWnd, font);
    for (int i = 0; i < GetPageCount(); ++i)
        ApplyLookToPage(GetPage(i)->GetSafeHwnd(), font, m_nDpi);
    if (HWND tab = GetDlgItem(kTabControlId))
        ::SendMessageA(tab, TCM_SETITEMSIZE, 0, MAKELPARAM(ScaleForDpi(130, m_nDpi), ScaleForDpi(30, m_nDpi)));
    SetTabIcons();
    FitTabsToTitles();
    if (suggested)
        ::SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT help{};
    if (m_btnHelpTopics.GetSafeHwnd() && GetHelpTopicsRect(&help))
        ::MoveWindow(m_btnHelpTopics.GetSafeHwnd(), help.left, help.top, help.right - help.left,
                     help.bottom - help.top, TRUE);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CTapestrixSheet::ApplySheetFont()
{
    HFONT font = m_fontSheet.GetSafeHandle();
    if (!font)
        return;
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    SetFontOnChildren(m_hWnd, font);
}

void CTapestrixSheet::OnPageCreated(CPropertyPage* page)
{
    // A page is made the first time it is shown: its controls take the
    // sheet's font then, and the sheet's DPI if the sheet has moved to a
    // monitor of another since the page's layout was made.
    HWND hwnd = page->GetSafeHwnd();
    const UINT laidOut = GetWindowDpi(hwnd);
    if (laidOut && laidOut != m_nDpi)
        ScaleChildren(hwnd, static_cast<int>(m_nDpi), static_cast<int>(laidOut));
    ApplyLookToPage(hwnd, m_fontSheet.GetSafeHandle(), m_nDpi);
}

BOOL CTapestrixSheet::PreTranslateMessage(MSG* msg)
{
    if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
        return TRUE;
    return CPropertySheet::PreTranslateMessage(msg);
}

BOOL CTapestrixSheet::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_PAINT || message == WM_PRINTCLIENT) {
        OnPaint(message == WM_PRINTCLIENT ? reinterpret_cast<HDC>(wParam) : nullptr);
        *result = 0;
        return TRUE;
    }
    if (message == WM_DPICHANGED) {
        OnDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        *result = 0;
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDC_HELP_TOPICS &&
        reinterpret_cast<HWND>(lParam) == m_btnHelpTopics.GetSafeHwnd() && HIWORD(wParam) == BN_CLICKED) {
        OnHelpButton();
        *result = 0;
        return TRUE;
    }
    return CPropertySheet::OnWndMsg(message, wParam, lParam, result);
}

void CTapestrixSheet::OnPaint(HDC printDC)
{
    CPaintDC dc(this, printDC);
    HDC hdc = dc.GetSafeHdc();
    HWND tab = GetTabControl();
    HWND ok = GetDlgItem(IDOK);
    if (!hdc || !tab || !ok)
        return;
    RECT tabRect{}, okRect{};
    ::GetWindowRect(tab, &tabRect);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&tabRect), 2);
    ::GetWindowRect(ok, &okRect);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&okRect), 2);
    RECT text{tabRect.left + ScaleForDpi(14, m_nDpi), okRect.top, okRect.left, okRect.bottom};

    const int oldMode = ::SetBkMode(hdc, TRANSPARENT);
    const CSelectObjectGuard font(hdc, m_fontTitle.GetSafeHandle());
    const COLORREF oldColour = ::SetTextColor(hdc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
    RECT light = text;
    ::OffsetRect(&light, 1, 1);
    ::DrawTextA(hdc, kProductName, -1, &light, DT_SINGLELINE | DT_VCENTER);
    ::SetTextColor(hdc, ::GetSysColor(COLOR_BTNSHADOW));
    ::DrawTextA(hdc, kProductName, -1, &text, DT_SINGLELINE | DT_VCENTER);
    ::SetTextColor(hdc, oldColour);
    ::SetBkMode(hdc, oldMode);
}

void CTapestrixSheet::OnHelpButton()
{
    if (!LaunchHelpFile())
        SheetMessageBox(m_hWnd, kHelpNotLaunched);
}
