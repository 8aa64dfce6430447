#include "framework/App.h"

#include <commctrl.h>

#include "framework/ProgramPath.h"

namespace {

// The application object of the program (there is at most one).
CWinApp* g_app = nullptr;

CString ProgramTitle()
{
    CString title = GetProgramPath();
    title = title.Mid(title.ReverseFind('\\') + 1);
    const int dot = title.ReverseFind('.');
    return dot > 0 ? title.Left(dot) : title;
}

}  // namespace

CWinApp::CWinApp(LPCSTR appName)
{
    g_app = this;
    SetAppName(appName ? CString(appName) : ProgramTitle());
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

void CWinApp::SetAppName(LPCSTR name)
{
    m_strAppName = name;   // copies first, so `name` may be m_pszAppName itself
    m_pszAppName = m_strAppName;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    MSG msg{};
    for (;;) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            m_nExitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (got == -1) {
            m_nExitCode = -1;
            break;
        }
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    return ExitInstance();
}

int CWinApp::ExitInstance()
{
    return m_nExitCode;
}

BOOL CWinApp::PreTranslateMessage(MSG* msg)
{
    return AfxPreTranslateMessage(msg);
}

HICON CWinApp::LoadIcon(UINT id) const
{
    return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id));
}

BOOL AfxPreTranslateMessage(MSG* msg)
{
    if (!msg)
        return FALSE;
    for (HWND hWnd = msg->hwnd; hWnd; hWnd = ::GetParent(hWnd)) {
        CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
        if (wnd && wnd->PreTranslateMessage(msg))
            return TRUE;
    }
    return FALSE;
}

CWinApp* AfxGetApp()
{
    return g_app;
}

CWnd* AfxGetMainWnd()
{
    return g_app ? g_app->m_pMainWnd : nullptr;
}

HINSTANCE AfxGetInstanceHandle()
{
    if (g_app && g_app->m_hInstance)
        return g_app->m_hInstance;
    return ::GetModuleHandleA(nullptr);
}

HINSTANCE AfxGetResourceHandle()
{
    return AfxGetInstanceHandle();
}

int TpxMessageBoxEx(HWND owner, LPCSTR text, LPCSTR caption, UINT type, WORD language)
{
    if (owner && !::IsWindow(owner))
        owner = nullptr;
    return ::MessageBoxExA(owner, text ? text : "", caption, type, language);
}

int AfxMessageBox(LPCSTR text, UINT type)
{
    if ((type & MB_ICONMASK) == 0) {
        switch (type & MB_TYPEMASK) {
        case MB_OK:
        case MB_OKCANCEL:
            type |= MB_ICONEXCLAMATION;
            break;
        case MB_YESNO:
        case MB_YESNOCANCEL:
            type |= MB_ICONQUESTION;
            break;
        default:
            break;
        }
    }
    CWnd* mainWnd = AfxGetMainWnd();
    const CString caption = g_app ? CString(g_app->m_pszAppName) : ProgramTitle();
    return TpxMessageBoxEx(mainWnd ? mainWnd->GetSafeHwnd() : nullptr, text, caption, type,
                           LANG_NEUTRAL);
}

int AfxWinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int cmdShow)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    app->m_hInstance = instance;
    app->m_lpCmdLine = cmdLine;
    app->m_nCmdShow = cmdShow;

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    if (!app->InitInstance()) {
        if (CWnd* mainWnd = app->m_pMainWnd)
            mainWnd->DestroyWindow();
        // The quit message the destruction posted is not wanted any more.
        MSG quit;
        ::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        return app->ExitInstance();
    }
    return app->Run();
}
