// CMenu owns one menu (HMENU) and destroys it with itself, unless it was
// detached first.  Derived menu windows show the menu it holds.
#pragma once

#include <windows.h>

class CMenu {
public:
    CMenu() = default;
    virtual ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    HMENU m_hMenu = nullptr;
    HMENU GetSafeHmenu() const { return m_hMenu; }
    operator HMENU() const { return m_hMenu; }

    // Takes ownership of `menu`; FALSE (and nothing taken) for a null
    // handle or when a menu is already attached.
    BOOL Attach(HMENU menu);
    HMENU Detach();
    BOOL DestroyMenu();
    BOOL LoadMenu(UINT id);   // from the resource module

    // The submenu at a top-level position, or null.
    HMENU GetSubMenu(int position) const;
    UINT GetMenuItemCount() const;
};
