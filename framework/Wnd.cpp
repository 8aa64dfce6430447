#include "framework/Wnd.h"

#include "framework/App.h"

namespace {

// The window property that carries the link to the window object.
const char kLinkProperty[] = "Tapestrix.CWnd";
// The framework's own window class for CreateEx without a class name.
const char kDefaultClass[] = "TpxWnd";

BOOL RegisterDefaultClass(HINSTANCE instance)
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    if (GetClassInfoExA(instance, kDefaultClass, &wc))
        return TRUE;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = CWnd::StdWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kDefaultClass;
    return RegisterClassExA(&wc) != 0;
}

}  // namespace

const CRuntimeClass CWnd::classCWnd = {"CWnd", nullptr};

CWnd::~CWnd()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    // A window of another thread or an already destroyed one: forget it.
    if (m_hWnd)
        UnlinkWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    if (!hWnd)
        return nullptr;
    return static_cast<CWnd*>(::GetPropA(hWnd, kLinkProperty));
}

void CWnd::LinkWindow(HWND hWnd)
{
    m_hWnd = hWnd;
    ::SetPropA(hWnd, kLinkProperty, this);
}

void CWnd::UnlinkWindow()
{
    if (m_hWnd && ::GetPropA(m_hWnd, kLinkProperty) == this)
        ::RemovePropA(m_hWnd, kLinkProperty);
    m_hWnd = nullptr;
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        ::PostQuitMessage(0);
    }
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTA& cs)
{
    if (!cs.lpszClass) {
        if (!RegisterDefaultClass(cs.hInstance))
            return FALSE;
        cs.lpszClass = kDefaultClass;
    }
    return TRUE;
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                    const RECT& rect, CWnd* parent, UINT id)
{
    if (m_hWnd)
        return FALSE;
    CREATESTRUCTA cs{};
    cs.dwExStyle = exStyle;
    cs.lpszClass = className;
    cs.lpszName = windowName;
    cs.style = style;
    cs.x = rect.left;
    cs.y = rect.top;
    cs.cx = rect.right - rect.left;
    cs.cy = rect.bottom - rect.top;
    cs.hwndParent = parent ? parent->m_hWnd : nullptr;
    cs.hMenu = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id));
    cs.hInstance = AfxGetInstanceHandle();
    cs.lpCreateParams = this;
    if (!PreCreateWindow(cs))
        return FALSE;
    HWND hWnd = ::CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, cs.style, cs.x, cs.y,
                                  cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance, this);
    return hWnd != nullptr;
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::OnWndMsg(UINT, WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    try {
        if (!ReflectChildMessage(message, wParam, lParam, &result) && !OnWndMsg(message, wParam, lParam, &result))
            result = DefWindowProc(message, wParam, lParam);
    } catch (...) {
        // A handler that ran out of memory: the message counts as handled.
        result = 0;
    }
    return result;
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

BOOL CWnd::ReflectChildMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const bool fromControl = (message == WM_COMMAND && lParam) ||
                             (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC);
    if (!fromControl)
        return FALSE;
    CWnd* control = FromHandlePermanent(reinterpret_cast<HWND>(lParam));
    return control && control->OnChildNotify(message, wParam, lParam, result);
}

LRESULT CALLBACK CWnd::StdWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        if (auto* wnd = static_cast<CWnd*>(cs->lpCreateParams))
            wnd->LinkWindow(hWnd);
    }
    CWnd* wnd = FromHandlePermanent(hWnd);
    if (!wnd)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    const LRESULT result = wnd->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        wnd->UnlinkWindow();
        wnd->PostNcDestroy();
    }
    return result;
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapseMs, TIMERPROC proc)
{
    return m_hWnd ? ::SetTimer(m_hWnd, id, elapseMs, proc) : 0;
}

BOOL CWnd::KillTimer(UINT_PTR id)
{
    return m_hWnd ? ::KillTimer(m_hWnd, id) : FALSE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return m_hWnd ? ::SendMessageA(m_hWnd, message, wParam, lParam) : 0;
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return m_hWnd ? ::PostMessageA(m_hWnd, message, wParam, lParam) : FALSE;
}

BOOL CWnd::ShowWindow(int cmdShow)
{
    return m_hWnd ? ::ShowWindow(m_hWnd, cmdShow) : FALSE;
}

BOOL CWnd::IsWindowVisible() const
{
    return m_hWnd && ::IsWindowVisible(m_hWnd);
}

BOOL CWnd::IsIconic() const
{
    return m_hWnd && ::IsIconic(m_hWnd);
}

BOOL CWnd::SetForegroundWindow()
{
    return m_hWnd ? ::SetForegroundWindow(m_hWnd) : FALSE;
}

void CWnd::GetClientRect(LPRECT rect) const
{
    if (!rect)
        return;
    if (!m_hWnd || !::GetClientRect(m_hWnd, rect))
        ::SetRectEmpty(rect);
}

HICON CWnd::SetIcon(HICON icon, BOOL bigIcon)
{
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

HWND CWnd::GetDlgItem(int id) const
{
    return m_hWnd ? ::GetDlgItem(m_hWnd, id) : nullptr;
}

void CWnd::SetWindowText(LPCSTR text)
{
    if (m_hWnd)
        ::SetWindowTextA(m_hWnd, text ? text : "");
}

CString CWnd::GetWindowText() const
{
    CString text;
    if (!m_hWnd)
        return text;
    const int length = ::GetWindowTextLengthA(m_hWnd);
    if (length > 0) {
        ::GetWindowTextA(m_hWnd, text.GetBuffer(length), length + 1);
        text.ReleaseBuffer();
    }
    return text;
}

// ---------------------------------------------------------------- CDialog

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

BOOL CDialog::Create(UINT templateId, CWnd* parent)
{
    if (m_hWnd)
        return FALSE;
    m_nIDTemplate = templateId;
    m_pParentWnd = parent;
    m_bModal = FALSE;
    HWND hWnd = ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(templateId),
                                     parent ? parent->m_hWnd : nullptr, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    return hWnd != nullptr;
}

INT_PTR CDialog::DoModal()
{
    if (m_hWnd)
        return -1;
    m_bModal = TRUE;
    const INT_PTR result = ::DialogBoxParamA(
        AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate),
        m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
    m_bModal = FALSE;
    return result;
}

void CDialog::EndDialog(int result)
{
    if (m_hWnd)
        ::EndDialog(m_hWnd, result);
}

BOOL CDialog::PreTranslateMessage(MSG* msg)
{
    // Keyboard navigation (Tab, arrows, mnemonics) of a modeless dialog;
    // a modal one gets it from its own loop.
    if (m_bModal || !m_hWnd || !msg)
        return FALSE;
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST)
        return FALSE;
    return ::IsDialogMessageA(m_hWnd, msg);
}

BOOL CDialog::OnInitDialog()
{
    return TRUE;
}

void CDialog::OnOK()
{
    if (m_bModal)
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    if (m_bModal)
        EndDialog(IDCANCEL);
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_INITDIALOG) {
        *result = OnInitDialog();
        return TRUE;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

LRESULT CDialog::DefWindowProc(UINT, WPARAM, LPARAM)
{
    return 0;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialog* linkAtInit = message == WM_INITDIALOG ? reinterpret_cast<CDialog*>(lParam) : nullptr;
    return RouteDialogMessage(linkAtInit, hWnd, message, wParam, lParam);
}

INT_PTR CDialog::RouteDialogMessage(CDialog* linkAtInit, HWND hWnd, UINT message, WPARAM wParam,
                                    LPARAM lParam)
{
    if (linkAtInit)
        linkAtInit->LinkWindow(hWnd);
    CWnd* wnd = FromHandlePermanent(hWnd);
    if (!wnd)
        return FALSE;

    LRESULT result = 0;
    BOOL handled = FALSE;
    try {
        handled = ReflectChildMessage(message, wParam, lParam, &result) ||
                  wnd->OnWndMsg(message, wParam, lParam, &result);
    } catch (...) {
        handled = FALSE;
    }
    if (message == WM_NCDESTROY) {
        wnd->UnlinkWindow();
        wnd->PostNcDestroy();
    }
    if (!handled)
        return FALSE;

    switch (message) {
    // These few answer through the procedure's own return value.
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return static_cast<INT_PTR>(result);
    default:
        ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
}
