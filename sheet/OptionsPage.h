// CTapestrixOptionsPage: the program's behavioural options.  How "New
// Wallpaper" picks, start in the tray, the side effects of a change, Active
// Desktop on or off, conversion of .jpg and .gif files, and the automatic
// change with its mode and period.  Every control stores its setting the
// moment the user changes it; the Active Desktop box switches the shell at
// once and the auto-change box starts or stops the main window's timer.
// With nothing stored it shows the settings table's defaults, which are what
// the program uses.
#pragma once

#include <windows.h>

#include "controls/CaptionFrame.h"
#include "framework/Controls.h"
#include "framework/PropertySheet.h"
#include "settings/Settings.h"

class CTapestrixOptionsPage : public CPropertyPage {
public:
    CTapestrixOptionsPage();
    ~CTapestrixOptionsPage() override;

    CCaptionFrame m_frameMiscellaneous;
    CCaptionFrame m_frameSelection;
    CButton m_btnAutoChange;
    CButton m_btnHideItems;
    CButton m_btnManual;
    CEdit m_editHideItemTimer;
    CEdit m_editAutoChangeTimer;
    CComboBox m_comboAutoChangeSelection;

    int m_bAutoChange = 0;
    int m_bActiveDesktop = 0;
    int m_bHideDesktopItems = 0;
    int m_bMinimizeOnStartup = 0;
    int m_nSelection = SELECTION_MANUAL;
    int m_nAutoChangeSelection = AUTO_CHANGE_RANDOM;
    DWORD m_nAutoChangeTimer = AppSetting::AutoChangeTimer.number;
    DWORD m_nHideItemTimer = AppSetting::HideItemTimer.number;
    int m_bSoundEffects = 0;
    int m_bMinimizeAllWindows = 0;
    int m_bConvertToBmp = 0;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void LoadSettings();
    void UpdateControlStates();

    void OnManual();
    void OnRandom();
    void OnSequential();
    void OnMinimizeOnStartup();
    void OnActiveDesktop();
    void OnHideDesktopItems();
    void OnAutoChange();
    void OnChangeHideItemTimer();
    void OnSelchangeAutoChangeSelection();
    void OnChangeAutoChangeTimer();
    void OnSoundEffects();
    void OnMinimizeAllWindows();
    void OnConvertToBmp();
    void OnWallpaperChanged();

private:
    void SetSelection(ESelectionMode selection);
    // Inverts a check box's member and stores it as 0 or 1.
    void ToggleSetting(int* member, const CAppSetting& setting);
    // The typed number of seconds, stored at once.
    DWORD StoreTypedSeconds(CEdit& edit, const CAppSetting& setting);
};
