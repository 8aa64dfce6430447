// CReadOnlyEdit: a path field that looks and scrolls like an edit control
// but that the user cannot change.  Only the program sets its text (window
// text or data exchange).  Every way of editing is dropped, not only typed
// characters: Delete, cut, paste, clear, undo, and the context menu that
// offers them; the edit never learns it has the focus, so it shows no caret.
#pragma once

#include "framework/Controls.h"

class CReadOnlyEdit : public CEdit {
protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
