// Tabbed property sheets over the common controls' PropertySheetA.
//
// CPropertyPage is one page: a dialog template whose dialog procedure finds
// the page object through the page record's lParam at WM_INITDIALOG.  It
// exchanges its members with its controls (DoDataExchange / UpdateData),
// hears when it becomes active (OnSetActive) and when the user leaves it
// (OnKillActive, which validates the page and can refuse).
//
// CPropertySheet holds the pages in order and runs them modally.  The sheet
// window is created modeless and served by the sheet's own loop, so every
// message first goes through the program's PreTranslateMessage chain (the
// sheet can filter keys) and then through the sheet's dialog keyboard
// handling; the loop ends when the sheet is closed.  The sheet window is
// subclassed to the sheet object from its creation on, so a derived sheet
// sees WM_INITDIALOG before the common controls lay out the tabs.  A page
// gets its window the first time it is shown, as the common controls do it:
// opening the sheet costs the page it opens on, not all of them.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <vector>

#include "framework/Controls.h"
#include "framework/DataExchange.h"
#include "framework/Wnd.h"

class CPropertySheet;

class CPropertyPage : public CDialog {
public:
    explicit CPropertyPage(UINT templateId);

    // The record handed to the common controls; pages may set its flags and
    // icon before the sheet runs.
    PROPSHEETPAGEA m_psp{};

    // Members into controls (FALSE) or controls into members with
    // validation (TRUE); FALSE when the validation refused.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    // Pages leave keyboard navigation to their sheet.
    BOOL PreTranslateMessage(MSG* msg) override;

    CPropertySheet* GetSheet() const { return m_pSheet; }

    // The template's size in dialog units (of the template's own font);
    // FALSE when the template cannot be read.
    BOOL GetTemplateSize(SIZE* dialogUnits) const;

protected:
    virtual void DoDataExchange(CDataExchange* dx);
    // Binds and fills the controls (UpdateData(FALSE)).
    BOOL OnInitDialog() override;
    // The page becomes active: FALSE refuses.
    virtual BOOL OnSetActive();
    // The user leaves the page: FALSE keeps it active.  The default
    // validates the page.
    virtual BOOL OnKillActive();

    // TRUE while UpdateData(FALSE) fills the controls: their change
    // notifications are the program's doing, not the user's.
    BOOL IsFillingControls() const { return m_bFillingControls; }

    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    friend class CPropertySheet;
    static INT_PTR CALLBACK PageDialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    CPropertySheet* m_pSheet = nullptr;
    BOOL m_bFillingControls = FALSE;
};

class CPropertySheet : public CSubclassWnd {
public:
    CPropertySheet(LPCSTR caption, CWnd* parent = nullptr, UINT selectPage = 0);

    void AddPage(CPropertyPage* page);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int index) const;
    int GetActiveIndex() const;
    BOOL SetActivePage(int index);
    HWND GetTabControl() const;

    // Runs the sheet until the user closes it; IDCANCEL then, -1 when it
    // could not be created.
    virtual INT_PTR DoModal();

    // The sheet's dialog keyboard handling (Tab, Ctrl+Tab, mnemonics).
    BOOL PreTranslateMessage(MSG* msg) override;

    PROPSHEETHEADERA m_psh{};

protected:
    // WM_INITDIALOG: the common controls' own set-up (pages, buttons).
    virtual BOOL OnInitDialog();
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    // A page got its window (the first time it is shown) and has run its
    // OnInitDialog.
    virtual void OnPageCreated(CPropertyPage* page);

private:
    friend class CPropertyPage;
    static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam);

    CString m_strCaption;
    std::vector<CPropertyPage*> m_pages;
    UINT m_nStartPage;
};
