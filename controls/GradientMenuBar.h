// CGradientMenuBar: the column of items inside a gradient menu window, a
// toolbar control with one button per menu item.  It follows the mouse and
// the keys its menu window passes on, turns a choice into the owner's
// command or opens a submenu, and paints every item itself through the
// control's custom-draw notification.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

#include "framework/Handles.h"
#include "framework/ToolBar.h"

class CGradientMenu;

// One item as the menu gave it: the item's record and its own text.
struct CGradientMenuItem {
    MENUITEMINFOA info;
    char text[MAX_PATH];

    BOOL HasSubmenu() const { return info.hSubMenu != nullptr; }
    // Greyed or disabled: never chosen.
    BOOL IsDisabled() const { return (info.fState & (MFS_GRAYED | MFS_DISABLED)) != 0; }
    BOOL IsGreyed() const { return (info.fState & MF_GRAYED) != 0; }
    BOOL IsSeparator() const { return (info.fType & MFT_SEPARATOR) != 0; }
};

class CGradientMenuBar : public CToolBar {
public:
    CGradientMenuBar();

    // Creates the bar inside `menu`'s window.
    BOOL Create(CGradientMenu* menu);
    // One button for each item, in one go (the control lays itself out
    // once); the bar keeps the records until it is destroyed.
    BOOL AddItems(std::vector<std::unique_ptr<CGradientMenuItem>> items);
    // The records of a new opening of the same menu: states, check marks
    // and pictures taken over, the buttons and their sizes kept.  FALSE,
    // with nothing changed, when an item's kind, id, text or submenu differs.
    BOOL UpdateItems(std::vector<std::unique_ptr<CGradientMenuItem>> items);
    // The end of an opening: no hot item, no pictures (their owner frees
    // them), nothing remembered of the mouse.
    void ForgetOpening();
    // The record of button `index`, or null.
    const CGradientMenuItem* GetItem(int index) const;
    // The button at an item-bar point that is an item (no gap, no
    // separator), or -1.
    int ItemAt(POINT point) const;
    RECT GetItemRect(int index) const;
    int GetHotItem() const;
    // The width of the widest item text in the menu font.
    int GetWidestText() const;
    int GetLastHotId() const { return m_nLastHotId; }
    // The menu font and the check marks for a monitor of `dpi` (the
    // system's metrics are the system DPI's).
    void SetDpi(UINT dpi);
    int CheckMarkSize() const;
    UINT GetDpi() const { return m_nDpi; }

    // Item painting, from the menu window's NM_CUSTOMDRAW of this bar.
    virtual void OnCustomDraw(NMTBCUSTOMDRAW* draw, LRESULT* result);
    virtual void OnMouseMove(UINT flags, POINT point);

    // Draws `bitmap` (or the system check mark) centred in `cell`.
    BOOL DrawItemImage(HDC dc, const RECT& cell, BOOL hot, HBITMAP bitmap, BOOL checked, BOOL greyed);

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    int OnCreate(CREATESTRUCTA* cs);
    void OnLButtonDown(UINT flags, POINT point);
    LRESULT OnGMenuClick(WPARAM flags, LPARAM point);
    void OnMouseHover();
    // The menu's own keys; FALSE leaves the key to the control.
    BOOL HandleKey(UINT key);
    // The item whose mnemonic is `ch`: chosen when it is the only one, else
    // the next of them made hot; no match asks the owner.
    void OnChar(UINT ch);
    // Up and Down: the next item that can be chosen, wrapping around.
    void MoveHotItem(int direction);
    // A click on button `index` as the mouse would make it.
    void ClickItem(int index, WPARAM flags);
    void PaintItem(NMTBCUSTOMDRAW* draw);

    CGradientMenu* Menu() const;

    int m_nLastHotId;
    int m_nOpenIndex;
    CFontHandle m_fontMenu;
    UINT m_nDpi;
    POINT m_ptHover;
    int m_nHoverIndex;
    std::vector<std::unique_ptr<CGradientMenuItem>> m_items;
};

// A copy of `bitmap` in the system's colours for one item: its four
// standard greys follow the colour scheme, or one bit per pixel for a
// greyed item.  The caller deletes it; null on failure.
HBITMAP CreateMappedItemBitmap(HDC dc, HBITMAP bitmap, BOOL greyed, BOOL hot);
// Fills one rectangle with `colour` (PatBlt through a brush of its own).
void FillStrip(HDC dc, int x, int y, int width, int height, COLORREF colour);
