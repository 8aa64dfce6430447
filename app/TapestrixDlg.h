// CTapestrixDlg: the program's hidden main window.  It is never shown; it
// exists to own the notification-area icon and receive its callback, to
// hold the tray menu, to carry the program's timers and to handle the tray
// menu's commands.  Destroying it ends the program.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "controls/GradientMenu.h"
#include "framework/String.h"
#include "framework/Wnd.h"
#include "settings/Settings.h"

// The shell's callback for the tray icon: WPARAM the icon id, LPARAM the
// mouse message.
#define WM_TRAY_NOTIFY (WM_USER + 100)
#define TRAY_ICON_ID 128

class CTapestrixSheet;

class CTapestrixDlg : public CDialog {
public:
    explicit CTapestrixDlg(CWnd* parent = nullptr);
    ~CTapestrixDlg() override;

    // Fills the tray icon record once the window exists; shows nothing.
    void InitTrayIconData();
    void AddTrayIcon();
    void RemoveTrayIcon();
    // Runs the settings sheet; the tray icon is away while it is open.
    void ShowSettingsSheet();
    // Starts the periodic change when it is switched on (the change flow
    // owns the timer).
    void StartAutoChangeTimer();
    // The wallpaper folder scan (see engine/WallpaperSelection.h).
    static void CollectWallpapers(CString folder, CStringArray* list, BOOL acceptAllFiles);

protected:
    BOOL OnInitDialog() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // Handlers.
    BOOL OnPaint(HDC printDC);
    HCURSOR OnQueryDragIcon();
    void OnTrayNotify(WPARAM iconId, LPARAM mouseMessage);
    void OnTaskbarCreated();
    void OnOpenSettings();
    void OnNewWallpaper();
    void OnWallpaperFolder();
    void OnTileWallpaper();
    void OnCenterWallpaper();
    void OnStretchWallpaper();
    void OnSelectManual();
    void OnSelectRandom();
    void OnSelectSequential();
    void OnHelpTopics();
    void OnTimer(UINT_PTR timerId);
    // A change completed: an open sheet's pages show the new state.
    void OnWallpaperChanged();
    // Opens the tray menu at the cursor and returns when it has closed.
    void ShowTrayMenu();
    // Greys and checks the menu's items as the settings stand now.
    void UpdateTrayMenuState();
    void OnExit();

    HICON m_hIcon;
    BOOL m_bMenuLoaded;
    CGradientMenu m_popupMenu;
    NOTIFYICONDATAA m_trayIconData;

private:
    void ApplyDisplayStyle(int style, LPCSTR failureMessage);
    void ApplySelectionMode(ESelectionMode mode);
    // Shows the desktop icons if a change hid them and their timer is pending.
    void ShowHiddenDesktopItems();

    // What the shell announces when its taskbar (re)starts.
    UINT m_nTaskbarCreatedMessage;
    // TRUE between AddTrayIcon and RemoveTrayIcon: the icon is meant to be
    // in the notification area.
    BOOL m_bTrayIconShown;
    // The settings sheet while it is open: one at a time.
    CTapestrixSheet* m_pOpenSheet = nullptr;
};
