#include "app/TapestrixDlg.h"

#include <wininet.h>  // before shlobj.h, which hides IActiveDesktop otherwise
#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>

#include "engine/WallpaperChanger.h"
#include "engine/WallpaperSelection.h"
#include "flow/ChangeFlow.h"
#include "framework/App.h"
#include "framework/FolderDialog.h"
#include "framework/Gdi.h"
#include "framework/Handles.h"
#include "framework/ProgramPath.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "sheet/AboutPage.h"
#include "sheet/DesktopInformationPage.h"
#include "sheet/OptionsPage.h"
#include "sheet/TapestrixSheet.h"
#include "sheet/WallpaperBrowserPage.h"

namespace {

const char kTrayTip[] = "Tapestrix";
const char kMenuNotLoaded[] = "Popup menu not available due to error occured during loading";
const char kFolderBrowserTitle[] = "Choose the folder containing your wallpapers";
const char kHelpNotLaunched[] = "Unable to launch help file";
const char kSheetCaption[] = "Tapestrix - Weaving pictures into your desktop";

// The item bitmaps of one opening of the tray menu: loaded and attached to
// their items when it opens, taken off the items and deleted when it has
// closed (or could not open), so no item keeps a dead handle.  Each is the
// largest drawing of its picture that the menu's 16 pixels at `dpi` hold.
class CTrayMenuBitmaps {
public:
    CTrayMenuBitmaps(HMENU menu, UINT dpi) : m_menu(menu)
    {
        const int size = ScaleForDpi(16, dpi);
        const UINT drawing = size >= 32 ? IDB_MENU_32 : (size >= 24 ? IDB_MENU_24 : 0);
        for (size_t i = 0; i < kCount; ++i) {
            HINSTANCE module = AfxGetResourceHandle();
            m_bitmaps[i].Reset(::LoadBitmapA(module, MAKEINTRESOURCEA(kItems[i].bitmap + drawing)));
            if (!m_bitmaps[i])
                m_bitmaps[i].Reset(::LoadBitmapA(module, MAKEINTRESOURCEA(kItems[i].bitmap)));
            if (m_bitmaps[i])
                ::SetMenuItemBitmaps(m_menu, kItems[i].item, kItems[i].by, m_bitmaps[i].Get(), m_bitmaps[i].Get());
        }
    }
    ~CTrayMenuBitmaps()
    {
        for (size_t i = 0; i < kCount; ++i) {
            if (m_bitmaps[i])
                ::SetMenuItemBitmaps(m_menu, kItems[i].item, kItems[i].by, nullptr, nullptr);
        }
    }
    CTrayMenuBitmaps(const CTrayMenuBitmaps&) = delete;
    CTrayMenuBitmaps& operator=(const CTrayMenuBitmaps&) = delete;

private:
    struct Item {
        UINT item;
        UINT by;
        UINT bitmap;
    };
    static constexpr size_t kCount = 7;
    static constexpr Item kItems[kCount] = {
        {ID_EXIT, MF_BYCOMMAND, IDB_MENU_EXIT},
        {ID_HELP_TOPICS, MF_BYCOMMAND, IDB_MENU_HELP_TOPICS},
        {ID_OPEN_SETTINGS, MF_BYCOMMAND, IDB_MENU_TAPESTRIX},
        {ID_NEW_WALLPAPER, MF_BYCOMMAND, IDB_MENU_NEW_WALLPAPER},
        {ID_WALLPAPER_FOLDER, MF_BYCOMMAND, IDB_MENU_WALLPAPER_FOLDER},
        {TRAY_MENU_POS_DISPLAY_STYLES, MF_BYPOSITION, IDB_MENU_DISPLAY_STYLES},
        {TRAY_MENU_POS_SELECTION_OPTIONS, MF_BYPOSITION, IDB_MENU_SELECTION_OPTIONS},
    };
    HMENU m_menu;
    CBitmapHandle m_bitmaps[kCount];
};

}  // namespace

CTapestrixDlg::CTapestrixDlg(CWnd* parent)
    : CDialog(IDD_TAPESTRIX_DIALOG, parent),
      m_hIcon(AfxGetApp() ? AfxGetApp()->LoadIcon(IDR_MAINFRAME)
                          : ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_bMenuLoaded(FALSE),
      m_popupMenu(24, FALSE),
      m_trayIconData{},
      m_nTaskbarCreatedMessage(::RegisterWindowMessageA("TaskbarCreated")),
      m_bTrayIconShown(FALSE)
{
    // The menu is loaded once and lives as long as the dialog.
    m_bMenuLoaded = m_popupMenu.Attach(
        ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_TRAY_MENU)));
    m_popupMenu.SetBandText("Tapestrix");
    m_popupMenu.SetBandColors(RGB(255, 255, 255), RGB(255, 255, 0), RGB(0, 0, 0));
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
    m_bTrayIconShown = TRUE;
    ::Shell_NotifyIconA(NIM_ADD, &m_trayIconData);
}

void CTapestrixDlg::RemoveTrayIcon()
{
    m_bTrayIconShown = FALSE;
    ::Shell_NotifyIconA(NIM_DELETE, &m_trayIconData);
}

void CTapestrixDlg::ShowSettingsSheet()
{
    // One sheet at a time: a command that arrives while it is open (the
    // icon is away, but the command can still be sent) brings it forward.
    if (m_pOpenSheet) {
        if (m_pOpenSheet->GetSafeHwnd())
            ::SetForegroundWindow(m_pOpenSheet->GetSafeHwnd());
        return;
    }

    CTapestrixSheet sheet(kSheetCaption, nullptr, ReadAppDword(AppSetting::CurrentActivePage));
    CAboutTapestrixPage about;
    CTapestrixOptionsPage options;
    CWallpaperBrowserPage browser;
    CDesktopInformationPage desktop;
    const struct {
        CPropertyPage* page;
        UINT icon;
    } pages[] = {{&about, IDI_ABOUT},
                 {&desktop, IDI_DESKTOP_INFORMATION},
                 {&browser, IDI_WALLPAPER_BROWSER},
                 {&options, IDI_OPTIONS}};
    for (const auto& entry : pages) {
        entry.page->m_psp.dwFlags |= PSP_USEHICON;
        entry.page->m_psp.hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(entry.icon));
        sheet.AddPage(entry.page);
    }

    // The tray icon is away while the sheet is open.
    RemoveTrayIcon();
    struct OpenMark {
        CTapestrixSheet*& open;
        ~OpenMark() { open = nullptr; }
    } const mark{m_pOpenSheet = &sheet};
    sheet.DoModal();
    // Exit may have come while the sheet was open: then there is no window
    // left to own an icon.
    if (::IsWindow(m_hWnd))
        AddTrayIcon();
}

void CTapestrixDlg::StartAutoChangeTimer()
{
    theChangeFlow.StartAutoChangeTimer();
}

void CTapestrixDlg::CollectWallpapers(CString folder, CStringArray* list, BOOL acceptAllFiles)
{
    ::CollectWallpapers(folder, list, acceptAllFiles);
}

BOOL CTapestrixDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_PAINT)
        return OnPaint(nullptr);
    if (message == WM_PRINTCLIENT)
        return OnPaint(reinterpret_cast<HDC>(wParam));
    if (message == WM_QUERYDRAGICON) {
        *result = reinterpret_cast<LRESULT>(OnQueryDragIcon());
        return TRUE;
    }
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case ID_OPEN_SETTINGS: OnOpenSettings(); return TRUE;
        case ID_NEW_WALLPAPER: OnNewWallpaper(); return TRUE;
        case ID_WALLPAPER_FOLDER: OnWallpaperFolder(); return TRUE;
        case ID_TILE_WALLPAPER: OnTileWallpaper(); return TRUE;
        case ID_CENTER_WALLPAPER: OnCenterWallpaper(); return TRUE;
        case ID_STRETCH_WALLPAPER: OnStretchWallpaper(); return TRUE;
        case ID_SELECT_MANUAL: OnSelectManual(); return TRUE;
        case ID_SELECT_RANDOM: OnSelectRandom(); return TRUE;
        case ID_SELECT_SEQUENTIAL: OnSelectSequential(); return TRUE;
        case ID_HELP_TOPICS: OnHelpTopics(); return TRUE;
        case ID_EXIT: OnExit(); return TRUE;
        default: break;
        }
    }
    // Timer messages go on to default processing after the handler.
    if (message == WM_TIMER)
        OnTimer(wParam);
    // However the dialog ends (Exit, another path to its destruction, or the
    // session ending without one), icons a change hid come back first: the
    // timer that would show them dies with the window.
    if (message == WM_DESTROY || (message == WM_ENDSESSION && wParam))
        ShowHiddenDesktopItems();
    if (message == WM_TRAY_NOTIFY) {
        OnTrayNotify(wParam, lParam);
        return TRUE;
    }
    if (message == WM_WALLPAPER_CHANGED) {
        OnWallpaperChanged();
        return TRUE;
    }
    if (m_nTaskbarCreatedMessage != 0 && message == m_nTaskbarCreatedMessage) {
        OnTaskbarCreated();
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
    // The menu's loop delivers further tray clicks (Wine's tray sends a
    // second right-click without closing the menu): while it is open the
    // icon does nothing.
    if (m_popupMenu.IsOpen())
        return;
    // While a change waits for the user, either click shows what it waits
    // on and opens nothing else.
    if ((mouseMessage == WM_LBUTTONDBLCLK || mouseMessage == WM_RBUTTONUP) &&
        theChangeFlow.BringWaitingWindowToFront())
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

void CTapestrixDlg::OnTaskbarCreated()
{
    // A restarted taskbar has forgotten every icon.  While the settings sheet
    // is open the icon is away on purpose and comes back when it closes.
    if (m_bTrayIconShown)
        ::Shell_NotifyIconA(NIM_ADD, &m_trayIconData);
}

void CTapestrixDlg::OnOpenSettings()
{
    // A sheet opened inside a waiting change's dialog could change nothing.
    if (theChangeFlow.BringWaitingWindowToFront())
        return;
    ShowSettingsSheet();
}

void CTapestrixDlg::OnWallpaperChanged()
{
    if (m_pOpenSheet && m_pOpenSheet->GetSafeHwnd())
        m_pOpenSheet->SendMessage(PSM_QUERYSIBLINGS, TPX_SIBLINGS_WALLPAPER_CHANGED, 0);
}

void CTapestrixDlg::OnNewWallpaper()
{
    // One change at a time: the flow refuses a second one while an earlier
    // one waits in its file dialog or message box.
    theChangeFlow.NewWallpaper();
}

void CTapestrixDlg::OnWallpaperFolder()
{
    // An item without a file system path leaves the stored folder as it was
    // rather than replacing it with nothing.
    CFolderDialog dialog(kFolderBrowserTitle, BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN, m_hWnd);
    if (dialog.DoModal() == IDOK)
        WriteAppString(AppSetting::WallpaperFolder, dialog.GetFolderPath());
}

void CTapestrixDlg::ApplyDisplayStyle(int style, LPCSTR failureMessage)
{
    // Refused without a word while a change runs: it would restyle the
    // desktop under that change.
    if (theChangeFlow.IsChanging())
        return;
    const HMENU styles = m_popupMenu.GetSubMenu(TRAY_MENU_POS_DISPLAY_STYLES);
    if (!styles)
        return;
    // The check stays even when the style is refused: the menu shows the
    // engine's style anyway the next time it opens.
    ::CheckMenuRadioItem(styles, DISPLAY_STYLE_TILE, DISPLAY_STYLE_STRETCH, static_cast<UINT>(style),
                         MF_BYPOSITION);
    if (!theWallpaperChanger.SetDisplayStyle(style))
        AfxMessageBox(failureMessage);
    else
        SendMessage(WM_WALLPAPER_CHANGED);
}

void CTapestrixDlg::OnTileWallpaper()
{
    ApplyDisplayStyle(DISPLAY_STYLE_TILE, "Unable to tile desktop wallpaper");
}

void CTapestrixDlg::OnCenterWallpaper()
{
    ApplyDisplayStyle(DISPLAY_STYLE_CENTER, "Unable to center desktop wallpaper");
}

void CTapestrixDlg::OnStretchWallpaper()
{
    ApplyDisplayStyle(DISPLAY_STYLE_STRETCH, "Unable to stretch desktop wallpaper");
}

void CTapestrixDlg::ApplySelectionMode(ESelectionMode mode)
{
    if (theChangeFlow.IsChanging())
        return;
    const HMENU modes = m_popupMenu.GetSubMenu(TRAY_MENU_POS_SELECTION_OPTIONS);
    if (!modes)
        return;
    ::CheckMenuRadioItem(modes, SELECTION_MANUAL, SELECTION_SEQUENTIAL, mode, MF_BYPOSITION);
    // A failed write (no application key) stays silent.
    WriteAppDword(AppSetting::Selection, mode);
}

void CTapestrixDlg::OnSelectManual()
{
    ApplySelectionMode(SELECTION_MANUAL);
}

void CTapestrixDlg::OnSelectRandom()
{
    ApplySelectionMode(SELECTION_RANDOM);
}

void CTapestrixDlg::OnSelectSequential()
{
    ApplySelectionMode(SELECTION_SEQUENTIAL);
}

void CTapestrixDlg::OnHelpTopics()
{
    if (!LaunchHelpFile())
        AfxMessageBox(kHelpNotLaunched);
}

void CTapestrixDlg::OnTimer(UINT_PTR timerId)
{
    theChangeFlow.OnTimer(timerId);
}

void CTapestrixDlg::ShowHiddenDesktopItems()
{
    theChangeFlow.ShowHiddenDesktopItems();
}

void CTapestrixDlg::ShowTrayMenu()
{
    POINT cursor{};
    ::GetCursorPos(&cursor);
    if (!m_bMenuLoaded || m_popupMenu.IsOpen())
        return;
    CTrayMenuBitmaps bitmaps(m_popupMenu.GetSafeHmenu(), GetWindowDpi(m_hWnd));
    UpdateTrayMenuState();
    // The hidden owner in front, so that the menu closes when the user
    // clicks elsewhere.
    SetForegroundWindow();
    m_popupMenu.TrackMenu(0, cursor.x, cursor.y, this, nullptr);
    // Exit may have destroyed this window while the menu was open.
    if (m_hWnd)
        SetForegroundWindow();
}

void CTapestrixDlg::UpdateTrayMenuState()
{
    const HMENU menu = m_popupMenu.GetSafeHmenu();
    if (!menu)
        return;
    const CString folder = ReadAppString(AppSetting::WallpaperFolder);
    const BOOL isFolder = !folder.IsEmpty() && ::PathIsDirectoryA(folder);
    ::EnableMenuItem(menu, ID_NEW_WALLPAPER, MF_BYCOMMAND | (isFolder ? MF_ENABLED : MF_GRAYED));

    if (const HMENU styles = m_popupMenu.GetSubMenu(TRAY_MENU_POS_DISPLAY_STYLES)) {
        int style = theWallpaperChanger.GetDisplayStyle();
        if (style < DISPLAY_STYLE_TILE || style > DISPLAY_STYLE_STRETCH)
            style = DISPLAY_STYLE_CENTER;   // unreadable
        ::CheckMenuRadioItem(styles, 0, 2, static_cast<UINT>(style), MF_BYPOSITION);
    }
    if (const HMENU modes = m_popupMenu.GetSubMenu(TRAY_MENU_POS_SELECTION_OPTIONS)) {
        const DWORD selection = ReadAppDword(AppSetting::Selection);
        if (selection <= SELECTION_SEQUENTIAL) {
            ::CheckMenuRadioItem(modes, 0, 2, selection, MF_BYPOSITION);
        } else {
            // A value that names no mode checks none.
            for (UINT i = 0; i <= 2; ++i)
                ::CheckMenuItem(modes, i, MF_BYPOSITION | MF_UNCHECKED);
        }
    }
}

void CTapestrixDlg::OnExit()
{
    // A change waiting for the user is ended first; Exit comes back once
    // that change has unwound, so nothing of it is left half done.
    if (theChangeFlow.EndWaitThenPost(m_hWnd, WM_COMMAND, ID_EXIT, 0))
        return;
    // The icon goes first, so none is left behind in the notification area.
    RemoveTrayIcon();
    DestroyWindow();
}
