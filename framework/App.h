// The application object and the program's entry.
//
// CWinApp is the one application object of a program: a global of a derived
// class, constructed before the entry runs.  AfxWinMain (called from the
// program's WinMain) runs its InitInstance, then its message loop until the
// main window is destroyed, then ExitInstance.  The application's name is the
// title of every message box.
//
// AfxMessageBox is the one door through which every message box of the
// program goes: owned by the main window, titled with the application name.
// TpxMessageBoxEx is the lower level for the few boxes with a caption and
// language of their own.
#pragma once

#include <windows.h>

#include "framework/String.h"
#include "framework/Wnd.h"

class CWinApp {
public:
    // `appName` null: the program file's name without its extension.
    explicit CWinApp(LPCSTR appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The title of every message box; change it with SetAppName.
    LPCSTR m_pszAppName = nullptr;
    // The main window: its destruction ends the message loop.
    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    LPSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = SW_SHOWNORMAL;

    void SetAppName(LPCSTR name);

    // Start-up: TRUE runs the message loop, FALSE ends the program.
    virtual BOOL InitInstance();
    // The message loop; returns the exit code from ExitInstance.
    virtual int Run();
    // Clean-up after the loop (or after a failed start-up); the exit code.
    virtual int ExitInstance();
    // Offers a message to the windows it is for before it is dispatched.
    virtual BOOL PreTranslateMessage(MSG* msg);

    HICON LoadIcon(UINT id) const;

private:
    CString m_strAppName;
    int m_nExitCode = 0;
};

CWinApp* AfxGetApp();
// The application's main window, or null (no application, none set, or
// already destroyed).
CWnd* AfxGetMainWnd();
// The program's module; the program file when no application exists yet.
HINSTANCE AfxGetInstanceHandle();
// The module resources are loaded from.
HINSTANCE AfxGetResourceHandle();

// Shows `text` with the buttons and icon of `type` (an exclamation mark for
// OK / OK-Cancel boxes, a question mark for Yes-No boxes, when `type` names
// none), owned by the main window and titled with the application's name.
int AfxMessageBox(LPCSTR text, UINT type = MB_OK);
int TpxMessageBoxEx(HWND owner, LPCSTR text, LPCSTR caption, UINT type, WORD language);

// The program's entry: WinMain hands over to this.
int AfxWinMain(HINSTANCE instance, HINSTANCE previous, LPSTR cmdLine, int cmdShow);
// Offers `msg` to the linked windows from its target up to the top-level
// window; TRUE when one of them consumed it.
BOOL AfxPreTranslateMessage(MSG* msg);
