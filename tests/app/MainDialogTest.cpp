// The hidden main dialog in this process, where its menu and its dialogs are
// in reach: what the tray callback acts on and one change at a time, the
// tray icon across a taskbar restart and at Exit, the menu's state at each
// opening, the failure messages and the folder browser.
#include <gtest/gtest.h>

#include "MainDialogSheet.h"
#include <wininet.h>  // before shlobj.h, which hides IActiveDesktop otherwise
#include <shlobj.h>

#include <functional>
#include <iterator>

#include "engine/WallpaperChanger.h"
#include "flow/ChangeFlow.h"

using namespace tpx::test;

CWallpaperChanger theWallpaperChanger;

namespace {

// The position of a submenu's one radio-checked item; -1 for none, -2 for
// any other check.
int RadioChecked(HMENU menu)
{
    int found = -1;
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
        if (const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION); state & MF_CHECKED)
            found = (state & MFT_RADIOCHECK) && found == -1 ? i : -2;
    return found;
}

class CProbeDlg : public CTapestrixDlg {
public:
    HMENU Menu() const { return m_popupMenu.GetSafeHmenu(); }
    // The shell forgetting the icon, as a restarted taskbar has.
    BOOL LoseTrayIcon() { return Shell_NotifyIconA(NIM_DELETE, &m_trayIconData); }
    HBITMAP BitmapOf(UINT item, UINT byPosition) const
    {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_CHECKMARKS;
        GetMenuItemInfoA(Menu(), item, byPosition, &info);
        return info.hbmpUnchecked;
    }
    std::function<void()> atDestroy;   // runs while the window still exists
    std::function<void(HWND)> atMenuOpen;   // each menu level, once shown

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message == WM_DESTROY && atDestroy)
            atDestroy();
        if (message == WM_ENTERMENULOOP && atMenuOpen)
            atMenuOpen(reinterpret_cast<HWND>(lParam));
        return CTapestrixDlg::OnWndMsg(message, wParam, lParam, result);
    }
};

class MainDialog : public MainDialogFixture<CProbeDlg> {
protected:
    // The program's own boxes stand over the main dialog.
    int Answer(HWND dialog) override
    {
        EXPECT_TRUE(m_seen.back().caption != "Tapestrix" || GetWindow(dialog, GW_OWNER) == m_dlg.GetSafeHwnd())
            << m_seen.back().text;
        return m_answer ? m_answer(dialog) : IDCANCEL;
    }
    void TearDown() override
    {
        MainDialogFixture::TearDown();
        if (m_com)
            theWallpaperChanger.Shutdown();   // after the dialog, whose end may still use it
    }
    // The Active Desktop object of the prefix, as the program gets it, with no wallpaper to redraw.
    void AttachProvider()
    {
        SetRegString(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper", "");
        SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", "");
        m_com = theWallpaperChanger.Initialize();
        ASSERT_TRUE(m_com);
    }

    std::function<int(HWND)> m_answer;
    bool m_com = false;
};

}  // namespace

TEST_F(MainDialog, OnlyTheIconsDoubleClickChangesOneAtATimeAndEveryFailureIsToldWithItsMessage)
{
    // Manual choice (nothing stored): a change waits in the file dialog,
    // which the test sees; with nothing to choose from it opens none.
    TempDir folder;
    m_registry.Set("WallpaperFolder", folder.Path());
    Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WritePicture(folder / "a.bmp", 8, 8, RGB(200, 0, 0)));
    for (UINT mouse : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK})
        Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, mouse);
    Send(WM_TRAY_NOTIFY, 0x10080, WM_LBUTTONDBLCLK);   // another icon's id, ours in its low word
    EXPECT_TRUE(m_seen.empty());

    Send(WM_COMMAND, ID_NEW_WALLPAPER);
    ASSERT_EQ(1u, m_seen.size());
    EXPECT_EQ("Select normal desktop wallpaper", m_seen[0].caption);

    // With no Active Desktop object every change and style fails; the help
    // file the build puts beside the programs is moved away for the while.
    const FileSetAside away(ExeDir() + "\\Tapestrix.chm");
    const struct {
        UINT message;
        WPARAM wParam;
        const char* text;
    } failures[] = {{WM_TIMER, IDT_AUTO_CHANGE, "Unable to set normal desktop wallpaper"},
                    {WM_COMMAND, ID_TILE_WALLPAPER, "Unable to tile desktop wallpaper"},
                    {WM_COMMAND, ID_CENTER_WALLPAPER, "Unable to center desktop wallpaper"},
                    {WM_COMMAND, ID_STRETCH_WALLPAPER, "Unable to stretch desktop wallpaper"},
                    {WM_COMMAND, ID_HELP_TOPICS, "Unable to launch help file"}};
    for (const auto& f : failures) {
        Send(f.message, f.wParam);
        EXPECT_EQ(f.text, m_seen.back().text);   // the shell may say first what it could not open
    }

    // While a change waits in its file dialog every way in is refused, and
    // Exit ends the wait, then exits.
    m_seen.clear();
    // Each way in would open a window or a box, or change what it names.
    const std::function<void()> ways[] = {
        [&] { Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK); },
        [&] { Send(WM_COMMAND, ID_OPEN_SETTINGS); },
        [&] { EXPECT_FALSE(theChangeFlow.SetPicture(nullptr, FALSE, (folder / "a.bmp").c_str(), "")); },
        [&] { Send(WM_TIMER, IDT_AUTO_CHANGE); },
    };
    static std::function<void()> whileWaiting;
    HWND waiting = nullptr;
    whileWaiting = [&] {
        for (size_t i = 0; i < std::size(ways); ++i) {
            ways[i]();
            PumpMessages(30);
            EXPECT_EQ(1u, m_seen.size()) << "way " << i;
            EXPECT_TRUE(IsWindowVisible(waiting)) << "way " << i;
        }
        EXPECT_EQ(waiting, GetForegroundWindow()) << "the tray shows what the change waits on";
        PostMessageA(m_dlg.GetSafeHwnd(), WM_COMMAND, ID_EXIT, 0);
    };
    m_answer = [&](HWND dialog) {
        waiting = dialog;
        SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            whileWaiting();
        });
        return 0;   // stays open
    };
    const HWND hwnd = m_dlg.GetSafeHwnd();
    Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
    PumpMessages(300);
    ASSERT_EQ(1u, m_seen.size());
    EXPECT_FALSE(IsWindow(waiting));
    EXPECT_FALSE(IsWindow(hwnd)) << "Exit, once the wait has ended";
    EXPECT_FALSE(theChangeFlow.IsChanging());
}

TEST_F(MainDialog, TheMenuShowsAtEveryOpeningWhatIsStoredAndWhatTheCommandsDidOrThatItCouldNotLoad)
{
    // A picture to choose, so that a double-click taken during the menu would ask.
    TempDir folder;
    ASSERT_TRUE(WriteFileText(folder / "plain.txt", "not a folder"));
    ASSERT_TRUE(WritePicture(folder / "a.bmp", 8, 8, RGB(200, 0, 0)));
    const struct {
        const char* folder;   // in the test's folder, "" for that folder
        DWORD selection;
        UINT command;         // run next, with the shell's object attached
        bool greyed;
        int style, mode;      // the radio-checked positions
    } cases[] = {// No Active Desktop object: the style cannot be read, Center.
                 {"missing", 1, 0, true, 1, 1},
                 {"plain.txt", 2, 0, true, 1, 2},
                 {"", 5, ID_STRETCH_WALLPAPER, false, 2, -1},   // a value that names no mode
                 {"", 5, ID_TILE_WALLPAPER, false, 0, -1},
                 {"", 5, ID_SELECT_SEQUENTIAL, false, 0, 2},
                 {"", 5, ID_SELECT_MANUAL, false, 0, 0}};
    int gdi = -1;   // once the first opening has filled Wine's caches
    for (const auto& c : cases) {
        m_registry.Set("WallpaperFolder", *c.folder ? folder / c.folder : folder.Path());
        m_registry.Set("Selection", c.selection);
        if (c.command && !m_com)
            AttachProvider();
        Send(WM_COMMAND, c.command);
        int opened = 0;
        m_dlg.atMenuOpen = [&](HWND menuWindow) {
            ++opened;
            // A second right-click and a double-click delivered by the
            // menu's loop do nothing.
            Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_RBUTTONUP);
            Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
            EXPECT_EQ(c.greyed, (GetMenuState(m_dlg.Menu(), ID_NEW_WALLPAPER, MF_BYCOMMAND) & MF_GRAYED) != 0);
            EXPECT_EQ(c.style, RadioChecked(GetSubMenu(m_dlg.Menu(), TRAY_MENU_POS_DISPLAY_STYLES))) << c.command;
            EXPECT_EQ(c.mode, RadioChecked(GetSubMenu(m_dlg.Menu(), TRAY_MENU_POS_SELECTION_OPTIONS))) << c.command;
            EXPECT_NE(nullptr, m_dlg.BitmapOf(TRAY_MENU_POS_SELECTION_OPTIONS, TRUE));
            PostMessageA(menuWindow, WM_KEYDOWN, VK_ESCAPE, 0);
        };
        Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_RBUTTONUP);
        PumpMessages(50);
        EXPECT_EQ(1, opened);
        EXPECT_EQ(nullptr, m_dlg.BitmapOf(TRAY_MENU_POS_SELECTION_OPTIONS, TRUE));
        gdi = gdi < 0 ? CountGdiObjects() : gdi;
    }
    EXPECT_EQ(gdi, CountGdiObjects()) << "the menu's openings keep GDI objects";
    EXPECT_TRUE(m_seen.empty());   // Escape ran nothing; a chosen item: tests/e2e

    // Resources from a module without the tray menu while a dialog loads it.
    m_app.m_hInstance = GetModuleHandleA("kernel32.dll");
    CTapestrixDlg dlg;
    m_app.m_hInstance = nullptr;
    ASSERT_TRUE(dlg.Create(IDD_TAPESTRIX_DIALOG));
    SendMessageA(dlg.GetSafeHwnd(), WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_RBUTTONUP);
    dlg.DestroyWindow();
    ASSERT_EQ(1u, m_seen.size());
    EXPECT_EQ("Popup menu not available due to error occured during loading", m_seen[0].text);
}

// What the program does with the dialog at start, and what the taskbar and
// Exit do with its icon.
TEST_F(MainDialog, AutoChangeOnlyWhenOnTheIconBackAfterATaskbarRestartOnlyWhileShownAndGoneBeforeExit)
{
    // (The period, from the stored seconds: tests/sheet.)
    const std::pair<DWORD, bool> flags[] = {{~0u, false}, {0, false}, {1, true}, {2, true}};   // ~0u: not stored
    for (const auto& [flag, runs] : flags) {
        if (flag != ~0u)
            m_registry.Set("EnableAutoChange", flag);
        m_dlg.StartAutoChangeTimer();
        EXPECT_EQ(runs, KillTimer(m_dlg.GetSafeHwnd(), IDT_AUTO_CHANGE) != FALSE) << flag;
    }

    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    const HWND hwnd = m_dlg.GetSafeHwnd();
    ASSERT_TRUE(m_dlg.LoseTrayIcon());
    Send(taskbarCreated, 0);
    EXPECT_TRUE(TrayHasIcon(hwnd, 0));
    m_dlg.RemoveTrayIcon();   // away on purpose while the settings are open
    Send(taskbarCreated, 0);
    EXPECT_FALSE(TrayHasIcon(hwnd, 0));
    m_dlg.AddTrayIcon();
    bool iconAtDestroy = true;
    m_dlg.atDestroy = [&] { iconAtDestroy = TrayHasIcon(hwnd, 0); };
    Send(WM_COMMAND, ID_EXIT);
    EXPECT_FALSE(iconAtDestroy);
}

// Timer 100 shows the icons once (the engine restarts it at every change);
// any end of the dialog while it is pending shows them too.
TEST_F(MainDialog, IconsHiddenByAChangeComeBackAtTheTimerOrHoweverTheDialogEnds)
{
    // The shell's desktop window, whose hiding hides the icons; Wine has none.
    WNDCLASSA wc{0, DefWindowProcA, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr, "Progman"};
    RegisterClassA(&wc);
    const HWND desktop = CreateWindowExA(WS_EX_TOOLWINDOW, "Progman", "", WS_POPUP | WS_VISIBLE, 0, 0, 4, 4, nullptr,
                                         nullptr, wc.hInstance, nullptr);
    TempDir dir;
    ASSERT_TRUE(WritePicture(dir / "a.bmp", 8, 8, RGB(90, 60, 30)));
    m_registry.Set("HideItemTimer", 60);
    AttachProvider();
    m_registry.Set("HideDesktopItems", 2);   // only 1 hides
    ASSERT_TRUE(theChangeFlow.SetPicture(nullptr, FALSE, (dir / "a.bmp").c_str(), ""));
    EXPECT_TRUE(IsWindowVisible(desktop));
    m_registry.Set("HideDesktopItems", 1);
    const std::pair<UINT, WPARAM> endings[] = {
        {WM_TIMER, IDT_SHOW_DESKTOP_ITEMS}, {WM_COMMAND, ID_EXIT}, {WM_ENDSESSION, TRUE}};
    for (const auto& [message, wParam] : endings) {
        CTapestrixDlg dlg;
        ASSERT_TRUE(dlg.Create(IDD_TAPESTRIX_DIALOG));
        m_app.m_pMainWnd = &dlg;
        ASSERT_TRUE(theChangeFlow.SetPicture(nullptr, FALSE, (dir / "a.bmp").c_str(), ""));
        ASSERT_FALSE(IsWindowVisible(desktop));
        SendMessageA(dlg.GetSafeHwnd(), message, wParam, 0);
        EXPECT_TRUE(IsWindowVisible(desktop)) << message;
        EXPECT_FALSE(KillTimer(dlg.GetSafeHwnd(), IDT_SHOW_DESKTOP_ITEMS)) << "a one-shot timer";
        dlg.DestroyWindow();
        MSG quit;   // posted as the main window went
        PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        m_app.m_pMainWnd = &m_dlg;
    }
    // Icons hidden by anyone else are none of the program's business.
    ShowWindow(desktop, SW_HIDE);
    Send(WM_COMMAND, ID_EXIT);
    EXPECT_FALSE(IsWindowVisible(desktop));
    DestroyWindow(desktop);
}

TEST_F(MainDialog, WallpaperFolderStoresOnlyAChosenFileSystemFolder)
{
    TempDir folder;
    const std::string before = "C:\\before";
    m_registry.Set("WallpaperFolder", before);
    PIDLIST_ABSOLUTE computer = nullptr;   // "My Computer" has no path
    ASSERT_EQ(S_OK, SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer));
    // The folder browser shows `item` and is left with `button`: what is stored then.
    auto choose = [&](BOOL isPath, const void* item, int button) {
        m_answer = [=](HWND dialog) {
            EXPECT_TRUE(FindWindowExA(dialog, nullptr, "Static", "Choose the folder containing your wallpapers"));
            SendMessageA(dialog, BFFM_SETSELECTIONA, isPath, reinterpret_cast<LPARAM>(item));
            return button;
        };
        Send(WM_COMMAND, ID_WALLPAPER_FOLDER);
        return GetRegString(HKEY_CURRENT_USER, kAppKey, "WallpaperFolder");
    };
    EXPECT_EQ(before, choose(TRUE, folder.Path().c_str(), IDCANCEL));
    EXPECT_EQ(before, choose(FALSE, computer, IDOK));
    EXPECT_EQ(folder.Path(), choose(TRUE, folder.Path().c_str(), IDOK));
    CoTaskMemFree(computer);
}
