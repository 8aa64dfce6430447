// Windows and dialogs of the program.
//
// CWnd is one window object linked to one window: the link is made when the
// window receives WM_NCCREATE (or WM_INITDIALOG for dialogs) and cut when it
// receives WM_NCDESTROY; it is kept as a property of the window itself, so
// there is no process-wide handle table.  Each class has one message map, the
// virtual OnWndMsg: a plain function of `if`s over (message, id, code) that
// calls typed handlers, returns TRUE for what it handled and passes the rest
// to its base class.  Anything a map leaves unhandled gets the window's
// default processing.  No exception ever leaves a window procedure.
//
// CDialog is a window built from a dialog template, modeless (Create) or
// modal (DoModal).
#pragma once

#include <windows.h>

#include "framework/RuntimeClass.h"
#include "framework/String.h"

class CWnd {
public:
    CWnd() = default;
    // Destroys the window if it still exists.
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The run-time class of the object, and whether it is `cls` or derives
    // from it.
    static const CRuntimeClass classCWnd;
    virtual const CRuntimeClass* GetRuntimeClass() const { return &classCWnd; }
    BOOL IsKindOf(const CRuntimeClass* cls) const { return GetRuntimeClass()->IsDerivedFrom(cls); }

    // The object linked to `hWnd`, or null for windows that are not ours
    // (message boxes, common dialogs, windows of other programs).
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Creates a window whose messages go to this object.  The class must use
    // CWnd::StdWndProc as its window procedure; a null class name means the
    // framework's own class.  Adjust the parameters in PreCreateWindow.
    BOOL CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                  const RECT& rect, CWnd* parent, UINT id);
    virtual BOOL DestroyWindow();

    // Gives the object a chance to handle `msg` before it is dispatched; the
    // application's loop offers every message to the window it is for and to
    // that window's parents.  TRUE means consumed.
    virtual BOOL PreTranslateMessage(MSG* msg);

    // A modal message loop for this window (framework/ModalLoop.cpp): it
    // pumps every message of the thread until EndModalLoop is called, the
    // window is gone or the quit message arrives (which it posts again for
    // the loop outside).  Returns the value given to EndModalLoop, or -1.
    int RunModalLoop(DWORD flags = 0);
    // Marks the loop ended; it leaves once the message it is dispatching
    // has been handled.
    void EndModalLoop(int result);
    BOOL ContinueModal() const { return m_bContinueModal; }

    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs, TIMERPROC proc = nullptr);
    BOOL KillTimer(UINT_PTR id);
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL ShowWindow(int cmdShow);
    BOOL IsWindowVisible() const;
    BOOL IsIconic() const;
    BOOL SetForegroundWindow();
    void GetClientRect(LPRECT rect) const;
    HICON SetIcon(HICON icon, BOOL bigIcon);
    HWND GetDlgItem(int id) const;
    void SetWindowText(LPCSTR text);
    CString GetWindowText() const;

    // The window procedure of every window created through CreateEx.
    static LRESULT CALLBACK StdWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // The message map.  TRUE: handled, with the result in *result.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // A control's own share of what it sends its parent (WM_COMMAND
    // notifications, WM_CTLCOLOR*): the parent offers it here first, so a
    // custom control needs no code in the dialog that holds it.  TRUE:
    // handled, with the parent's answer in *result.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Offers a parent's message to the linked control it came from.
    static BOOL ReflectChildMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Default processing of a message the map did not handle.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Last chance to adjust a window before CreateEx creates it.
    virtual BOOL PreCreateWindow(CREATESTRUCTA& cs);
    // Called after the link was cut at WM_NCDESTROY; the window is gone.
    virtual void PostNcDestroy() {}

    // Makes `hWnd` and this object point at each other.
    void LinkWindow(HWND hWnd);
    // Cuts the link at WM_NCDESTROY and ends the message loop when this was
    // the application's main window.
    void UnlinkWindow();

    BOOL m_bContinueModal = FALSE;
    int m_nModalResult = -1;

    // Map then default; nothing thrown by a handler escapes.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    friend class CDialog;
};

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Creates the dialog modeless from its template (resource module).
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    // Runs the dialog modally; the value given to EndDialog, or -1 when the
    // dialog could not be created.
    virtual INT_PTR DoModal();
    void EndDialog(int result);

    BOOL PreTranslateMessage(MSG* msg) override;

    UINT GetTemplateId() const { return m_nIDTemplate; }
    BOOL IsModal() const { return m_bModal; }

    // The dialog procedure.  Property pages pass the object themselves
    // (their page record carries it) through RouteDialogMessage.
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    virtual BOOL OnInitDialog();
    // A modal dialog ends with IDOK / IDCANCEL; a modeless one stays.
    virtual void OnOK();
    virtual void OnCancel();

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    // Dialogs get their default processing from the system's dialog
    // manager after the map declines a message, never from here.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Links `linkAtInit` (when given, at WM_INITDIALOG), runs the map of the
    // linked object and turns its result into a dialog procedure's answer.
    static INT_PTR RouteDialogMessage(CDialog* linkAtInit, HWND hWnd, UINT message,
                                      WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    BOOL m_bModal = FALSE;
};
