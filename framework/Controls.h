// Window objects for the controls of a dialog template, and fonts.
//
// CSubclassWnd takes over a window that someone else created (a control of
// a dialog template, the property sheet of the common controls): one call,
// SubclassWindow, links the object to the window and routes its messages
// through the object's message map first; whatever the map leaves goes to
// the window's own procedure.  The link is cut and the old procedure put
// back at WM_NCDESTROY.  CButton, CEdit, CStatic and CComboBox are the thin
// control objects the settings pages bind; custom controls derive from them
// and add a message map.
//
// CFont owns one GDI font, made from a pixel or a point-size description.
#pragma once

#include <windows.h>

#include "framework/Handles.h"
#include "framework/String.h"
#include "framework/Wnd.h"

class CSubclassWnd : public CWnd {
public:
    CSubclassWnd() = default;
    ~CSubclassWnd() override;

    // Routes `hWnd`'s messages through this object.  FALSE when the object
    // already has a window or `hWnd` is linked to another object.
    BOOL SubclassWindow(HWND hWnd);
    // The control `id` of `parent`, subclassed.
    BOOL SubclassDlgItem(UINT id, HWND parent);
    // Gives the window back to its own procedure.
    HWND UnsubclassWindow();

protected:
    // Runs after the link is made, before the first message reaches the map.
    virtual void PreSubclassWindow() {}
    // The window's own procedure for the message being handled.
    LRESULT Default();
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    WNDPROC m_pfnSuper = nullptr;
    // The message being handled, for Default().
    MSG m_current{};
};

class CButton : public CSubclassWnd {
public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
    // Creates a push button (or any button style) as a child of `parent`.
    BOOL Create(LPCSTR text, DWORD style, DWORD exStyle, const RECT& rect, HWND parent, UINT id);
};

class CEdit : public CSubclassWnd {
public:
    void LimitText(int chars) { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(chars)); }
};

class CStatic : public CSubclassWnd {};

class CComboBox : public CSubclassWnd {
public:
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int index) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index))); }
};

class CFont {
public:
    CFont() = default;
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    BOOL CreateFontIndirect(const LOGFONTA& font);
    // `font.lfHeight` in tenths of a point, turned into the height of the
    // screen (or of `dc`).
    BOOL CreatePointFontIndirect(const LOGFONTA& font, HDC dc = nullptr);
    // The same for a monitor of `dpi` dots per inch.
    BOOL CreatePointFontForDpi(const LOGFONTA& font, UINT dpi);
    void DeleteObject() { m_font.Reset(); }

    HFONT GetSafeHandle() const { return m_font.Get(); }
    operator HFONT() const { return m_font.Get(); }

private:
    CFontHandle m_font;
};
