#include "app/TapestrixDlg.h"

#include <cstring>

#include "engine/WallpaperSelection.h"
#include "framework/App.h"
#include "framework/Gdi.h"
#include "res/resource.h"
#include "settings/Settings.h"

namespace {

const char kTrayTip[] = "Tapestrix";
const char kMenuNotLoaded[] = "Popup menu not available due to error occured during loading";

}  // namespace

CTapestrixDlg::CTapestrixDlg(CWnd* parent)
    : CDialog(IDD_TAPESTRIX_DIALOG, parent),
      m_hIcon(AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME)
                          : ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_bMenuLoaded(FALSE),
      m_trayIconData{}
{
    // The menu is loaded once and lives as long as the dialog.
    m_bMenuLoaded = m_popupMenu.Attach(
        ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_TRAY_MENU)));
}

CTapestrixDlg::~CTapestrixDlg() = default;

BOOL CTapestrixDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    return TRUE;
}

void CTapestrixDlg::InitTrayIconData()
{
    memset(&m_trayIconData, 0, sizeof(m_trayIconData));
    // The first, smallest form of the record (64-character tip); every
    // shell accepts it.
    m_trayIconData.cbSize = NOTIFYICONDATAA_V1_SIZE;
    m_trayIconData.hWnd = m_hWnd;
    m_trayIconData.uID = TRAY_ICON_ID;
    m_trayIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_trayIconData.uCallbackMessage = WM_TRAY_NOTIFY;
    m_trayIconData.hIcon = m_hIcon;
    memcpy(m_trayIconData.szTip, kTrayTip, sizeof(kTrayTip));
}

void CTapestrixDlg::AddTrayIcon()
{
    ::Shell_NotifyIconA(NIM_ADD, &m_trayIconData);
}

void CTapestrixDlg::RemoveTrayIcon()
{
    ::Shell_NotifyIconA(NIM_DELETE, &m_trayIconData);
}

void CTapestrixDlg::ShowSettingsSheet()
{
    DWORD startPage = 0;
    ReadSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_CURRENT_ACTIVE_PAGE, &startPage);
    // The tray icon is away while the sheet is open, so no second sheet can
    // be opened from it.  The settings sheet itself is not part of the
    // program yet: until it is, the icon just goes and comes back.
    RemoveTrayIcon();
    AddTrayIcon();
}

void CTapestrixDlg::StartAutoChangeTimer()
{
    DWORD enabled = 0;
    ReadSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_ENABLE_AUTO_CHANGE, &enabled);
    if (enabled == 0)
        return;
    DWORD seconds = 30;
    ReadSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_AUTO_CHANGE_TIMER, &seconds);
    // Periods beyond what a timer can hold run at the longest one instead of
    // wrapping around to a short one.
    const ULONGLONG ms = static_cast<ULONGLONG>(seconds) * 1000;
    SetTimer(IDT_AUTO_CHANGE, ms > USER_TIMER_MAXIMUM ? USER_TIMER_MAXIMUM : static_cast<UINT>(ms));
}

void CTapestrixDlg::CollectWallpapers(CString folder, CStringArray* list, BOOL acceptAllFiles)
{
    ::CollectWallpapers(folder, list, acceptAllFiles);
}

BOOL CTapestrixDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_PAINT)
        return OnPaint(nullptr);
    if (message == WM_QUERYDRAGICON) {
        *result = reinterpret_cast<LRESULT>(OnQueryDragIcon());
        return TRUE;
    }
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case ID_OPEN_SETTINGS: OnOpenSettings(); return TRUE;
        case ID_NEW_WALLPAPER: OnNewWallpaper(); return TRUE;
        case ID_EXIT: OnExit(); return TRUE;
        default: break;
        }
    }
    if (message == WM_TRAY_NOTIFY) {
        OnTrayNotify(wParam, lParam);
        return TRUE;
    }
    // WM_SYSCOMMAND and everything else: default processing.
    return CDialog::OnWndMsg(message, wParam, lParam, result);
}

BOOL CTapestrixDlg::OnPaint(HDC printDC)
{
    // The window is never shown; this only keeps a minimised window tidy.
    if (!IsIconic())
        return FALSE;
    CPaintDC dc(this, printDC);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT client;
    GetClientRect(&client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
    return TRUE;
}

HCURSOR CTapestrixDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CTapestrixDlg::OnTrayNotify(WPARAM iconId, LPARAM mouseMessage)
{
    if (iconId != TRAY_ICON_ID)
        return;
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        OnNewWallpaper();
    } else if (mouseMessage == WM_RBUTTONUP) {
        if (m_bMenuLoaded)
            ShowTrayMenu();
        else
            AfxMessageBox(kMenuNotLoaded);
    }
}

void CTapestrixDlg::OnOpenSettings()
{
    ShowSettingsSheet();
}

void CTapestrixDlg::OnNewWallpaper()
{
    // Filled in together with the wallpaper folder scan.
}

void CTapestrixDlg::ShowTrayMenu()
{
    // Filled in together with the popup menu window.
}

void CTapestrixDlg::OnExit()
{
    // The icon goes first, so none is left behind in the notification area.
    RemoveTrayIcon();
    DestroyWindow();
}
