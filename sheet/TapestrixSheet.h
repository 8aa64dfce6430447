// CTapestrixSheet: the settings window.  A modal property sheet holding the
// four settings pages with one look: flat button tabs of one size, one small
// Arial font on every control, the engraved product name in the bottom-left
// corner and a single "Help Topics" button instead of OK / Cancel / Apply /
// Help.  Every size given in pixels is meant for 96 DPI and follows the DPI
// of the sheet's monitor, also when the sheet moves to another (the tabs'
// icons too); the tabs are never narrower than their longest title.  Pages apply every change
// at once; the user closes the sheet with its close box.
#pragma once

#include <windows.h>

#include "framework/Controls.h"
#include "framework/Handles.h"
#include "framework/PropertySheet.h"

// The pages' positions in the sheet, stored as "CurrentActivePage".
enum {
    PAGE_ABOUT = 0,
    PAGE_DESKTOP_INFORMATION = 1,
    PAGE_WALLPAPER_BROWSER = 2,
    PAGE_OPTIONS = 3
};

// A message of the sheet or of one of its pages: an OK box titled with the
// application's name, modal over the sheet that `window` belongs to.
void SheetMessageBox(HWND window, LPCSTR text);

class CTapestrixSheet : public CPropertySheet {
public:
    CTapestrixSheet(LPCSTR caption, CWnd* parent, UINT selectPage);

    // Enter never presses a button nor closes the sheet.
    BOOL PreTranslateMessage(MSG* msg) override;

    HICON m_hSheetIcon;
    CButton m_btnHelpTopics;
    CFont m_fontTitle;
    CFont m_fontSheet;
    // The DPI the fonts and pixel sizes are made for: the sheet's monitor.
    UINT m_nDpi;
    // The tabs' icons at that DPI (the control's own list is 16 pixels).
    CImageListHandle m_tabIcons;

protected:
    BOOL OnInitDialog() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnPaint(HDC printDC);
    void OnHelpButton();
    // The sheet moved to a monitor of another DPI.
    void OnDpiChanged(UINT dpi, const RECT* suggested);
    void OnPageCreated(CPropertyPage* page) override;

private:
    void CreateFonts();
    void SetupTabControl();
    // The pages' icons ScaleForDpi(16) square, from their largest drawing.
    void SetTabIcons();
    void FitSheetToPages();
    void FitTabsToTitles();
    void CenterOnWorkArea();
    BOOL GetHelpTopicsRect(RECT* rect) const;
    void CreateHelpButton();
    void ApplySheetFont();
};
