#include "framework/Menu.h"

#include "framework/App.h"

CMenu::~CMenu()
{
    DestroyMenu();
}

BOOL CMenu::Attach(HMENU menu)
{
    if (!menu || m_hMenu)
        return FALSE;
    m_hMenu = menu;
    return TRUE;
}

HMENU CMenu::Detach()
{
    HMENU menu = m_hMenu;
    m_hMenu = nullptr;
    return menu;
}

BOOL CMenu::DestroyMenu()
{
    if (!m_hMenu)
        return FALSE;
    return ::DestroyMenu(Detach());
}

BOOL CMenu::LoadMenu(UINT id)
{
    HMENU menu = ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id));
    if (!Attach(menu)) {
        if (menu)
            ::DestroyMenu(menu);
        return FALSE;
    }
    return TRUE;
}

HMENU CMenu::GetSubMenu(int position) const
{
    return m_hMenu ? ::GetSubMenu(m_hMenu, position) : nullptr;
}

UINT CMenu::GetMenuItemCount() const
{
    const int count = m_hMenu ? ::GetMenuItemCount(m_hMenu) : 0;
    return count > 0 ? static_cast<UINT>(count) : 0;
}
