#include "sheet/OptionsPage.h"

#include "engine/WallpaperChanger.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "sheet/TapestrixSheet.h"

namespace {

const char kActiveDesktopFailed[] = "Unable to enable / disable active desktop";

// The fields' ranges: what the page accepts when the user leaves it.
const DWORD kAutoChangeMin = 1, kAutoChangeMax = 999999;
const DWORD kHideItemMin = 1, kHideItemMax = 10;
// A typed number is stored at once, before the range check; it is kept to
// what a timer can hold in seconds, so it never wraps on its way to one.
const DWORD kLongestPeriodSeconds = USER_TIMER_MAXIMUM / 1000;

DWORD ReadApp(LPCSTR name, DWORD defaultValue)
{
    DWORD value = defaultValue;
    ReadSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, name, &value);
    return value;
}

void WriteApp(LPCSTR name, DWORD value)
{
    // A failed write (no application key) is not reported.
    WriteSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, name, value);
}

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
    DDV_MinMaxDWord(dx, m_nAutoChangeTimer, kAutoChangeMin, kAutoChangeMax);
    DDX_Text(dx, IDC_HIDE_ITEM_TIMER, m_nHideItemTimer);
    DDV_MinMaxDWord(dx, m_nHideItemTimer, kHideItemMin, kHideItemMax);
    DDX_Check(dx, IDC_SOUND_EFFECTS, m_bSoundEffects);
    DDX_Check(dx, IDC_MINIMIZE_ALL_WINDOWS, m_bMinimizeAllWindows);
    DDX_Check(dx, IDC_CONVERT_TO_BMP, m_bConvertToBmp);
}

BOOL CTapestrixOptionsPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    // No more digits than the largest accepted number: a pasted long number
    // is cut, never stored.
    m_editAutoChangeTimer.LimitText(DigitsOf(kAutoChangeMax));
    m_editHideItemTimer.LimitText(DigitsOf(kHideItemMax));
    LoadSettings();
    UpdateControlStates();
    return TRUE;
}

BOOL CTapestrixOptionsPage::OnSetActive()
{
    WriteApp(TPX_VAL_CURRENT_ACTIVE_PAGE, PAGE_OPTIONS);
    m_bActiveDesktop = theWallpaperChanger.IsActiveDesktopEnabled() ? 1 : 0;
    UpdateData(FALSE);
    return CPropertyPage::OnSetActive();
}

void CTapestrixOptionsPage::LoadSettings()
{
    // The boxes show what the program will do with a stored flag: the
    // engine hides the desktop items only for exactly 1 and takes every
    // other flag as set when it is not 0.
    m_nSelection = static_cast<int>(ReadApp(TPX_VAL_SELECTION, 1));
    m_nHideItemTimer = ReadApp(TPX_VAL_HIDE_ITEM_TIMER, 1);
    m_bConvertToBmp = ReadApp(TPX_VAL_CONVERT_TO_BMP, 0) != 0;
    m_nAutoChangeTimer = ReadApp(TPX_VAL_AUTO_CHANGE_TIMER, 3);
    m_bMinimizeOnStartup = ReadApp(TPX_VAL_MINIMIZE_ON_STARTUP, 0) != 0;
    m_bAutoChange = ReadApp(TPX_VAL_ENABLE_AUTO_CHANGE, 0) != 0;
    m_nAutoChangeSelection = static_cast<int>(ReadApp(TPX_VAL_AUTO_CHANGE_SELECTION, 0));
    m_bSoundEffects = ReadApp(TPX_VAL_TURN_ON_SOUND_EFFECTS, 0) != 0;
    m_bHideDesktopItems = ReadApp(TPX_VAL_HIDE_DESKTOP_ITEMS, 0) == 1;
    m_bMinimizeAllWindows = ReadApp(TPX_VAL_MINIMIZE_ALL_WINDOWS, 0) != 0;
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

void CTapestrixOptionsPage::SetSelection(int selection)
{
    m_nSelection = selection;
    WriteApp(TPX_VAL_SELECTION, static_cast<DWORD>(selection));
}

void CTapestrixOptionsPage::OnManual()
{
    SetSelection(0);
}

void CTapestrixOptionsPage::OnRandom()
{
    SetSelection(1);
}

void CTapestrixOptionsPage::OnSequential()
{
    SetSelection(2);
}

void CTapestrixOptionsPage::ToggleSetting(int* member, LPCSTR name)
{
    *member = *member ? 0 : 1;
    WriteApp(name, static_cast<DWORD>(*member));
}

void CTapestrixOptionsPage::OnMinimizeOnStartup()
{
    ToggleSetting(&m_bMinimizeOnStartup, TPX_VAL_MINIMIZE_ON_STARTUP);
}

void CTapestrixOptionsPage::OnSoundEffects()
{
    ToggleSetting(&m_bSoundEffects, TPX_VAL_TURN_ON_SOUND_EFFECTS);
}

void CTapestrixOptionsPage::OnMinimizeAllWindows()
{
    ToggleSetting(&m_bMinimizeAllWindows, TPX_VAL_MINIMIZE_ALL_WINDOWS);
}

void CTapestrixOptionsPage::OnConvertToBmp()
{
    ToggleSetting(&m_bConvertToBmp, TPX_VAL_CONVERT_TO_BMP);
}

void CTapestrixOptionsPage::OnHideDesktopItems()
{
    ToggleSetting(&m_bHideDesktopItems, TPX_VAL_HIDE_DESKTOP_ITEMS);
    UpdateControlStates();
}

void CTapestrixOptionsPage::OnActiveDesktop()
{
    // Switching the shell while a change waits for the user (in a message
    // box under this sheet) would pull the desktop from under that change:
    // the click is undone instead.
    const CChangeGuard change;
    if (!change.IsClaimed()) {
        ::SendDlgItemMessageA(m_hWnd, IDC_ACTIVE_DESKTOP, BM_SETCHECK, m_bActiveDesktop ? BST_CHECKED : BST_UNCHECKED, 0);
        return;
    }
    m_bActiveDesktop = m_bActiveDesktop ? 0 : 1;
    if (!theWallpaperChanger.EnableActiveDesktop(m_bActiveDesktop))
        SheetMessageBox(m_hWnd, kActiveDesktopFailed);
}

void CTapestrixOptionsPage::OnAutoChange()
{
    ToggleSetting(&m_bAutoChange, TPX_VAL_ENABLE_AUTO_CHANGE);
    UpdateControlStates();
    // The engine bounds the period (at least a second, at most what a timer
    // holds) and restarts a running timer.
    if (m_bAutoChange)
        theWallpaperChanger.SetAutoChangeTimer();
    else
        theWallpaperChanger.KillAutoChangeTimer();
}

DWORD CTapestrixOptionsPage::StoreTypedSeconds(CEdit& edit, LPCSTR name)
{
    const DWORD seconds = ParseDecimalSaturated(edit.GetWindowText(), kLongestPeriodSeconds);
    WriteApp(name, seconds);
    return seconds;
}

void CTapestrixOptionsPage::OnChangeHideItemTimer()
{
    if (IsFillingControls())
        return;
    m_nHideItemTimer = StoreTypedSeconds(m_editHideItemTimer, TPX_VAL_HIDE_ITEM_TIMER);
}

void CTapestrixOptionsPage::OnSelchangeAutoChangeSelection()
{
    if (IsFillingControls())
        return;
    m_nAutoChangeSelection = m_comboAutoChangeSelection.GetCurSel();
    if (m_nAutoChangeSelection >= 0)
        WriteApp(TPX_VAL_AUTO_CHANGE_SELECTION, static_cast<DWORD>(m_nAutoChangeSelection));
}

void CTapestrixOptionsPage::OnChangeAutoChangeTimer()
{
    if (IsFillingControls())
        return;
    m_nAutoChangeTimer = StoreTypedSeconds(m_editAutoChangeTimer, TPX_VAL_AUTO_CHANGE_TIMER);
}
