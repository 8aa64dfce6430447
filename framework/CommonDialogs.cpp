#include "framework/CommonDialogs.h"

#include "framework/App.h"

namespace {

// The user's custom colours, kept for the run as the system's own colour
// dialog would keep them between two openings.
COLORREF g_customColors[16] = {
    RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255),
    RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255),
    RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255),
    RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255)};

}  // namespace

HWND AfxGetSafeOwner(CWnd* parent)
{
    HWND owner = parent ? parent->GetSafeHwnd() : nullptr;
    if (!owner) {
        CWnd* mainWnd = AfxGetMainWnd();
        owner = mainWnd ? mainWnd->GetSafeHwnd() : nullptr;
    }
    return owner ? ::GetAncestor(owner, GA_ROOT) : nullptr;
}

CFileDialog::CFileDialog(BOOL openFileDialog, LPCSTR defaultExtension, LPCSTR fileName, DWORD flags,
                         LPCSTR filter, CWnd* parent)
    : m_bOpenFileDialog(openFileDialog), m_pParentWnd(parent)
{
    m_ofn.lStructSize = sizeof m_ofn;
    // Always the Explorer-style dialog.
    m_ofn.Flags = flags | OFN_EXPLORER;
    if (filter) {
        // The system separates texts and patterns with NULs and ends the
        // list with two.
        m_strFilter = filter;
        for (char& ch : m_strFilter)
            if (ch == '|')
                ch = '\0';
        m_ofn.lpstrFilter = m_strFilter.c_str();
        m_ofn.nFilterIndex = 1;
    }
    if (defaultExtension) {
        m_strDefaultExtension = defaultExtension;
        m_ofn.lpstrDefExt = m_strDefaultExtension;
    }
    if (fileName)
        lstrcpynA(m_szFileName, fileName, sizeof m_szFileName);
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = sizeof m_szFileName;
}

INT_PTR CFileDialog::DoModal()
{
    m_ofn.hwndOwner = AfxGetSafeOwner(m_pParentWnd);
    const BOOL ok = m_bOpenFileDialog ? ::GetOpenFileNameA(&m_ofn) : ::GetSaveFileNameA(&m_ofn);
    if (!ok) {
        // Nothing chosen: no half-filled path is handed on.
        m_szFileName[0] = '\0';
        return IDCANCEL;
    }
    return IDOK;
}

CColorDialog::CColorDialog(COLORREF initial, DWORD flags, CWnd* parent) : m_pParentWnd(parent)
{
    m_cc.lStructSize = sizeof m_cc;
    m_cc.lpCustColors = g_customColors;
    // The initial colour is always preselected, black included.
    m_cc.rgbResult = initial;
    m_cc.Flags = flags | CC_RGBINIT;
}

INT_PTR CColorDialog::DoModal()
{
    m_cc.hwndOwner = AfxGetSafeOwner(m_pParentWnd);
    return ::ChooseColorA(&m_cc) ? IDOK : IDCANCEL;
}
