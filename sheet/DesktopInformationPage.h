// CDesktopInformationPage: the desktop as it is now (the normal and the
// Active Desktop wallpaper, the background colour, the display style), each
// changed from here the moment the user confirms it.  The two paths and the
// style are read from the shell every time the page becomes active, so the
// page shows changes made meanwhile from the tray, the timer or other pages.
#pragma once

#include <windows.h>

#include "controls/CaptionFrame.h"
#include "controls/ReadOnlyEdit.h"
#include "framework/Controls.h"
#include "framework/PropertySheet.h"
#include "framework/String.h"

class CDesktopInformationPage : public CPropertyPage {
public:
    CDesktopInformationPage();
    ~CDesktopInformationPage() override;

    CStatic m_staticColor;
    CCaptionFrame m_frameColor;
    CReadOnlyEdit m_editActive;
    CReadOnlyEdit m_editNormal;
    CCaptionFrame m_frameDisplay;
    CCaptionFrame m_frameActive;
    CCaptionFrame m_frameNormal;
    CComboBox m_comboDisplayStyle;
    int m_nDisplayStyle = -1;
    CString m_strActiveWallpaper;
    CString m_strNormalWallpaper;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void LoadDesktopInfo();
    void OnBrowseNormal();
    void OnBrowseActive();
    void OnChangeColor();
    void OnSelchangeDisplayStyle();
    void OnPaint(HDC printDC);

private:
    // The inside of the swatch's black frame, in the page's coordinates.
    RECT SwatchInterior() const;
    // Fills the swatch with the desktop colour: WM_PAINT, WM_PRINTCLIENT and
    // a new colour all paint through here.
    void PaintSwatch(HDC dc) const;
};
