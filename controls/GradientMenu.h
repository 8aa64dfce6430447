// CGradientMenu: a popup menu shown in a window of the program's own instead
// of the system's menu: a side band with a vertical colour gradient and a
// caption reading upward, beside one column of owner-drawn items (the item
// bar, controls/GradientMenuBar.h).  TrackMenu shows it at a point and runs
// its own modal loop until the user chooses or dismisses; submenus are
// further instances, each running a loop nested in the one that opened it.
// The choice reaches the owner window as a posted WM_COMMAND once every
// level has closed.  A top-level menu keeps its window and item bar,
// hidden, from one opening to the next while its owner lives.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "framework/Handles.h"
#include "framework/Menu.h"
#include "framework/String.h"
#include "framework/Wnd.h"

// Private messages of a menu window and its item bar.
#define WM_GMENU_CLICK (WM_USER + 101)            // item bar, posted to itself
#define WM_GMENU_SUBMENU_CLOSED (WM_USER + 102)   // left a submenu with Left
#define WM_GMENU_OPEN_SUBMENU (WM_USER + 103)     // WPARAM item-bar point, LPARAM flags

// The menu's own flags (m_nFlags).
#define GMF_SUBMENU 0x0001        // this instance is a submenu
#define GMF_SELECT_FIRST 0x0100   // make the first item hot when shown

class CGradientMenuBar;
struct CGradientMenuItem;

class CGradientMenu : public CWnd, public CMenu {
    DECLARE_RUNTIME_CLASS(CGradientMenu)

public:
    CGradientMenu(int bandWidth, BOOL bandOnSubmenus);
    ~CGradientMenu() override;

    // Shows the menu at (x, y) (screen; lpItemRect null) or beside the
    // screen rectangle *lpItemRect of the item that opened it, and returns
    // when it and its submenus have closed.  FALSE, with nothing shown, when
    // the owner is no window, the menu is already open or the window cannot
    // be created.
    BOOL TrackMenu(UINT nFlags, int x, int y, CWnd* pOwner, LPCRECT lpItemRect);
    // Between TrackMenu's showing the menu and its return.
    BOOL IsOpen() const { return m_bOpen; }

    // Closes this menu and every menu above and below it.
    void CloseMenuChain();
    // Closes the chain from its top-level menu and destroys every window of
    // it now, choosing nothing: a modal loop is about to start under it.
    void DestroyMenuChain();
    // Closes every menu below this one, deepest first.
    void CloseSubmenus();
    // The item bar's choice of a command: remembered by the top-level menu,
    // which posts it to the owner after it has closed; then the chain closes.
    void ChooseCommand(UINT id);

    // The live gradient menu of `hWnd`, or null.
    static CGradientMenu* FromWindow(HWND hWnd);
    // The parent menu of a submenu's window, or null.
    CGradientMenu* GetParentMenu() const;

    // Where a menu of `size` goes inside `area`: beside the anchor for a top
    // level (itemRect null), beside the item otherwise.  `fits` tells
    // whether one of the four directions fitted; a submenu that fits nowhere
    // is pushed inside the area.
    static POINT PlaceWindow(const RECT& area, SIZE size, POINT anchor, LPCRECT itemRect, BOOL* fits);

    void SetBandText(LPCSTR text) { m_strBandText = text ? text : ""; }
    void SetBandColors(COLORREF top, COLORREF bottom, COLORREF text);
    LPCSTR GetBandText() const { return m_strBandText; }
    int GetBandWidth() const { return m_nBandWidth; }
    COLORREF GetBandTopColor() const { return m_clrBandTop; }
    COLORREF GetBandBottomColor() const { return m_clrBandBottom; }
    COLORREF GetBandTextColor() const { return m_clrBandText; }
    CWnd* GetOwner() const { return m_pOwner; }
    CGradientMenuBar* GetItemBar() const { return m_pItemBar; }
    CGradientMenu* GetOpenSubmenu() const { return m_pOpenSubmenu; }

    BOOL DestroyWindow() override;

    // Fills `rect` of height H top to bottom from `top` to `bottom` in at
    // most 255 strips of H/128 pixels (at least one).
    static void DrawGradient(HDC dc, const RECT& rect, COLORREF top, COLORREF bottom);

protected:
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    void PostNcDestroy() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void OnPaint(HDC printDC);
    void OnActivate(UINT state, HWND other);
    LRESULT OnOpenSubmenu(WPARAM point, LPARAM flags);
    void OnDpiChanged(UINT dpi, const RECT* suggested);
    // The menu's items as records for the item bar.
    std::vector<std::unique_ptr<CGradientMenuItem>> ReadItems() const;
    // Fills the item bar from the menu and sizes it.
    BOOL BuildItemBar(CGradientMenuBar* bar);
    // The kept item bar brought up to date for this opening: FALSE when the
    // items changed more than their states and pictures.
    BOOL ReuseItemBar();
    // Gives the item bar's buttons one width for its font and check marks
    // and sizes the bar; returns the window's size.
    SIZE SizeItemBar();
    // Sizes the kept item bar again for m_nDpi.
    void MeasureItemBarAgain();
    // Places, shows and activates the window against the monitor of the
    // anchor.
    void ShowWindowAt(int x, int y, LPCRECT itemRect);
    // The owner hears that the menu loop has ended, once per opening.
    void NotifyExitMenuLoop();
    // A top level after its run: hidden, not topmost, no hot item, no
    // pictures of the opening, ready for the next.
    void Park();
    void TearDown();

    CWnd* m_pOwner;
    CGradientMenu* m_pOpenSubmenu;
    BOOL m_bBandOnSubmenus;
    int m_nBandWidth;
    DWORD m_nFlags;
    CGradientMenuBar* m_pItemBar;
    CString m_strBandText;
    COLORREF m_clrBandTop;
    COLORREF m_clrBandBottom;
    COLORREF m_clrBandText;
    // Shown and running (TrackMenu), and the owner told of the menu loop.
    BOOL m_bOpen;
    BOOL m_bEntered;
    // The window's size for the item bar as measured.
    SIZE m_sizeWindow;
    // The command chosen in this run (top level only), 0 for none.
    UINT m_nChosenCommand;
    // The last key pressed was one of the number pad's.
    BOOL m_bNumberPadKey;
    // The DPI of the menu's monitor, and the band's width at it.
    UINT m_nDpi;
    int Band() const { return ::MulDiv(m_nBandWidth, static_cast<int>(m_nDpi), 96); }
    // The caption's font, and the DPI it was made for.
    CFontHandle m_fontBand;
    UINT m_nFontBandDpi;
};
