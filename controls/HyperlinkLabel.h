// CHyperlinkLabel: a static text of a dialog turned into a link.  The text
// is drawn underlined in blue Arial at the size and weight of the dialog's
// font, the hand cursor shows over it, and a click hands the link target
// (a web address, a "mailto:" target, any file) to the shell.  The label
// answers its own click and colour notifications, reflected by its parent,
// so the dialog needs no code for it.  The static control needs SS_NOTIFY.
#pragma once

#include <windows.h>

#include "framework/Controls.h"
#include "framework/Handles.h"
#include "framework/String.h"

class CHyperlinkLabel : public CStatic {
public:
    CHyperlinkLabel();

    COLORREF m_clrText = RGB(0, 0, 255);
    CString m_strFaceName{"Arial"};
    // What a click opens; the text shown is the window's own.
    CString m_strLink;
    // A shared resource cursor: no label destroys it.
    HCURSOR m_hHandCursor = nullptr;

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void OnClicked();
    HBRUSH CtlColor(HDC dc, UINT ctlColor);
    BOOL OnSetCursor(UINT hitTest);
    void OnPaint(HDC printDC);

private:
    // The underlined font of the paint in progress, released once the text
    // is drawn.
    CFontHandle m_fontPaint;
};
