#include "framework/FolderDialog.h"

#include <shlobj.h>

#include "framework/Handles.h"

CFolderDialog::CFolderDialog(LPCSTR title, UINT flags, HWND owner)
    : m_strTitle(title ? title : ""), m_nFlags(flags), m_hOwner(owner)
{
}

BOOL GetPathFromItemList(PCIDLIST_ABSOLUTE item, CString* path)
{
    WCHAR wide[MAX_PATH] = L"";
    CString narrow;
    if (!item || !path || !SHGetPathFromIDListW(item, wide) || !wide[0] || !WideToAnsi(wide, -1, &narrow))
        return FALSE;
    *path = narrow;
    return TRUE;
}

INT_PTR CFolderDialog::DoModal()
{
    char displayName[MAX_PATH] = "";
    BROWSEINFOA info{};
    info.hwndOwner = m_hOwner;
    info.pidlRoot = nullptr;  // the desktop
    info.pszDisplayName = displayName;
    info.lpszTitle = m_strTitle;
    info.ulFlags = m_nFlags;
    const CCoTaskMemHandle chosen(SHBrowseForFolderA(&info));
    if (!chosen)
        return IDCANCEL;
    return GetPathFromItemList(static_cast<PCIDLIST_ABSOLUTE>(chosen.Get()), &m_strPath) ? IDOK : IDCANCEL;
}
