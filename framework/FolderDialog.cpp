#include "framework/FolderDialog.h"

#include <shlobj.h>

#include "framework/Handles.h"

CFolderDialog::CFolderDialog(LPCSTR title, UINT flags, HWND owner)
    : m_strTitle(title ? title : ""), m_nFlags(flags), m_hOwner(owner)
{
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
    char path[MAX_PATH] = "";
    if (!SHGetPathFromIDListA(static_cast<PCIDLIST_ABSOLUTE>(chosen.Get()), path) || !path[0])
        return IDCANCEL;
    m_strPath = path;
    return IDOK;
}
