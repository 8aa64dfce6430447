// CFolderDialog: the shell's folder browser (SHBrowseForFolderA), rooted at
// the desktop, giving back a file-system path.  The item list the shell
// hands out is freed here; a choice that is no file-system path (a printer,
// a control panel item) counts as no choice.
#pragma once

#include <windows.h>
#include <shtypes.h>

#include "framework/String.h"

// The file-system path of a shell item list in the ANSI code page, asked of
// the shell in UTF-16 (its A form cuts a path at MAX_PATH bytes).  FALSE
// for an item without a path or one the code page cannot express.
BOOL GetPathFromItemList(PCIDLIST_ABSOLUTE item, CString* path);

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
