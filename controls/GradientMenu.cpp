#include "controls/GradientMenu.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "controls/GradientMenuBar.h"
#include "framework/App.h"
#include "framework/Gdi.h"
#include "framework/Handles.h"

namespace {

const char kMenuClass[] = "BitmapMenu";

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// Popup without WS_CHILD: Windows calls the pair invalid and Wine makes
// such a window a child clipped inside its (hidden) owner.  As a popup its
// GetParent is still its owner: the parent menu, or the owner window.
const DWORD kMenuStyle = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER;
const DWORD kMenuExStyle =
    WS_EX_DLGMODALFRAME | WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;

// Every "&" taken out: the caption of a submenu.
CString WithoutAmpersands(LPCSTR text)
{
    CString out;
    for (const char* p = text ? text : ""; *p; ++p) {
        if (*p != '&')
            out += *p;
    }
    return out;
}

RECT MonitorRect(const RECT& around)
{
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    HMONITOR monitor = ::MonitorFromRect(&around, MONITOR_DEFAULTTONEAREST);
    if (monitor && ::GetMonitorInfoA(monitor, &info))
        return info.rcMonitor;
    RECT desktop{};
    ::GetWindowRect(::GetDesktopWindow(), &desktop);
    return desktop;
}

// The top-level menu window of the run in progress, for the mouse hook.  A
// click outside every window of the chain closes the menu: the system's
// activation rules do not always tell (Wine's desktop and tray take no
// activation, so a click on them would leave the menu open).
HWND g_trackingMenu = nullptr;

LRESULT CALLBACK OutsideClickHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && g_trackingMenu &&
        (wParam == WM_LBUTTONDOWN || wParam == WM_RBUTTONDOWN || wParam == WM_MBUTTONDOWN ||
         wParam == WM_NCLBUTTONDOWN || wParam == WM_NCRBUTTONDOWN)) {
        const auto* mouse = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
        const HWND hit = ::WindowFromPoint(mouse->pt);
        const HWND root = hit ? ::GetAncestor(hit, GA_ROOT) : nullptr;
        if (!CGradientMenu::FromWindow(root))
            ::PostMessageA(g_trackingMenu, WM_CANCELMODE, 0, 0);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// A modal loop about to start in the menu's thread (a message box, a
// dialog, a property sheet: every one of them a dialog window) closes the
// whole chain first, windows and all, so no menu stays on top of it and
// takes clicks meant for it.
LRESULT CALLBACK ModalLoopHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && g_trackingMenu) {
        const CREATESTRUCTA* cs = reinterpret_cast<const CBT_CREATEWNDA*>(lParam)->lpcs;
        const BOOL dialog = IS_INTRESOURCE(cs->lpszClass) ? LOWORD(reinterpret_cast<ULONG_PTR>(cs->lpszClass)) == 32770
                                                          : lstrcmpiA(cs->lpszClass, "#32770") == 0;
        if (dialog && !(cs->style & WS_CHILD)) {
            if (CGradientMenu* top = CGradientMenu::FromWindow(g_trackingMenu))
                top->DestroyMenuChain();
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

IMPLEMENT_RUNTIME_CLASS(CGradientMenu, CWnd)

CGradientMenu::CGradientMenu(int bandWidth, BOOL bandOnSubmenus)
    : m_pOwner(nullptr),
      m_pOpenSubmenu(nullptr),
      m_bBandOnSubmenus(bandOnSubmenus),
      m_nBandWidth(bandWidth > 0 ? bandWidth : 0),
      m_nFlags(0),
      m_pItemBar(nullptr),
      m_clrBandTop(0),
      m_clrBandBottom(0),
      m_clrBandText(0),
      m_bOpen(FALSE),
      m_bEntered(FALSE),
      m_sizeWindow{0, 0},
      m_nChosenCommand(0),
      m_bNumberPadKey(FALSE),
      m_nDpi(96),
      m_nFontBandDpi(0)
{
}

CGradientMenu::~CGradientMenu()
{
    // An object destroyed while its loop still runs (its owner went away
    // underneath it) must not leave the loop a window of a dead object.
    TearDown();
}

void CGradientMenu::SetBandColors(COLORREF top, COLORREF bottom, COLORREF text)
{
    m_clrBandTop = top;
    m_clrBandBottom = bottom;
    m_clrBandText = text;
}

CGradientMenu* CGradientMenu::FromWindow(HWND hWnd)
{
    if (!hWnd || !::IsWindow(hWnd))
        return nullptr;
    CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
    if (!wnd || !wnd->IsKindOf(RUNTIME_CLASS(CGradientMenu)))
        return nullptr;
    return static_cast<CGradientMenu*>(wnd);
}

CGradientMenu* CGradientMenu::GetParentMenu() const
{
    return m_hWnd ? FromWindow(::GetParent(m_hWnd)) : nullptr;
}

BOOL CGradientMenu::PreCreateWindow(CREATESTRUCTA& cs)
{
    // The framework's class under the menu's own name.
    cs.lpszClass = nullptr;
    if (!CWnd::PreCreateWindow(cs))
        return FALSE;
    WNDCLASSA wc{};
    if (::GetClassInfoA(cs.hInstance, kMenuClass, &wc)) {
        cs.lpszClass = kMenuClass;
        return TRUE;
    }
    if (!::GetClassInfoA(cs.hInstance, cs.lpszClass, &wc))
        return FALSE;
    wc.lpszClassName = kMenuClass;
    wc.hInstance = cs.hInstance;
    if (!::RegisterClassA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return FALSE;
    cs.lpszClass = kMenuClass;
    return TRUE;
}

BOOL CGradientMenu::TrackMenu(UINT, int x, int y, CWnd* pOwner, LPCRECT lpItemRect)
{
    // One run per object: a second call while this one runs (a tray click
    // delivered by the loop of the open menu) is refused.
    if (m_bOpen)
        return FALSE;
    const BOOL submenu = (m_nFlags & GMF_SUBMENU) != 0;
    if (!submenu)
        m_pOwner = pOwner;
    if (!m_pOwner || !::IsWindow(m_pOwner->GetSafeHwnd()) || !pOwner || !::IsWindow(pOwner->GetSafeHwnd()))
        return FALSE;
    const HWND owner = m_pOwner->GetSafeHwnd();
    // A window kept from an earlier run serves only the owner it was made for.
    if (m_hWnd && ::GetWindow(m_hWnd, GW_OWNER) != pOwner->GetSafeHwnd())
        TearDown();
    m_nChosenCommand = 0;
    m_bOpen = TRUE;

    ::SendMessageA(owner, submenu ? WM_INITMENUPOPUP : WM_INITMENU, reinterpret_cast<WPARAM>(m_hMenu), 0);
    // The owner may have been destroyed by its own handling.
    if (!::IsWindow(owner) || !::IsWindow(pOwner->GetSafeHwnd())) {
        m_bOpen = FALSE;
        TearDown();
        return FALSE;
    }

    // The kept window and item bar, when the items are still those they
    // were measured for; else new ones.
    if (!m_hWnd || !ReuseItemBar()) {
        TearDown();
        const RECT none{};
        if (!CreateEx(kMenuExStyle, nullptr, nullptr, kMenuStyle, none, pOwner, 0)) {
            m_bOpen = FALSE;
            TearDown();
            return FALSE;
        }
        // The band and its caption are sized for 96 DPI; the menu's monitor
        // may have more.
        m_nDpi = GetWindowDpi(m_hWnd);
        auto bar = std::make_unique<CGradientMenuBar>();
        m_pItemBar = bar.get();
        if (!bar->Create(this) || !BuildItemBar(m_pItemBar)) {
            bar.reset();
            m_pItemBar = nullptr;
            m_bOpen = FALSE;
            TearDown();
            return FALSE;
        }
        bar.release();
    }
    if (submenu) {
        if (CGradientMenu* parent = GetParentMenu())
            parent->m_pOpenSubmenu = this;
    }
    // Placed, shown and activated in one step: showing it inactive and
    // then giving it the focus activates it all the same, at twice the cost.
    ShowWindowAt(x, y, lpItemRect);
    ::SetFocus(m_hWnd);
    if (m_hWnd && (m_nFlags & GMF_SELECT_FIRST) && m_pItemBar)
        m_pItemBar->SendMessage(TB_SETHOTITEM, 0, 0);
    m_nFlags &= ~GMF_SELECT_FIRST;
    if (m_hWnd && ::IsWindow(owner)) {
        m_bEntered = TRUE;
        ::SendMessageA(owner, WM_ENTERMENULOOP, reinterpret_cast<WPARAM>(m_hMenu),
                       reinterpret_cast<LPARAM>(m_hWnd));
    }

    if (m_hWnd) {
        CHookHandle hook;
        CHookHandle modalHook;
        HWND outerMenu = g_trackingMenu;
        if (!submenu) {
            g_trackingMenu = m_hWnd;
            hook.Reset(::SetWindowsHookExA(WH_MOUSE_LL, OutsideClickHook, ::GetModuleHandleA(nullptr), 0));
            modalHook.Reset(::SetWindowsHookExA(WH_CBT, ModalLoopHook, nullptr, ::GetCurrentThreadId()));
        }
        RunModalLoop(0);
        modalHook.Reset();
        hook.Reset();
        if (!submenu)
            g_trackingMenu = outerMenu;
    }
    m_bOpen = FALSE;
    if (submenu || !m_hWnd)
        TearDown();
    else
        Park();

    // The choice goes to the owner only now that every level is closed, and
    // only while the owner is still there to take it.
    const UINT chosen = m_nChosenCommand;
    m_nChosenCommand = 0;
    if (!submenu && chosen != 0 && ::IsWindow(owner))
        ::PostMessageA(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    return TRUE;
}

void CGradientMenu::Park()
{
    CloseSubmenus();
    NotifyExitMenuLoop();
    if (!m_hWnd || !m_pItemBar) {
        // The owner went meanwhile, or there is nothing worth keeping.
        TearDown();
        return;
    }
    // Hidden, it takes no click, no key and no focus; out of the topmost
    // band, it stays under any window of a modal loop the owner starts.
    // (Wine keeps the focus on a window hidden by SetWindowPos.)
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::ShowWindow(m_hWnd, SW_HIDE);
    m_pItemBar->ForgetOpening();
}

void CGradientMenu::TearDown()
{
    // Ends a loop that is still marked running (this object is going) and
    // frees the item records with the bar.
    m_bContinueModal = FALSE;
    if (m_pOpenSubmenu) {
        m_pOpenSubmenu->CloseSubmenus();
        m_pOpenSubmenu->m_bContinueModal = FALSE;
        m_pOpenSubmenu = nullptr;
    }
    if (m_pItemBar) {
        std::unique_ptr<CGradientMenuBar> bar(m_pItemBar);
        m_pItemBar = nullptr;
        if (bar->GetSafeHwnd())
            ::DestroyWindow(bar->GetSafeHwnd());
    }
    if (m_hWnd && ::IsWindow(m_hWnd))
        DestroyWindow();
}

void CGradientMenu::PostNcDestroy()
{
    // A kept window goes with its owner: so do its bar's records and fonts.
    // During a run, the run frees them once its loop has returned.
    if (!m_bOpen && m_pItemBar) {
        delete m_pItemBar;
        m_pItemBar = nullptr;
    }
    m_fontBand.Reset();
    m_nFontBandDpi = 0;
    m_bEntered = FALSE;
}

void CGradientMenu::NotifyExitMenuLoop()
{
    if (!m_bEntered)
        return;
    m_bEntered = FALSE;
    if (m_pOwner && ::IsWindow(m_pOwner->GetSafeHwnd()))
        m_pOwner->SendMessage(WM_EXITMENULOOP, 0, 0);
}

BOOL CGradientMenu::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    NotifyExitMenuLoop();
    if (!m_hWnd)
        return FALSE;
    if (CGradientMenu* parent = GetParentMenu())
        ::SetFocus(parent->GetSafeHwnd());
    return m_hWnd ? CWnd::DestroyWindow() : FALSE;
}

std::vector<std::unique_ptr<CGradientMenuItem>> CGradientMenu::ReadItems() const
{
    std::vector<std::unique_ptr<CGradientMenuItem>> items;
    const int count = m_hMenu ? ::GetMenuItemCount(m_hMenu) : 0;
    for (int i = 0; i < count; ++i) {
        auto item = std::make_unique<CGradientMenuItem>();
        ZeroMemory(item.get(), sizeof(CGradientMenuItem));
        // The size of the record this build knows: the 32-bit size would
        // make the call fail on 64 bits and leave the record unread.
        item->info.cbSize = sizeof(MENUITEMINFOA);
        item->info.fMask = MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_CHECKMARKS | MIIM_TYPE | MIIM_DATA;
        item->info.dwTypeData = item->text;
        item->info.cch = sizeof(item->text);
        if (!::GetMenuItemInfoA(m_hMenu, static_cast<UINT>(i), TRUE, &item->info))
            continue;
        item->text[sizeof(item->text) - 1] = '\0';
        if (item->info.fType & (MFT_SEPARATOR | MFT_BITMAP | MFT_OWNERDRAW))
            item->info.dwTypeData = nullptr;
        items.push_back(std::move(item));
    }
    return items;
}

BOOL CGradientMenu::BuildItemBar(CGradientMenuBar* bar)
{
    if (!bar || !m_hMenu)
        return FALSE;
    bar->SetDpi(m_nDpi);
    if (!bar->AddItems(ReadItems()))
        return FALSE;
    if (bar->GetButtonCount() == 0)
        return FALSE;
    m_sizeWindow = SizeItemBar();
    return TRUE;
}

BOOL CGradientMenu::ReuseItemBar()
{
    if (!m_pItemBar || !m_pItemBar->GetSafeHwnd() || !m_hMenu || !m_pItemBar->UpdateItems(ReadItems()))
        return FALSE;
    // Measured again only for a monitor of another DPI.
    m_nDpi = GetWindowDpi(m_hWnd);
    if (m_pItemBar->GetDpi() != m_nDpi)
        MeasureItemBarAgain();
    return TRUE;
}

void CGradientMenu::MeasureItemBarAgain()
{
    // The buttons measured in the font of the new DPI, free of the old width.
    m_pItemBar->SetDpi(m_nDpi);
    m_pItemBar->SendMessage(TB_SETBUTTONWIDTH, 0, MAKELONG(0, 0));
    m_pItemBar->SendMessage(TB_AUTOSIZE, 0, 0);
    m_sizeWindow = SizeItemBar();
}

void CGradientMenu::ShowWindowAt(int x, int y, LPCRECT itemRect)
{
    const POINT anchor{x, y};
    const RECT area = MonitorRect(itemRect ? *itemRect : RECT{x, y, x + 1, y + 1});
    const POINT at = PlaceWindow(area, m_sizeWindow, anchor, itemRect, nullptr);
    // In the topmost band again (a kept window left it), with its bar.
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, at.x, at.y, m_sizeWindow.cx, m_sizeWindow.cy, SWP_SHOWWINDOW);
}

SIZE CGradientMenu::SizeItemBar()
{
    CGradientMenuBar* bar = m_pItemBar;
    const int checkWidth = bar->CheckMarkSize();
    bar->SendMessage(TB_SETBITMAPSIZE, 0, MAKELONG(checkWidth, checkWidth));
    // Equal widths, with room for the submenu arrow at the right.  The
    // control does not always count the text of a list-style button (Wine
    // does not), so the widest text decides as well.
    const RECT row = bar->GetItemRect(0);
    const int widest = std::max<int>(LOWORD(bar->SendMessage(TB_GETBUTTONSIZE, 0, 0)),
                                     (row.bottom - row.top) + 2 + bar->GetWidestText() + 6);
    const int width = widest + checkWidth;
    bar->SendMessage(TB_SETBUTTONWIDTH, 0, MAKELONG(width, width));
    // The rows are laid out for the bar's own width (a wrapping toolbar
    // rewraps when it is resized), so it gets that width before they are
    // measured.
    ::MoveWindow(bar->GetSafeHwnd(), Band(), 0, width + 6, ::GetSystemMetrics(SM_CYSCREEN), FALSE);
    bar->SendMessage(TB_AUTOSIZE, 0, 0);

    const RECT first = bar->GetItemRect(0);
    const RECT last = bar->GetItemRect(bar->GetButtonCount() - 1);
    const int itemsWidth = first.right - first.left;
    const SIZE size{itemsWidth + Band() + 6, (last.bottom - first.top) + 6};
    ::SetWindowPos(bar->GetSafeHwnd(), nullptr, Band(), 0, itemsWidth + 6, size.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_SHOWWINDOW);
    return size;
}

POINT CGradientMenu::PlaceWindow(const RECT& d, SIZE size, POINT anchor, LPCRECT itemRect, BOOL* fits)
{
    const int w = size.cx;
    const int h = size.cy;
    // The four strict tests.
    auto right = [&](int x) { return x + w < d.right; };
    auto left = [&](int x) { return x - w > d.left; };
    auto down = [&](int y) { return y + h < d.bottom; };
    auto up = [&](int y) { return y - h > d.top; };
    if (fits)
        *fits = TRUE;
    if (!itemRect) {
        const int x = anchor.x;
        const int y = anchor.y;
        if (right(x) && down(y))
            return {x, y};
        if (left(x) && down(y))
            return {x - w, y};
        if (right(x) && up(y))
            return {x, y - h};
        if (left(x) && up(y))
            return {x - w, y - h};
        if (fits)
            *fits = FALSE;
        return {x, y};
    }
    const RECT& r = *itemRect;
    if (right(r.right) && down(r.top))
        return {r.right, r.top};
    if (right(r.right) && up(r.bottom))
        return {r.right, r.bottom - h};
    if (left(r.left) && down(r.top))
        return {r.left - w, r.top};
    if (left(r.left) && up(r.bottom))
        return {r.left - w, r.bottom - h};
    if (fits)
        *fits = FALSE;
    // Fits nowhere: beside the item as far as the screen allows.
    const int x = std::max<int>(d.left, std::min<int>(r.right, d.right - w));
    const int y = std::max<int>(d.top, std::min<int>(r.top, d.bottom - h));
    return {x, y};
}

void CGradientMenu::CloseMenuChain()
{
    if (!m_hWnd || !m_bOpen)
        return;
    if (CGradientMenu* parent = GetParentMenu())
        parent->CloseMenuChain();
    if (m_hWnd) {
        CloseSubmenus();
        EndModalLoop(0);
        m_pOpenSubmenu = nullptr;
    }
}

void CGradientMenu::DestroyMenuChain()
{
    std::vector<CGradientMenu*> chain;
    for (CGradientMenu* menu = this; menu && menu->m_hWnd; menu = menu->m_pOpenSubmenu)
        chain.push_back(menu);
    m_nChosenCommand = 0;
    CloseMenuChain();
    // Deepest first, so each parent takes the focus back on the way out;
    // the loops see their windows gone and return.
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if ((*it)->m_hWnd)
            (*it)->DestroyWindow();
    }
}

void CGradientMenu::CloseSubmenus()
{
    if (CGradientMenu* sub = m_pOpenSubmenu) {
        sub->CloseSubmenus();
        sub->EndModalLoop(0);
        m_pOpenSubmenu = nullptr;
    }
}

void CGradientMenu::ChooseCommand(UINT id)
{
    CGradientMenu* top = this;
    while (CGradientMenu* parent = top->GetParentMenu())
        top = parent;
    top->m_nChosenCommand = id;
    CloseMenuChain();
}

BOOL CGradientMenu::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_PAINT || message == WM_PRINTCLIENT) {
        OnPaint(message == WM_PRINTCLIENT ? reinterpret_cast<HDC>(wParam) : nullptr);
        return TRUE;
    }
    if (message == WM_ERASEBKGND) {
        // Beside the band, the menu's colour: the item bar is transparent
        // and asks for this under its gaps.
        RECT client;
        GetClientRect(&client);
        client.left = std::max<LONG>(client.left, Band());
        FillStrip(reinterpret_cast<HDC>(wParam), client.left, client.top, client.right - client.left,
                  client.bottom - client.top, ::GetSysColor(COLOR_MENU));
        *result = 1;
        return TRUE;
    }
    if (message == WM_ACTIVATE) {
        OnActivate(LOWORD(wParam), reinterpret_cast<HWND>(lParam));
        return TRUE;
    }
    if (message == WM_KEYDOWN || message == WM_CHAR) {
        // Mnemonics are characters: a key that types none (a function key,
        // Shift, Ctrl) chooses nothing, and neither do the number pad's
        // keys, whose codes share their values with letters.
        if (message == WM_KEYDOWN)
            m_bNumberPadKey = wParam >= VK_NUMPAD0 && wParam <= VK_DIVIDE;
        else if (m_bNumberPadKey || wParam < ' ')
            return TRUE;
        HWND target = m_pOpenSubmenu ? m_pOpenSubmenu->GetSafeHwnd() : nullptr;
        if (!target && m_pItemBar)
            target = m_pItemBar->GetSafeHwnd();
        if (target)
            ::SendMessageA(target, message, wParam, lParam);
        return TRUE;
    }
    if (message == WM_SYSKEYDOWN || message == WM_CANCELMODE) {
        CloseMenuChain();
        return FALSE;
    }
    if (message == WM_COMMAND) {
        // The item bar's own notifications (Space on a hot button), or any
        // other command sent here, are no choice: only what the menu chose
        // reaches the owner, posted once every level has closed.
        return TRUE;
    }
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && m_pItemBar && header->hwndFrom == m_pItemBar->GetSafeHwnd() &&
            header->code == NM_CUSTOMDRAW) {
            m_pItemBar->OnCustomDraw(reinterpret_cast<NMTBCUSTOMDRAW*>(lParam), result);
            return TRUE;
        }
        return FALSE;
    }
    if (message == WM_DPICHANGED) {
        OnDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        *result = 0;
        return TRUE;
    }
    if (message == WM_GMENU_SUBMENU_CLOSED) {
        if (m_pItemBar)
            m_pItemBar->SendMessage(WM_GMENU_SUBMENU_CLOSED, 0, 0);
        return TRUE;
    }
    if (message == WM_GMENU_OPEN_SUBMENU) {
        *result = OnOpenSubmenu(wParam, lParam);
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

void CGradientMenu::OnDpiChanged(UINT dpi, const RECT* suggested)
{
    // Moved to a monitor of another DPI: the band, the font, the rows and
    // the check marks follow at once, at the place the system suggests.
    m_nDpi = dpi ? dpi : 96;
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    SIZE size{window.right - window.left, window.bottom - window.top};
    if (m_pItemBar) {
        MeasureItemBarAgain();
        size = m_sizeWindow;
    }
    const POINT at = suggested ? POINT{suggested->left, suggested->top} : POINT{window.left, window.top};
    ::MoveWindow(m_hWnd, at.x, at.y, size.cx, size.cy, TRUE);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CGradientMenu::OnActivate(UINT state, HWND other)
{
    // Activation leaving for anything that is not one of the chain's menus
    // (another program, another window of this one) closes every level;
    // moving between the menus of the chain closes nothing.
    if (!other) {
        CloseMenuChain();
        return;
    }
    if (::IsWindow(other) && state == WA_INACTIVE && !FromWindow(other))
        CloseMenuChain();
}

LRESULT CGradientMenu::OnOpenSubmenu(WPARAM point, LPARAM flags)
{
    if (!m_pItemBar)
        return 0;
    const POINT at{static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    const int index = m_pItemBar->ItemAt(at);
    const CGradientMenuItem* item = m_pItemBar->GetItem(index);
    if (!item || !item->HasSubmenu())
        return 0;
    RECT rect = m_pItemBar->GetItemRect(index);
    ::MapWindowPoints(m_pItemBar->GetSafeHwnd(), nullptr, reinterpret_cast<POINT*>(&rect), 2);

    CGradientMenu sub(m_bBandOnSubmenus ? m_nBandWidth : 0, m_bBandOnSubmenus);
    sub.SetBandColors(m_clrBandTop, m_clrBandBottom, m_clrBandText);
    sub.m_pOwner = m_pOwner;
    sub.SetBandText(WithoutAmpersands(item->info.dwTypeData));
    sub.Attach(item->info.hSubMenu);
    sub.m_nFlags = (static_cast<DWORD>(flags) & GMF_SELECT_FIRST) | GMF_SUBMENU;
    rect.left -= Band();
    sub.TrackMenu(0, 0, 0, this, &rect);
    // The submenu belongs to its parent menu, not to this run.
    sub.Detach();
    if (m_pOpenSubmenu == &sub)
        m_pOpenSubmenu = nullptr;
    return 0;
}

void CGradientMenu::OnPaint(HDC printDC)
{
    CPaintDC dc(this, printDC);
    if (!dc.GetSafeHdc())
        return;
    RECT client;
    GetClientRect(&client);
    RECT band = client;
    band.right = Band();
    DrawGradient(dc, band, m_clrBandTop, m_clrBandBottom);
    if (Band() <= 0 || m_strBandText.IsEmpty())
        return;

    // Kept from paint to paint and from one opening to the next, while
    // the DPI stays.
    if (!m_fontBand || m_nFontBandDpi != m_nDpi) {
        m_fontBand.Reset(::CreateFontA(ScaleForDpi(20, m_nDpi), 0, 900, 900, FW_BOLD, FALSE, FALSE, FALSE, 0, 0, 0,
                                       0, 0, "Arial"));
        m_nFontBandDpi = m_nDpi;
    }
    CSelectObjectGuard selectFont(dc, m_fontBand.Get());
    const COLORREF oldColour = ::SetTextColor(dc, m_clrBandText);
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    RECT text{2, client.top, Band(), client.bottom};
    ::DrawTextA(dc, m_strBandText, -1, &text, DT_SINGLELINE | DT_BOTTOM);
    ::SetBkMode(dc, oldMode);
    ::SetTextColor(dc, oldColour);
}

void CGradientMenu::DrawGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom)
{
    const int height = rect.bottom - rect.top;
    const int width = rect.right - rect.left;
    if (height <= 0 || width <= 0)
        return;
    const int step = std::max(1, height / 128);
    auto channel = [&](int a, int z, int p) {
        const int delta = std::abs(a - z) * std::min(p, height) / height;
        return a >= z ? z + delta : z - delta;
    };
    for (int k = 1;; ++k) {
        const int p = k * step;
        const int y = rect.top + (height - p);
        const COLORREF colour = RGB(channel(GetRValue(top), GetRValue(bottom), p),
                                    channel(GetGValue(top), GetGValue(bottom), p),
                                    channel(GetBValue(top), GetBValue(bottom), p));
        FillStrip(dc, rect.left, y, width, step, colour);
        if (y <= rect.top)
            break;
    }
}
