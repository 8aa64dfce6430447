#include "framework/ToolBar.h"

#include "framework/App.h"

namespace {

const char kToolBarClass[] = "TpxToolBar";
// The system toolbar's own procedure, found when our class is registered.
WNDPROC g_toolBarProc = nullptr;

BOOL RegisterToolBarClass(HINSTANCE instance)
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    if (g_toolBarProc && GetClassInfoExA(instance, kToolBarClass, &wc))
        return TRUE;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&icc);
    if (!GetClassInfoExA(nullptr, TOOLBARCLASSNAMEA, &wc))
        return FALSE;
    g_toolBarProc = wc.lpfnWndProc;
    wc.cbSize = sizeof(wc);
    wc.style &= ~CS_GLOBALCLASS;
    wc.lpfnWndProc = CWnd::StdWndProc;
    wc.hInstance = instance;
    wc.lpszClassName = kToolBarClass;
    return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

BOOL CToolBar::PreCreateWindow(CREATESTRUCTA& cs)
{
    if (!RegisterToolBarClass(cs.hInstance))
        return FALSE;
    cs.lpszClass = kToolBarClass;
    return TRUE;
}

BOOL CToolBar::CreateEx(CWnd* parent, DWORD ctrlStyle, DWORD style, UINT id)
{
    if (!parent || !parent->GetSafeHwnd())
        return FALSE;
    const RECT none{};
    style = (style & ~WS_POPUP) | WS_CHILD | ctrlStyle | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER;
    if (!CWnd::CreateEx(0, nullptr, nullptr, style, none, parent, id))
        return FALSE;
    SendMessage(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    return TRUE;
}

BOOL CToolBar::SetButtonText(int index, LPCSTR text)
{
    TBBUTTONINFOA info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT | TBIF_BYINDEX;
    info.pszText = const_cast<LPSTR>(text ? text : "");
    return SendMessage(TB_SETBUTTONINFOA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&info)) != 0;
}

int CToolBar::CommandToIndex(UINT id) const
{
    return static_cast<int>(SendMessage(TB_COMMANDTOINDEX, id, 0));
}

int CToolBar::GetButtonCount() const
{
    return static_cast<int>(SendMessage(TB_BUTTONCOUNT, 0, 0));
}

LRESULT CToolBar::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!g_toolBarProc)
        return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
    return ::CallWindowProcA(g_toolBarProc, m_hWnd, message, wParam, lParam);
}
