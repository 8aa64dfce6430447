// The hidden main dialog and its tray icon, driven in this process against
// Wine's real notification area: the dialog built from its template, the
// icon record, what the shell relays back, the tray callback's rules and
// Exit taking the icon away before the window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "TrayView.h"
#include "app/TapestrixDlg.h"
#include "engine/WallpaperChanger.h"
#include "framework/App.h"
#include "res/resource.h"

using namespace tpx::test;

// The engine the dialog's commands use; never connected to the Active
// Desktop here, and the emptied application key names no wallpaper folder.
CWallpaperChanger theWallpaperChanger;

namespace {

// The real dialog, with the two handlers that later parts of the program
// fill in counted, and the tray callbacks it receives recorded.
class CProbeDlg : public CTapestrixDlg {
public:
    int newWallpaperCalls = 0;
    int trayMenuCalls = 0;
    std::vector<std::pair<WPARAM, LPARAM>> trayNotifications;
    // Set by a test: run at WM_DESTROY, while the window still exists.
    std::function<void()> atDestroy;

    HICON Icon() const { return m_hIcon; }

protected:
    void OnNewWallpaper() override
    {
        ++newWallpaperCalls;
        CTapestrixDlg::OnNewWallpaper();
    }
    void ShowTrayMenu() override
    {
        ++trayMenuCalls;
        CTapestrixDlg::ShowTrayMenu();
    }
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message == WM_TRAY_NOTIFY)
            trayNotifications.emplace_back(wParam, lParam);
        if (message == WM_DESTROY && atDestroy)
            atDestroy();
        return CTapestrixDlg::OnWndMsg(message, wParam, lParam, result);
    }
};

class MainDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dlg.Create(IDD_TAPESTRIX_DIALOG));
        m_app.m_pMainWnd = &m_dlg;
        m_dlg.InitTrayIconData();
    }
    void TearDown() override
    {
        if (m_dlg.GetSafeHwnd()) {
            m_dlg.RemoveTrayIcon();
            m_dlg.DestroyWindow();
        }
        MSG quit;
        PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        m_app.m_pMainWnd = nullptr;
    }

    // Finds the place of our icon in the tray by the shell's relayed moves.
    bool LocateIcon(POINT* where)
    {
        return FindTrayIcon(
            [&] {
                for (const auto& n : m_dlg.trayNotifications)
                    if (n.first == TRAY_ICON_ID && n.second == WM_MOUSEMOVE)
                        return true;
                return false;
            },
            where);
    }

    AppRegistryScope m_registry;
    CWinApp m_app{"Tapestrix"};
    CProbeDlg m_dlg;
};

}  // namespace

TEST_F(MainDialog, BuiltHiddenFromItsTemplate)
{
    const HWND hwnd = m_dlg.GetSafeHwnd();
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_STREQ("Tapestrix", m_dlg.GetWindowText());
    const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    EXPECT_EQ(WS_POPUP, style & WS_POPUP);
    EXPECT_EQ(WS_CAPTION, style & WS_CAPTION);
    EXPECT_EQ(WS_SYSMENU, style & WS_SYSMENU);
    EXPECT_EQ(0, style & WS_VISIBLE);
    EXPECT_EQ(WS_EX_APPWINDOW, GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_EQ(WS_EX_DLGMODALFRAME, GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    EXPECT_EQ(nullptr, GetWindow(hwnd, GW_CHILD));

    RECT units{0, 0, 195, 157};
    MapDialogRect(hwnd, &units);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(units.right, client.right);
    EXPECT_EQ(units.bottom, client.bottom);

    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_STREQ("Arial", font.lfFaceName);

    ASSERT_NE(nullptr, m_dlg.Icon());
    EXPECT_EQ(reinterpret_cast<LRESULT>(m_dlg.Icon()), SendMessageA(hwnd, WM_GETICON, ICON_BIG, 0));
    EXPECT_EQ(reinterpret_cast<LRESULT>(m_dlg.Icon()), SendMessageA(hwnd, WM_GETICON, ICON_SMALL, 0));
    EXPECT_EQ(reinterpret_cast<LRESULT>(m_dlg.Icon()), SendMessageA(hwnd, WM_QUERYDRAGICON, 0, 0));
    EXPECT_TRUE(m_dlg.IsMenuLoaded());
}

TEST_F(MainDialog, SystemCommandsGetDefaultProcessing)
{
    const HWND hwnd = m_dlg.GetSafeHwnd();
    SendMessageA(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(hwnd));
    UpdateWindow(hwnd);   // the minimised painting path runs
    SendMessageA(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(hwnd));
    ShowWindow(hwnd, SW_HIDE);
}

TEST_F(MainDialog, TrayIconRecord)
{
    const NOTIFYICONDATAA& nid = m_dlg.GetTrayIconData();
    // The first form of the record: 88 bytes in a 32-bit program.
    EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE), nid.cbSize);
    EXPECT_EQ(sizeof(void*) == 4 ? 88u : 104u, nid.cbSize);
    EXPECT_EQ(m_dlg.GetSafeHwnd(), nid.hWnd);
    EXPECT_EQ(128u, nid.uID);
    EXPECT_EQ(7u, nid.uFlags);
    EXPECT_EQ(0x464u, nid.uCallbackMessage);
    EXPECT_EQ(m_dlg.Icon(), nid.hIcon);
    EXPECT_STREQ("Tapestrix", nid.szTip);
    for (size_t i = sizeof("Tapestrix"); i < sizeof(nid.szTip); ++i)
        ASSERT_EQ(0, nid.szTip[i]) << i;
}

TEST_F(MainDialog, TheShellShowsTheIconAndRelaysItsDoubleClick)
{
    EXPECT_FALSE(TrayShowsIcon(m_dlg.Icon()));
    m_dlg.AddTrayIcon();
    EXPECT_TRUE(WaitFor([&] { return TrayShowsIcon(m_dlg.Icon()); }, 5000));

    POINT where{};
    ASSERT_TRUE(LocateIcon(&where)) << "the shell relays nothing to the dialog";
    EXPECT_EQ(0, m_dlg.newWallpaperCalls);

    // Presses and single clicks do nothing; the double-click changes.
    for (UINT mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_MBUTTONUP, WM_RBUTTONDBLCLK})
        ClickTray(where, mouse);
    PumpMessages(300);
    EXPECT_EQ(0, m_dlg.newWallpaperCalls);
    EXPECT_EQ(0, m_dlg.trayMenuCalls);
    ClickTray(where, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(WaitFor([&] { return m_dlg.newWallpaperCalls == 1; }, 3000));

    m_dlg.RemoveTrayIcon();
    m_dlg.trayNotifications.clear();
    ClickTray(where, WM_LBUTTONDBLCLK);
    PumpMessages(300);
    EXPECT_TRUE(m_dlg.trayNotifications.empty());
    EXPECT_EQ(1, m_dlg.newWallpaperCalls);
    EXPECT_FALSE(TrayShowsIcon(m_dlg.Icon()));
}

TEST_F(MainDialog, TrayCallbackActsOnlyOnItsIconsDoubleClickAndRightRelease)
{
    const HWND hwnd = m_dlg.GetSafeHwnd();
    DialogAnswerer answerer;
    for (UINT mouse : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONDBLCLK,
                       WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK, WM_CONTEXTMENU})
        SendMessageA(hwnd, WM_TRAY_NOTIFY, TRAY_ICON_ID, mouse);
    for (WPARAM otherId : {0, 1, 127, 129, 0x10080})
        SendMessageA(hwnd, WM_TRAY_NOTIFY, otherId, WM_LBUTTONDBLCLK);
    for (WPARAM otherId : {0, 127, 129})
        SendMessageA(hwnd, WM_TRAY_NOTIFY, otherId, WM_RBUTTONUP);
    EXPECT_EQ(0, m_dlg.newWallpaperCalls);
    EXPECT_EQ(0, m_dlg.trayMenuCalls);

    SendMessageA(hwnd, WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
    EXPECT_EQ(1, m_dlg.newWallpaperCalls);
    // The menu's New Wallpaper command runs the same handler.
    SendMessageA(hwnd, WM_COMMAND, ID_NEW_WALLPAPER, 0);
    EXPECT_EQ(2, m_dlg.newWallpaperCalls);

    // Right button released with the menu loaded: the menu, no message.
    SendMessageA(hwnd, WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_RBUTTONUP);
    EXPECT_EQ(1, m_dlg.trayMenuCalls);
    EXPECT_TRUE(answerer.Seen().empty());
    EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(MainDialog, OpeningTheSettingsTakesTheIconAwayAndBringsItBack)
{
    m_dlg.AddTrayIcon();
    POINT where{};
    ASSERT_TRUE(LocateIcon(&where));
    SendMessageA(m_dlg.GetSafeHwnd(), WM_COMMAND, ID_OPEN_SETTINGS, 0);
    EXPECT_TRUE(WaitFor([&] { return TrayShowsIcon(m_dlg.Icon()); }, 5000));
    m_dlg.trayNotifications.clear();
    EXPECT_TRUE(LocateIcon(&where));
}

TEST_F(MainDialog, ExitRemovesTheIconBeforeTheWindowGoes)
{
    m_dlg.AddTrayIcon();
    POINT where{};
    ASSERT_TRUE(LocateIcon(&where));

    bool iconShownAtDestroy = true;
    size_t relayedAtDestroy = 99;
    m_dlg.atDestroy = [&] {
        m_dlg.trayNotifications.clear();
        ClickTray(where, WM_MOUSEMOVE);
        PumpMessages(300);
        relayedAtDestroy = m_dlg.trayNotifications.size();
        iconShownAtDestroy = TrayShowsIcon(m_dlg.Icon());
    };
    const HWND hwnd = m_dlg.GetSafeHwnd();
    SendMessageA(hwnd, WM_COMMAND, ID_EXIT, 0);
    EXPECT_EQ(0u, relayedAtDestroy);
    EXPECT_FALSE(iconShownAtDestroy);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(nullptr, AfxGetMainWnd());
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}
