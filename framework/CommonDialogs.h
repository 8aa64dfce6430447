// The system's common dialogs as the program calls them.
//
// CFileDialog is the open (or save) file dialog: the filter is written the
// framework's way, "text|pattern|text|pattern||", and the chosen full path
// is GetPathName().  CColorDialog is the colour chooser, preselecting the
// colour it is given; GetColor() is the user's choice.
//
// Both are modal over the top-level window of the parent they are given (the
// program's main window when none), like every other modal box of the
// program, and return IDOK or IDCANCEL from DoModal.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>

#include "framework/String.h"
#include "framework/Wnd.h"

class CFileDialog {
public:
    CFileDialog(BOOL openFileDialog, LPCSTR defaultExtension = nullptr, LPCSTR fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCSTR filter = nullptr,
                CWnd* parent = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // The record handed to the system; callers may set the title and more
    // before DoModal.
    OPENFILENAMEA m_ofn{};

    INT_PTR DoModal();
    // The full path chosen (empty before an OK).
    CString GetPathName() const { return CString(m_szFileName); }

private:
    BOOL m_bOpenFileDialog;
    CWnd* m_pParentWnd;
    std::string m_strFilter;
    CString m_strDefaultExtension;
    char m_szFileName[TPX_MAX_PATH_BYTES + 1] = "";  // any path of MAX_PATH characters
};

class CColorDialog {
public:
    explicit CColorDialog(COLORREF initial = 0, DWORD flags = 0, CWnd* parent = nullptr);
    CColorDialog(const CColorDialog&) = delete;
    CColorDialog& operator=(const CColorDialog&) = delete;

    CHOOSECOLORA m_cc{};

    INT_PTR DoModal();
    COLORREF GetColor() const { return m_cc.rgbResult; }

private:
    CWnd* m_pParentWnd;
};

// The top-level window that a modal box over `parent` belongs to: the
// parent's own top-level window, else the program's main window.
HWND AfxGetSafeOwner(CWnd* parent);
