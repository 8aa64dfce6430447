// CToolBar: the common toolbar control as one of our windows.  The control
// is created from a class of our own that copies the system's toolbar class
// with our window procedure, so the link to the object is made at
// WM_NCCREATE like for every other window and the control's own procedure
// does the default processing.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/Wnd.h"

class CToolBar : public CWnd {
public:
    CToolBar() = default;

    // Creates the control as a child of `parent`; `ctrlStyle` are TBSTYLE_*
    // bits, `style` window style bits.  The control never sizes or moves
    // itself along its parent: its owner places it.
    BOOL CreateEx(CWnd* parent, DWORD ctrlStyle, DWORD style, UINT id);

    // Gives button `index` the text `text` (a copy is kept by the control).
    BOOL SetButtonText(int index, LPCSTR text);
    // The index of the first button with command `id`, or -1.
    int CommandToIndex(UINT id) const;
    int GetButtonCount() const;

protected:
    BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
