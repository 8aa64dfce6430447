#include "sheet/OptionsPage.h"

#include "engine/WallpaperChanger.h"
#include "flow/ChangeFlow.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "sheet/TapestrixSheet.h"

namespace {

const char kActiveDesktopFailed[] = "Unable to enable / disable active desktop";

// A typed number is stored at once, before the range check; it is kept to
// what a timer can hold in seconds, so it never wraps on its way to one.
const DWORD kLongestPeriodSeconds = USER_TIMER_MAXIMUM / 1000;

const CAppSetting& kAutoChangeTimer = AppSetting::AutoChangeTimer;
const CAppSetting& kHideItemTimer = AppSetting::HideItemTimer;

int DigitsOf(DWORD number)
{
    int digits = 1;
    for (; number >= 10; number /= 10)
        ++digits;
    return digits;
}

}  // namespace

CTapestrixOptionsPage::CTapestrixOptionsPage() : CPropertyPage(IDD_OPTIONS)
{
    const LOGFONTA caption = PageCaptionFont();
    m_frameSelection.SetCaptionFont(caption);
    m_frameMiscellaneous.SetCaptionFont(caption);
}

CTapestrixOptionsPage::~CTapestrixOptionsPage() = default;

void CTapestrixOptionsPage::DoDataExchange(CDataExchange* dx)
{
    CPropertyPage::DoDataExchange(dx);
    DDX_Control(dx, IDC_FRAME_MISCELLANEOUS, m_frameMiscellaneous);
    DDX_Control(dx, IDC_FRAME_SELECTION, m_frameSelection);
    DDX_Control(dx, IDC_AUTO_CHANGE, m_btnAutoChange);
    DDX_Control(dx, IDC_HIDE_DESKTOP_ITEMS, m_btnHideItems);
    DDX_Control(dx, IDC_MANUAL, m_btnManual);
    DDX_Control(dx, IDC_HIDE_ITEM_TIMER, m_editHideItemTimer);
    DDX_Control(dx, IDC_AUTO_CHANGE_TIMER, m_editAutoChangeTimer);
    DDX_Control(dx, IDC_AUTO_CHANGE_SELECTION, m_comboAutoChangeSelection);
    DDX_Check(dx, IDC_AUTO_CHANGE, m_bAutoChange);
    DDX_Check(dx, IDC_ACTIVE_DESKTOP, m_bActiveDesktop);
    DDX_Check(dx, IDC_HIDE_DESKTOP_ITEMS, m_bHideDesktopItems);
    DDX_Check(dx, IDC_MINIMIZE_ON_STARTUP, m_bMinimizeOnStartup);
    DDX_Radio(dx, IDC_MANUAL, m_nSelection);
    DDX_CBIndex(dx, IDC_AUTO_CHANGE_SELECTION, m_nAutoChangeSelection);
    DDX_Text(dx, IDC_AUTO_CHANGE_TIMER, m_nAutoChangeTimer);
    DDV_MinMaxDWord(dx, m_nAutoChangeTimer, kAutoChangeTimer.minimum, kAutoChangeTimer.maximum);
    DDX_Text(dx, IDC_HIDE_ITEM_TIMER, m_nHideItemTimer);
    DDV_MinMaxDWord(dx, m_nHideItemTimer, kHideItemTimer.minimum, kHideItemTimer.maximum);
    DDX_Check(dx, IDC_SOUND_EFFECTS, m_bSoundEffects);
    DDX_Check(dx, IDC_MINIMIZE_ALL_WINDOWS, m_bMinimizeAllWindows);
    DDX_Check(dx, IDC_CONVERT_TO_BMP, m_bConvertToBmp);
}

BOOL CTapestrixOptionsPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    // No more digits than the largest accepted number: a pasted long number
    // is cut, never stored.
    m_editAutoChangeTimer.LimitText(DigitsOf(kAutoChangeTimer.maximum));
    m_editHideItemTimer.LimitText(DigitsOf(kHideItemTimer.maximum));
    LoadSettings();
    UpdateControlStates();
    return TRUE;
}

BOOL CTapestrixOptionsPage::OnSetActive()
{
    WriteAppDword(AppSetting::CurrentActivePage, PAGE_OPTIONS);
    m_bActiveDesktop = theWallpaperChanger.IsActiveDesktopEnabled() ? 1 : 0;
    UpdateData(FALSE);
    return CPropertyPage::OnSetActive();
}

void CTapestrixOptionsPage::LoadSettings()
{
    // The page shows what the program does: the table's defaults, and for
    // a stored flag what the engine makes of it (the desktop items are
    // hidden only for exactly 1, every other flag is set when it is not 0).
    m_nSelection = static_cast<int>(ReadAppDword(AppSetting::Selection));
    m_nHideItemTimer = ReadAppDword(kHideItemTimer);
    m_bConvertToBmp = ReadAppDword(AppSetting::ConvertToBmp) != 0;
    m_nAutoChangeTimer = ReadAppDword(kAutoChangeTimer);
    m_bMinimizeOnStartup = ReadAppDword(AppSetting::MinimizeOnStartup) != 0;
    m_bAutoChange = ReadAppDword(AppSetting::EnableAutoChange) != 0;
    m_nAutoChangeSelection = static_cast<int>(ReadAppDword(AppSetting::AutoChangeSelection));
    m_bSoundEffects = ReadAppDword(AppSetting::TurnOnSoundEffects) != 0;
    m_bHideDesktopItems = ReadAppDword(AppSetting::HideDesktopItems) == 1;
    m_bMinimizeAllWindows = ReadAppDword(AppSetting::MinimizeAllWindows) != 0;
    m_bActiveDesktop = theWallpaperChanger.IsActiveDesktopEnabled() ? 1 : 0;
    UpdateData(FALSE);
}

void CTapestrixOptionsPage::UpdateControlStates()
{
    // The period and the mode can be edited only while their feature is off.
    const BOOL hideChecked = m_btnHideItems.GetCheck() == BST_CHECKED;
    const BOOL autoChecked = m_btnAutoChange.GetCheck() == BST_CHECKED;
    ::EnableWindow(m_editHideItemTimer, !hideChecked);
    ::EnableWindow(m_comboAutoChangeSelection, !autoChecked);
    ::EnableWindow(m_editAutoChangeTimer, !autoChecked);
}

BOOL CTapestrixOptionsPage::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == PSM_QUERYSIBLINGS && wParam == TPX_SIBLINGS_WALLPAPER_CHANGED) {
        OnWallpaperChanged();
        *result = 0;   // every page hears it
        return TRUE;
    }
    if (message == WM_COMMAND) {
        const UINT id = LOWORD(wParam);
        const UINT code = HIWORD(wParam);
        if (code == BN_CLICKED) {
            switch (id) {
            case IDC_MANUAL: OnManual(); return TRUE;
            case IDC_RANDOM: OnRandom(); return TRUE;
            case IDC_SEQUENTIAL: OnSequential(); return TRUE;
            case IDC_MINIMIZE_ON_STARTUP: OnMinimizeOnStartup(); return TRUE;
            case IDC_ACTIVE_DESKTOP: OnActiveDesktop(); return TRUE;
            case IDC_HIDE_DESKTOP_ITEMS: OnHideDesktopItems(); return TRUE;
            case IDC_AUTO_CHANGE: OnAutoChange(); return TRUE;
            case IDC_SOUND_EFFECTS: OnSoundEffects(); return TRUE;
            case IDC_MINIMIZE_ALL_WINDOWS: OnMinimizeAllWindows(); return TRUE;
            case IDC_CONVERT_TO_BMP: OnConvertToBmp(); return TRUE;
            default: break;
            }
        }
        if (code == EN_CHANGE && id == IDC_HIDE_ITEM_TIMER) {
            OnChangeHideItemTimer();
            return TRUE;
        }
        if (code == CBN_SELCHANGE && id == IDC_AUTO_CHANGE_SELECTION) {
            OnSelchangeAutoChangeSelection();
            return TRUE;
        }
        if (code == EN_CHANGE && id == IDC_AUTO_CHANGE_TIMER) {
            OnChangeAutoChangeTimer();
            return TRUE;
        }
    }
    return CPropertyPage::OnWndMsg(message, wParam, lParam, result);
}

void CTapestrixOptionsPage::OnWallpaperChanged()
{
    // A change to the Active Desktop switches it on.
    m_bActiveDesktop = theWallpaperChanger.IsActiveDesktopEnabled() ? 1 : 0;
    ::SendDlgItemMessageA(m_hWnd, IDC_ACTIVE_DESKTOP, BM_SETCHECK, m_bActiveDesktop ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CTapestrixOptionsPage::SetSelection(ESelectionMode selection)
{
    // While a change runs the mode it was started with stays: the click is
    // undone.
    if (theChangeFlow.IsChanging()) {
        ::CheckRadioButton(m_hWnd, IDC_MANUAL, IDC_SEQUENTIAL, IDC_MANUAL + m_nSelection);
        return;
    }
    m_nSelection = static_cast<int>(selection);
    WriteAppDword(AppSetting::Selection, selection);
}

void CTapestrixOptionsPage::OnManual()
{
    SetSelection(SELECTION_MANUAL);
}

void CTapestrixOptionsPage::OnRandom()
{
    SetSelection(SELECTION_RANDOM);
}

void CTapestrixOptionsPage::OnSequential()
{
    SetSelection(SELECTION_SEQUENTIAL);
}

void CTapestrixOptionsPage::ToggleSetting(int* member, const CAppSetting& setting)
{
    *member = *member ? 0 : 1;
    WriteAppDword(setting, static_cast<DWORD>(*member));
}

void CTapestrixOptionsPage::OnMinimizeOnStartup()
{
    ToggleSetting(&m_bMinimizeOnStartup, AppSetting::MinimizeOnStartup);
}

void CTapestrixOptionsPage::OnSoundEffects()
{
    ToggleSetting(&m_bSoundEffects, AppSetting::TurnOnSoundEffects);
}

void CTapestrixOptionsPage::OnMinimizeAllWindows()
{
    ToggleSetting(&m_bMinimizeAllWindows, AppSetting::MinimizeAllWindows);
}

void CTapestrixOptionsPage::OnConvertToBmp()
{
    ToggleSetting(&m_bConvertToBmp, AppSetting::ConvertToBmp);
}

void CTapestrixOptionsPage::OnHideDesktopItems()
{
    ToggleSetting(&m_bHideDesktopItems, AppSetting::HideDesktopItems);
    UpdateControlStates();
}

void CTapestrixOptionsPage::OnActiveDesktop()
{
    // Switching the shell while a change waits for the user (in a message
    // box under this sheet) would pull the desktop from under that change:
    // the click is undone instead.
    if (theChangeFlow.IsChanging()) {
        ::SendDlgItemMessageA(m_hWnd, IDC_ACTIVE_DESKTOP, BM_SETCHECK, m_bActiveDesktop ? BST_CHECKED : BST_UNCHECKED, 0);
        return;
    }
    m_bActiveDesktop = m_bActiveDesktop ? 0 : 1;
    if (!theWallpaperChanger.EnableActiveDesktop(m_bActiveDesktop))
        SheetMessageBox(m_hWnd, kActiveDesktopFailed);
}

void CTapestrixOptionsPage::OnAutoChange()
{
    ToggleSetting(&m_bAutoChange, AppSetting::EnableAutoChange);
    UpdateControlStates();
    // The engine bounds the period (at least a second, at most what a timer
    // holds) and restarts a running timer.
    if (m_bAutoChange)
        theChangeFlow.SetAutoChangeTimer();
    else
        theChangeFlow.KillAutoChangeTimer();
}

DWORD CTapestrixOptionsPage::StoreTypedSeconds(CEdit& edit, const CAppSetting& setting)
{
    const DWORD seconds = ParseDecimalSaturated(edit.GetWindowText(), kLongestPeriodSeconds);
    WriteAppDword(setting, seconds);
    return seconds;
}

void CTapestrixOptionsPage::OnChangeHideItemTimer()
{
    if (IsFillingControls())
        return;
    m_nHideItemTimer = StoreTypedSeconds(m_editHideItemTimer, kHideItemTimer);
}

void CTapestrixOptionsPage::OnSelchangeAutoChangeSelection()
{
    if (IsFillingControls())
        return;
    m_nAutoChangeSelection = m_comboAutoChangeSelection.GetCurSel();
    if (m_nAutoChangeSelection >= 0)
        WriteAppDword(AppSetting::AutoChangeSelection, static_cast<DWORD>(m_nAutoChangeSelection));
}

void CTapestrixOptionsPage::OnChangeAutoChangeTimer()
{
    if (IsFillingControls())
        return;
    m_nAutoChangeTimer = StoreTypedSeconds(m_editAutoChangeTimer, kAutoChangeTimer);
}
