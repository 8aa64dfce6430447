#include "controls/GradientMenuBar.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "controls/GradientMenu.h"
#include "framework/Gdi.h"

namespace {

const DWORD kBarControlStyle = TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_CUSTOMERASE | TBSTYLE_WRAPABLE;
const UINT kBarId = 0xE800;
// The system's check-mark bitmap (OBM_CHECK, which windows.h names only
// with OEMRESOURCE defined).
const UINT kSystemCheckMark = 32760;

// Every item, a greyed one too, ends its row: one column.
BYTE ButtonState(const CGradientMenuItem& item)
{
    return static_cast<BYTE>(item.IsDisabled() ? TBSTATE_WRAP : TBSTATE_ENABLED | TBSTATE_WRAP);
}

// The last point any item bar saw the mouse at: a submenu opening under a
// resting mouse must not take the same point for a new movement.
POINT g_lastMousePoint{0, 0};

}  // namespace

CGradientMenuBar::CGradientMenuBar()
    : m_nLastHotId(-1), m_nOpenIndex(-1), m_nDpi(0), m_ptHover{-1, -1}, m_nHoverIndex(-1)
{
}

BOOL CGradientMenuBar::Create(CGradientMenu* menu)
{
    return menu && CreateEx(menu, kBarControlStyle, WS_CLIPCHILDREN, kBarId);
}

CGradientMenu* CGradientMenuBar::Menu() const
{
    return m_hWnd ? CGradientMenu::FromWindow(::GetParent(m_hWnd)) : nullptr;
}

BOOL CGradientMenuBar::AddItems(std::vector<std::unique_ptr<CGradientMenuItem>> items)
{
    if (!m_hWnd)
        return FALSE;
    std::vector<TBBUTTON> buttons;
    for (auto& item : items) {
        TBBUTTON button{};
        button.iBitmap = 0;
        button.idCommand = static_cast<int>(item->info.wID);
        button.fsState = ButtonState(*item);
        button.fsStyle = static_cast<BYTE>(item->IsSeparator() ? BTNS_SEP : BTNS_BUTTON);
        button.dwData = reinterpret_cast<DWORD_PTR>(item.get());
        // The text with its "&" (the control copies it).
        const char* text = item->info.dwTypeData;
        button.iString = text && *text ? reinterpret_cast<INT_PTR>(text) : -1;
        buttons.push_back(button);
        m_items.push_back(std::move(item));
    }
    return buttons.empty() ||
           SendMessage(TB_ADDBUTTONSA, buttons.size(), reinterpret_cast<LPARAM>(buttons.data())) != 0;
}

BOOL CGradientMenuBar::UpdateItems(std::vector<std::unique_ptr<CGradientMenuItem>> items)
{
    if (!m_hWnd || items.size() != m_items.size())
        return FALSE;
    for (size_t i = 0; i < items.size(); ++i) {
        const MENUITEMINFOA& kept = m_items[i]->info;
        const MENUITEMINFOA& now = items[i]->info;
        if (kept.wID != now.wID || kept.fType != now.fType || kept.hSubMenu != now.hSubMenu ||
            !kept.dwTypeData != !now.dwTypeData || (kept.dwTypeData && strcmp(kept.dwTypeData, now.dwTypeData) != 0))
            return FALSE;
    }
    for (size_t i = 0; i < items.size(); ++i) {
        CGradientMenuItem& kept = *m_items[i];
        const BOOL wasDisabled = kept.IsDisabled();
        const LPSTR text = kept.info.dwTypeData;
        kept.info = items[i]->info;
        kept.info.dwTypeData = text;
        // An item greyed or enabled since the last opening repaints that
        // button only; the row's wrap stays, so nothing is laid out again.
        // Each message to the control is dear under Wine: the others are
        // left alone.
        if (kept.IsDisabled() == wasDisabled)
            continue;
        TBBUTTON button{};
        if (SendMessage(TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button))) {
            TBBUTTONINFOA change{};
            change.cbSize = sizeof(change);
            change.dwMask = TBIF_BYINDEX | TBIF_STATE;
            change.fsState = static_cast<BYTE>((button.fsState & ~TBSTATE_ENABLED) |
                                               (ButtonState(kept) & TBSTATE_ENABLED));
            SendMessage(TB_SETBUTTONINFOA, i, reinterpret_cast<LPARAM>(&change));
        }
    }
    return TRUE;
}

void CGradientMenuBar::ForgetOpening()
{
    if (m_hWnd)
        SendMessage(TB_SETHOTITEM, static_cast<WPARAM>(-1), 0);
    m_nLastHotId = -1;
    m_nOpenIndex = -1;
    m_nHoverIndex = -1;
    m_ptHover = POINT{-1, -1};
    for (auto& item : m_items)
        item->info.hbmpChecked = item->info.hbmpUnchecked = nullptr;
}

const CGradientMenuItem* CGradientMenuBar::GetItem(int index) const
{
    if (!m_hWnd || index < 0)
        return nullptr;
    TBBUTTON button{};
    if (!SendMessage(TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&button)))
        return nullptr;
    return reinterpret_cast<const CGradientMenuItem*>(button.dwData);
}

int CGradientMenuBar::ItemAt(POINT point) const
{
    if (!m_hWnd)
        return -1;
    const int index = static_cast<int>(SendMessage(TB_HITTEST, 0, reinterpret_cast<LPARAM>(&point)));
    const CGradientMenuItem* item = GetItem(index);
    return item && !item->IsSeparator() ? index : -1;
}

RECT CGradientMenuBar::GetItemRect(int index) const
{
    RECT rect{};
    if (m_hWnd)
        SendMessage(TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect));
    return rect;
}

int CGradientMenuBar::GetWidestText() const
{
    HDC dc = m_hWnd ? ::GetDC(m_hWnd) : nullptr;
    if (!dc)
        return 0;
    int widest = 0;
    {
        CSelectObjectGuard select(dc, m_fontMenu.Get());
        for (const auto& item : m_items) {
            if (!item->info.dwTypeData)
                continue;
            RECT r{};
            ::DrawTextA(dc, item->info.dwTypeData, -1, &r, DT_SINGLELINE | DT_CALCRECT);
            widest = std::max<int>(widest, r.right - r.left);
        }
    }
    ::ReleaseDC(m_hWnd, dc);
    return widest;
}

int CGradientMenuBar::GetHotItem() const
{
    return static_cast<int>(SendMessage(TB_GETHOTITEM, 0, 0));
}

BOOL CGradientMenuBar::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    if (message == WM_CREATE) {
        *result = OnCreate(reinterpret_cast<CREATESTRUCTA*>(lParam));
        return TRUE;
    }
    if (message == WM_MOUSEMOVE) {
        OnMouseMove(static_cast<UINT>(wParam), point);
        return TRUE;
    }
    // A double-click is one more press: the control must not turn it into
    // a command of its own.
    if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) {
        OnLButtonDown(static_cast<UINT>(wParam), point);
        return TRUE;
    }
    if (message == WM_KEYDOWN) {
        if (HandleKey(static_cast<UINT>(wParam)))
            return TRUE;
        return FALSE;
    }
    if (message == WM_CHAR) {
        OnChar(static_cast<UINT>(wParam));
        return TRUE;
    }
    if (message == WM_GMENU_CLICK) {
        *result = OnGMenuClick(wParam, lParam);
        return TRUE;
    }
    if (message == WM_MOUSEHOVER) {
        OnMouseHover();
        return FALSE;
    }
    if (message == WM_GMENU_SUBMENU_CLOSED) {
        m_nOpenIndex = -1;
        return FALSE;
    }
    return CToolBar::OnWndMsg(message, wParam, lParam, result);
}

int CGradientMenuBar::OnCreate(CREATESTRUCTA* cs)
{
    if (!cs)
        return -1;
    // Shown only once its menu has placed it.
    cs->style &= ~WS_VISIBLE;
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, ::GetWindowLongPtrA(m_hWnd, GWL_STYLE) & ~WS_VISIBLE);
    if (DefWindowProc(WM_CREATE, 0, reinterpret_cast<LPARAM>(cs)) == -1)
        return -1;
    ::SetWindowLongPtrA(m_hWnd, GWL_EXSTYLE, ::GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
    SendMessage(TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    return 0;
}

void CGradientMenuBar::SetDpi(UINT dpi)
{
    if (dpi == m_nDpi && m_fontMenu)
        return;
    m_nDpi = dpi;
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        return;
    metrics.lfMenuFont.lfHeight = ::MulDiv(metrics.lfMenuFont.lfHeight, static_cast<int>(dpi),
                                           static_cast<int>(GetWindowDpi(nullptr)));
    CFontHandle font(::CreateFontIndirectA(&metrics.lfMenuFont));
    if (!font)
        return;
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
    m_fontMenu = std::move(font);
}

int CGradientMenuBar::CheckMarkSize() const
{
    return ::MulDiv(::GetSystemMetrics(SM_CXMENUCHECK), static_cast<int>(m_nDpi ? m_nDpi : 96),
                    static_cast<int>(GetWindowDpi(nullptr)));
}

void CGradientMenuBar::OnMouseMove(UINT flags, POINT point)
{
    const int index = ItemAt(point);
    const CGradientMenuItem* item = GetItem(index);
    if (!item || item->IsDisabled())
        return;
    if (point.x == g_lastMousePoint.x && point.y == g_lastMousePoint.y)
        return;
    g_lastMousePoint = point;
    // The control makes the item under the mouse hot and asks for the
    // mouse leaving; it goes first, because a later request replaces an
    // earlier one on Wine: the hover request then carries the leave too.
    DefWindowProc(WM_MOUSEMOVE, flags, MAKELPARAM(point.x, point.y));
    if (index != m_nHoverIndex) {
        m_ptHover = point;
        m_nHoverIndex = index;
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_HOVER | TME_LEAVE;
        track.hwndTrack = m_hWnd;
        track.dwHoverTime = 0;
        ::_TrackMouseEvent(&track);
    }
}

void CGradientMenuBar::OnMouseHover()
{
    const CGradientMenuItem* item = GetItem(m_nHoverIndex);
    if (!item)
        return;
    if (item->HasSubmenu()) {
        const LPARAM at = MAKELPARAM(m_ptHover.x, m_ptHover.y);
        SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessage(WM_LBUTTONUP, MK_LBUTTON, at);
        return;
    }
    if (CGradientMenu* menu = Menu())
        menu->CloseSubmenus();
    m_nOpenIndex = -1;
}

void CGradientMenuBar::OnLButtonDown(UINT flags, POINT point)
{
    const int index = ItemAt(point);
    const CGradientMenuItem* item = GetItem(index);
    if (!item || item->IsDisabled() || index == m_nOpenIndex)
        return;
    if (CGradientMenu* menu = Menu())
        menu->CloseSubmenus();
    PostMessage(WM_GMENU_CLICK, flags, MAKELPARAM(point.x, point.y));
    m_nOpenIndex = index;
}

LRESULT CGradientMenuBar::OnGMenuClick(WPARAM flags, LPARAM point)
{
    const POINT at{LOWORD(point), HIWORD(point)};
    const int index = ItemAt(at);
    const CGradientMenuItem* item = GetItem(index);
    CGradientMenu* menu = Menu();
    if (!item || !menu || item->IsDisabled())
        return 0;
    if (item->HasSubmenu()) {
        menu->SendMessage(WM_GMENU_OPEN_SUBMENU, static_cast<WPARAM>(point), flags & GMF_SELECT_FIRST);
        return 0;
    }
    menu->ChooseCommand(item->info.wID);
    return 0;
}

BOOL CGradientMenuBar::HandleKey(UINT key)
{
    CGradientMenu* menu = Menu();
    if (!menu)
        return FALSE;
    switch (key) {
    case VK_ESCAPE:
        menu->CloseMenuChain();
        return TRUE;
    case VK_LEFT:
        if (CGradientMenu* parent = menu->GetParentMenu()) {
            parent->CloseSubmenus();
            parent->SendMessage(WM_GMENU_SUBMENU_CLOSED, 0, 0);
        }
        return TRUE;
    case VK_UP:
    case VK_DOWN:
        MoveHotItem(key == VK_DOWN ? 1 : -1);
        return TRUE;
    case VK_RIGHT:
    case VK_RETURN: {
        if (m_nLastHotId == -1)
            return TRUE;
        const int index = CommandToIndex(static_cast<UINT>(m_nLastHotId));
        const CGradientMenuItem* item = GetItem(index);
        if (!item || (!item->HasSubmenu() && key == VK_RIGHT))
            return TRUE;
        m_nOpenIndex = -1;
        ClickItem(index, MK_LBUTTON | GMF_SELECT_FIRST);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void CGradientMenuBar::ClickItem(int index, WPARAM flags)
{
    const RECT rect = GetItemRect(index);
    const LPARAM at = MAKELPARAM(rect.left + 1, rect.top + 1);
    SendMessage(WM_LBUTTONDOWN, flags, at);
    SendMessage(WM_LBUTTONUP, flags, at);
}

void CGradientMenuBar::MoveHotItem(int direction)
{
    const int count = GetButtonCount();
    if (count <= 0)
        return;
    const int hot = GetHotItem();
    int index = hot;
    for (int tried = 0; tried < count; ++tried) {
        index = index < 0 ? (direction > 0 ? 0 : count - 1) : (index + direction + count) % count;
        const CGradientMenuItem* item = GetItem(index);
        if (item && !item->IsSeparator() && !item->IsDisabled()) {
            SendMessage(TB_SETHOTITEM, static_cast<WPARAM>(index), 0);
            return;
        }
    }
}

void CGradientMenuBar::OnChar(UINT ch)
{
    CGradientMenu* menu = Menu();
    if (!menu)
        return;
    std::vector<int> matches;
    const int count = GetButtonCount();
    for (int i = 0; i < count; ++i) {
        const CGradientMenuItem* item = GetItem(i);
        if (!item || !item->info.dwTypeData)
            continue;
        const char* amp = strchr(item->info.dwTypeData, '&');
        if (amp && amp[1] && toupper(static_cast<unsigned char>(amp[1])) == toupper(static_cast<int>(ch & 0xFF)))
            matches.push_back(i);
    }
    const int hot = GetHotItem();
    if (matches.empty()) {
        CWnd* owner = menu->GetOwner();
        if (!owner || !::IsWindow(owner->GetSafeHwnd()))
            return;
        const LRESULT answer = owner->SendMessage(WM_MENUCHAR, MAKEWPARAM(ch, MF_POPUP),
                                                  reinterpret_cast<LPARAM>(menu->GetSafeHmenu()));
        if (HIWORD(answer) == MNC_CLOSE)
            menu->CloseMenuChain();
        return;
    }
    if (matches.size() == 1) {
        // A greyed item's letter chooses nothing and leaves the hot item.
        const CGradientMenuItem* only = GetItem(matches[0]);
        if (!only || only->IsDisabled())
            return;
        SendMessage(TB_SETHOTITEM, static_cast<WPARAM>(matches[0]), 0);
        m_nOpenIndex = -1;
        ClickItem(matches[0], MK_LBUTTON);
        return;
    }
    int next = matches[0];
    for (int m : matches) {
        if (m > hot) {
            next = m;
            break;
        }
    }
    SendMessage(TB_SETHOTITEM, static_cast<WPARAM>(next), 0);
}

// ---------------------------------------------------------------- painting

void CGradientMenuBar::OnCustomDraw(NMTBCUSTOMDRAW* draw, LRESULT* result)
{
    *result = CDRF_DODEFAULT;
    if (!draw)
        return;
    if (draw->nmcd.dwDrawStage == CDDS_PREERASE) {
        // The gaps and separator rows in the menu's colour.
        RECT client{};
        ::GetClientRect(m_hWnd, &client);
        FillStrip(draw->nmcd.hdc, 0, 0, client.right, client.bottom, ::GetSysColor(COLOR_MENU));
        *result = CDRF_SKIPDEFAULT;
    } else if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
        *result = CDRF_NOTIFYITEMDRAW;
    } else if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        PaintItem(draw);
        *result = CDRF_SKIPDEFAULT;
    }
}

void CGradientMenuBar::PaintItem(NMTBCUSTOMDRAW* draw)
{
    const auto* item = reinterpret_cast<const CGradientMenuItem*>(draw->nmcd.lItemlParam);
    CGradientMenu* menu = Menu();
    const HDC dc = draw->nmcd.hdc;
    if (!item || !menu || !dc)
        return;
    RECT r = draw->nmcd.rc;
    const int h = r.bottom - r.top;
    const BOOL hot = (draw->nmcd.uItemState & CDIS_HOT) != 0;
    const BOOL greyed = item->IsGreyed();
    const int id = static_cast<int>(draw->nmcd.dwItemSpec);

    if (hot) {
        if (id != m_nLastHotId) {
            CWnd* owner = menu->GetOwner();
            m_nLastHotId = id;
            WPARAM wParam = item->HasSubmenu()
                ? MAKEWPARAM(CommandToIndex(static_cast<UINT>(id)), MF_POPUP)
                : MAKEWPARAM(id, item->info.fState);
            if (owner && ::IsWindow(owner->GetSafeHwnd()))
                owner->SendMessage(WM_MENUSELECT, wParam, reinterpret_cast<LPARAM>(menu->GetSafeHmenu()));
        }
        m_nLastHotId = id;
    }

    const COLORREF textColour = ::GetSysColor(greyed ? COLOR_GRAYTEXT : (hot ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
    const COLORREF back = ::GetSysColor(hot ? COLOR_HIGHLIGHT : COLOR_MENU);
    const COLORREF oldText = ::SetTextColor(dc, ::GetSysColor(greyed ? COLOR_GRAYTEXT : COLOR_MENUTEXT));
    r.left += 1;
    FillStrip(dc, r.left, r.top, r.right - r.left, h, back);

    CSelectObjectGuard selectFont(dc, m_fontMenu.Get());
    const RECT cell{r.left, r.top, r.left + h, r.bottom};
    if (item->info.fState & MFS_CHECKED)
        DrawItemImage(dc, cell, hot, item->info.hbmpChecked, TRUE, greyed);
    else if (item->info.hbmpUnchecked)
        DrawItemImage(dc, cell, hot, item->info.hbmpUnchecked, FALSE, greyed);

    ::SetTextColor(dc, textColour);
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    RECT text = r;
    text.left = r.left + h + 2;
    if (item->info.dwTypeData) {
        if (greyed && !hot) {
            RECT shadow = text;
            ::OffsetRect(&shadow, 1, 1);
            ::SetTextColor(dc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
            ::DrawTextA(dc, item->info.dwTypeData, -1, &shadow, DT_SINGLELINE | DT_VCENTER);
            ::SetTextColor(dc, textColour);
        }
        ::DrawTextA(dc, item->info.dwTypeData, -1, &text, DT_SINGLELINE | DT_VCENTER);
    }

    if (item->HasSubmenu()) {
        const int cw = CheckMarkSize();
        const int bl = r.right - 3 * cw / 4;
        const int br = bl + cw;
        const int bt = r.top + (h - cw) / 2;
        const int xl = bl + 3 * cw / 10;
        const int xr = br - 3 * cw / 10;
        const int yt = bt + 3 * cw / 10;
        const int yb = bt + cw - 3 * cw / 10;
        const int xm = xl + (xr - xl) / 2;
        const int ym = yt + (yb - yt) / 2;
        const int yb2 = ym + (yb - yt) / 2;
        CPenHandle pen(::CreatePen(PS_SOLID, 1, textColour));
        CBrushHandle brush(::CreateSolidBrush(textColour));
        CSelectObjectGuard selectPen(dc, pen.Get());
        CSelectObjectGuard selectBrush(dc, brush.Get());
        ::MoveToEx(dc, xl, yt, nullptr);
        ::LineTo(dc, xm, ym);
        ::LineTo(dc, xl, yb2);
        ::LineTo(dc, xl, yt);
        // The fill stays inside the arrow's box whatever the colours.
        const int saved = ::SaveDC(dc);
        ::IntersectClipRect(dc, xl, yt, xm + 1, yb2 + 1);
        ::FloodFill(dc, xl + 1, yt + 2, textColour);
        ::RestoreDC(dc, saved);
    }
    ::SetBkMode(dc, oldMode);
    ::SetTextColor(dc, oldText);
}

BOOL CGradientMenuBar::DrawItemImage(HDC dc, const RECT& cell, BOOL hot, HBITMAP bitmap, BOOL checked,
                                     BOOL greyed)
{
    const BOOL own = bitmap != nullptr;
    CBitmapHandle drawn;
    if (own) {
        BITMAP info{};
        if (!::GetObjectA(bitmap, sizeof(info), &info))
            return FALSE;
        if (checked)
            FillStrip(dc, cell.left, cell.top, cell.right - cell.left, cell.bottom - cell.top,
                      ::GetSysColor(COLOR_MENU));
        drawn.Reset(CreateMappedItemBitmap(dc, bitmap, greyed, hot));
    } else {
        drawn.Reset(::LoadBitmapA(nullptr, MAKEINTRESOURCEA(kSystemCheckMark)));
    }
    if (!drawn)
        return FALSE;
    BITMAP info{};
    ::GetObjectA(drawn.Get(), sizeof(info), &info);
    const int cw = cell.right - cell.left;
    const int ch = cell.bottom - cell.top;
    const int dx = (cw - info.bmWidth) / 2;
    const int dy = (ch - info.bmHeight) / 2;

    const COLORREF oldBack = ::SetBkColor(dc, ::GetSysColor(hot && !greyed ? COLOR_HIGHLIGHT : COLOR_MENU));
    {
        // Declared after the bitmap: the DC lets go of it before it is deleted.
        CDCHandle memory(::CreateCompatibleDC(dc));
        CSelectObjectGuard select(memory.Get(), drawn.Get());
        if (memory) {
            if (cw > info.bmWidth)
                ::BitBlt(dc, cell.left + dx, cell.top + dy, info.bmWidth, info.bmHeight, memory.Get(), 0, 0, SRCCOPY);
            else
                ::BitBlt(dc, cell.left, cell.top, cw, ch, memory.Get(), -dx, -dy, SRCCOPY);
        }
    }
    ::SetBkColor(dc, oldBack);

    if (checked) {
        RECT edge = cell;
        ::DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
        const COLORREF surface = own ? ::GetSysColor(COLOR_MENU) : ::GetSysColor(hot ? COLOR_HIGHLIGHT : COLOR_MENU);
        static const WORD kChecker[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
        CBitmapHandle pattern(::CreateBitmap(8, 8, 1, 1, kChecker));
        CBrushHandle brush(hot ? ::CreateSolidBrush(::GetSysColor(COLOR_MENU)) : ::CreatePatternBrush(pattern.Get()));
        const COLORREF oldText = ::SetTextColor(dc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        const COLORREF oldBk = ::SetBkColor(dc, ::GetSysColor(COLOR_MENU));
        {
            CSelectObjectGuard selectBrush(dc, brush.Get());
            // Inside the edge only: where the fill colour equals the row's
            // background it would otherwise flood the whole menu.
            const int saved = ::SaveDC(dc);
            ::IntersectClipRect(dc, cell.left + 1, cell.top + 1, cell.right - 1, cell.bottom - 1);
            ::ExtFloodFill(dc, cell.left + 1, cell.top + 1, surface, FLOODFILLSURFACE);
            ::RestoreDC(dc, saved);
        }
        ::SetBkColor(dc, oldBk);
        ::SetTextColor(dc, oldText);
    }
    return TRUE;
}

HBITMAP CreateMappedItemBitmap(HDC dc, HBITMAP bitmap, BOOL greyed, BOOL hot)
{
    BITMAP info{};
    if (!bitmap || !::GetObjectA(bitmap, sizeof(info), &info) || info.bmWidth <= 0 || info.bmHeight <= 0)
        return nullptr;
    CBitmapHandle copy(greyed ? ::CreateBitmap(info.bmWidth, info.bmHeight, 1, 1, nullptr)
                              : ::CreateBitmap(info.bmWidth, info.bmHeight, info.bmPlanes, info.bmBitsPixel, nullptr));
    if (!copy)
        return nullptr;
    // Every pixel read and written once through 32-bit rows: the same
    // result as pixel by pixel, in two calls instead of hundreds per paint.
    BITMAPINFO layout{};
    layout.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    layout.bmiHeader.biWidth = info.bmWidth;
    layout.bmiHeader.biHeight = -info.bmHeight;
    layout.bmiHeader.biPlanes = 1;
    layout.bmiHeader.biBitCount = 32;
    layout.bmiHeader.biCompression = BI_RGB;
    std::vector<RGBQUAD> pixels(static_cast<size_t>(info.bmWidth) * static_cast<size_t>(info.bmHeight));
    if (!::GetDIBits(dc, bitmap, 0, static_cast<UINT>(info.bmHeight), pixels.data(), &layout, DIB_RGB_COLORS))
        return nullptr;
    auto quad = [](COLORREF c) { return RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0}; };
    const RGBQUAD black{0, 0, 0, 0};
    const RGBQUAD white{255, 255, 255, 0};
    const RGBQUAD text = quad(::GetSysColor(COLOR_BTNTEXT));
    const RGBQUAD shadow = quad(::GetSysColor(COLOR_BTNSHADOW));
    const RGBQUAD face = quad(::GetSysColor(hot && !greyed ? COLOR_HIGHLIGHT : COLOR_MENU));
    const RGBQUAD light = quad(::GetSysColor(COLOR_BTNHIGHLIGHT));
    for (RGBQUAD& p : pixels) {
        const COLORREF c = RGB(p.rgbRed, p.rgbGreen, p.rgbBlue);
        if (greyed) {
            // One bit: the nearer of black and white.
            const int toBlack = p.rgbRed * p.rgbRed + p.rgbGreen * p.rgbGreen + p.rgbBlue * p.rgbBlue;
            const int toWhite = (255 - p.rgbRed) * (255 - p.rgbRed) + (255 - p.rgbGreen) * (255 - p.rgbGreen) +
                                (255 - p.rgbBlue) * (255 - p.rgbBlue);
            p = toBlack <= toWhite ? black : white;
        } else if (c == RGB(0, 0, 0)) {
            p = text;
        } else if (c == RGB(128, 128, 128)) {
            p = shadow;
        } else if (c == RGB(192, 192, 192)) {
            p = face;
        } else if (c == RGB(255, 255, 255)) {
            p = light;
        }
    }
    if (!::SetDIBits(dc, copy.Get(), 0, static_cast<UINT>(info.bmHeight), pixels.data(), &layout, DIB_RGB_COLORS))
        return nullptr;
    return copy.Release();
}

void FillStrip(HDC dc, int x, int y, int width, int height, COLORREF colour)
{
    CBrushHandle brush(::CreateSolidBrush(colour));
    CSelectObjectGuard select(dc, brush.Get());
    ::PatBlt(dc, x, y, width, height, PATCOPY);
}
