// CFolderDialog: the shell's folder browser (SHBrowseForFolderA), rooted at
// the desktop, giving back a file-system path.  The item list the shell
// hands out is freed here; a choice that is no file-system path (a printer,
// a control panel item) counts as no choice.
#pragma once

#include <windows.h>

#include "framework/String.h"

class CFolderDialog {
public:
    CFolderDialog(LPCSTR title, UINT flags, HWND owner);

    // IDOK when the user chose a folder that has a path, else IDCANCEL.
    INT_PTR DoModal();
    // The chosen folder; empty until DoModal returned IDOK.
    CString GetFolderPath() const { return m_strPath; }

private:
    CString m_strTitle;
    UINT m_nFlags;
    HWND m_hOwner;
    CString m_strPath;
};
