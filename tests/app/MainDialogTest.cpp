// The hidden main dialog in this process, where its menu and its dialogs are
// in reach: what the tray callback acts on and one change at a time, the
// tray icon across a taskbar restart and at Exit, the menu commands' checks
// and effects, the failure messages and the folder browser.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include <wininet.h>  // before shlobj.h, which hides IActiveDesktop otherwise
#include <shlobj.h>

#include "framework/ProgramPath.h"
#include "app/TapestrixDlg.h"
#include "engine/WallpaperChanger.h"
#include "flow/ChangeFlow.h"
#include "framework/App.h"
#include "res/resource.h"

using namespace tpx::test;

CWallpaperChanger theWallpaperChanger;

namespace {

// Asks the shell about `owner`'s icon; NIM_MODIFY changing nothing succeeds
// only while the shell holds the icon.
bool Tray(DWORD action, HWND owner)
{
    NOTIFYICONDATAA nid{};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = owner;
    nid.uID = TRAY_ICON_ID;
    return Shell_NotifyIconA(action, &nid) != FALSE;
}

// A menu as text: "Text=id" items, "-" separators, "Text(...)" submenus, a
// "*" after a radio check and a "!" after any other check.
std::string Describe(HMENU menu)
{
    std::string text;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char name[64] = "";
        MENUITEMINFOA item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING | MIIM_STATE;
        item.dwTypeData = name;
        item.cch = sizeof name;
        GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &item);
        text += i ? "|" : "";
        if (item.fType & MFT_SEPARATOR)
            text += "-";
        else if (item.hSubMenu)
            text += std::string(name) + "(" + Describe(item.hSubMenu) + ")";
        else
            text += std::string(name) + "=" + std::to_string(item.wID);
        if (item.fState & MFS_CHECKED)
            text += (item.fType & MFT_RADIOCHECK) ? "*" : "!";
    }
    return text;
}

// The period of the last periodic-change timer set, recorded at the
// program's import of SetTimer.
UINT g_autoChangeMs;
decltype(&SetTimer) g_setTimer;
UINT_PTR WINAPI RecordSetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    if (id == IDT_AUTO_CHANGE)
        g_autoChangeMs = elapse;
    return g_setTimer(hwnd, id, elapse, proc);
}

// The shell's desktop window, whose hiding hides the icons; Wine has none.
HWND MakeProgman()
{
    WNDCLASSA wc{0, DefWindowProcA, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr, "Progman"};
    RegisterClassA(&wc);
    return CreateWindowExA(WS_EX_TOOLWINDOW, "Progman", "", WS_POPUP | WS_VISIBLE, 0, 0, 4, 4, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

class CProbeDlg : public CTapestrixDlg {
public:
    HMENU Submenu(int position) const { return m_popupMenu.GetSubMenu(position); }
    HMENU Menu() const { return m_popupMenu.GetSafeHmenu(); }
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

class MainDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dlg.Create(IDD_TAPESTRIX_DIALOG));
        m_app.m_pMainWnd = &m_dlg;
        m_dlg.InitTrayIconData();
        // The program's own hidden dialogs are activated again when a box
        // closes; they are no dialogs to answer.
        m_answerer.SetHandler([this](HWND dialog, const DialogSeen& seen) {
            if (CWnd::FromHandlePermanent(dialog))
                return 0;
            m_seen.push_back(seen);
            EXPECT_TRUE(seen.caption != "Tapestrix" || GetWindow(dialog, GW_OWNER) == m_dlg.GetSafeHwnd())
                << seen.text;
            return m_answer ? m_answer(dialog) : IDCANCEL;
        });
    }
    void TearDown() override
    {
        theWallpaperChanger.Attach(nullptr);
        if (m_dlg.GetSafeHwnd()) {
            m_dlg.RemoveTrayIcon();
            m_dlg.DestroyWindow();
        }
        MSG quit;
        PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        m_app.m_pMainWnd = nullptr;
    }
    void Send(UINT message, WPARAM wParam, LPARAM lParam = 0)
    {
        SendMessageA(m_dlg.GetSafeHwnd(), message, wParam, lParam);
    }
    // The Active Desktop object of the prefix, with no wallpaper to redraw.
    void AttachProvider()
    {
        SetRegString(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper", "");
        SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", "");
        ASSERT_EQ(S_OK, CoInitialize(nullptr));
        IActiveDesktop* object = nullptr;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveDesktop,
                                         reinterpret_cast<void**>(&object)));
        theWallpaperChanger.Attach(object);
        object->Release();
    }
    void DetachProvider()
    {
        theWallpaperChanger.Attach(nullptr);   // before COM goes
        CoUninitialize();
    }

    AppRegistryScope m_registry;
    CWinApp m_app{"Tapestrix"};
    CProbeDlg m_dlg;
    DialogAnswerer m_answerer;
    std::vector<DialogSeen> m_seen;
    std::function<int(HWND)> m_answer;
};

}  // namespace

TEST_F(MainDialog, OnlyTheIconsDoubleClickChangesAndOneChangeRunsAtATime)
{
    // Manual choice: a change waits in the file dialog, which the test sees;
    // with nothing to choose from it opens none.
    TempDir folder;
    ASSERT_TRUE(WriteFileText(folder / "notes.txt", "not a picture"));
    m_registry.Set("WallpaperFolder", folder.Path());
    m_registry.Set("Selection", 0);
    m_registry.Set("AutoChangeSelection", 0);
    Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
    Send(WM_COMMAND, ID_NEW_WALLPAPER);
    ASSERT_TRUE(WriteSolidBmp(folder / "a.bmp", 8, 8, RGB(200, 0, 0)));
    for (UINT mouse : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK})
        Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, mouse);
    for (WPARAM otherId : {0, 127, 129, 0x10080})
        Send(WM_TRAY_NOTIFY, otherId, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(m_seen.empty());

    // With no Active Desktop object both ways fail, and say so.
    m_answer = [](HWND) { return IDCANCEL; };
    Send(WM_COMMAND, ID_NEW_WALLPAPER);
    Send(WM_TIMER, IDT_AUTO_CHANGE);
    ASSERT_EQ(2u, m_seen.size());
    EXPECT_EQ("Select normal desktop wallpaper", m_seen[0].caption);
    EXPECT_EQ("Unable to set normal desktop wallpaper", m_seen[1].text);
}

TEST_F(MainDialog, WhileAChangeWaitsEveryWayInIsRefusedAndExitEndsTheWaitThenExits)
{
    TempDir folder;
    ASSERT_TRUE(WriteSolidBmp(folder / "a.bmp", 8, 8, RGB(200, 0, 0)));
    m_registry.Set("WallpaperFolder", folder.Path());
    m_registry.Set("Selection", 0);
    int menus = 0;
    m_dlg.atMenuOpen = [&](HWND menu) {
        ++menus;
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    };
    // Each way in would open a window or a box, or change what it names.
    const struct {
        const char* way;
        std::function<void()> act;
    } ways[] = {
        {"double-click", [&] { Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK); }},
        {"right-click", [&] { Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_RBUTTONUP); }},
        {"style command", [&] { Send(WM_COMMAND, ID_TILE_WALLPAPER); }},
        {"selection command", [&] { Send(WM_COMMAND, ID_SELECT_RANDOM); }},
        {"settings", [&] { Send(WM_COMMAND, ID_OPEN_SETTINGS); }},
        {"sheet Set", [&] { EXPECT_FALSE(theChangeFlow.SetPicture(nullptr, FALSE, (folder / "a.bmp").c_str(), "")); }},
        {"timer tick", [&] { Send(WM_TIMER, IDT_AUTO_CHANGE); }},
    };
    static std::function<void()> whileWaiting;
    HWND waiting = nullptr;
    whileWaiting = [&] {
        for (const auto& w : ways) {
            w.act();
            PumpMessages(30);
            EXPECT_EQ(1u, m_seen.size()) << w.way;
            EXPECT_TRUE(IsWindowVisible(waiting)) << w.way;
        }
        EXPECT_EQ(0, menus);
        EXPECT_EQ(0u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "Selection"));
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
    EXPECT_EQ("Select normal desktop wallpaper", m_seen[0].caption);
    EXPECT_FALSE(IsWindow(waiting));
    EXPECT_FALSE(IsWindow(hwnd)) << "Exit, once the wait has ended";
    EXPECT_FALSE(theChangeFlow.IsChanging());
}

TEST_F(MainDialog, TrayMenuStateIsWorkedOutAtEveryOpeningAndItsBitmapsLiveOnlyWhileItIsOpen)
{
    TempDir folder;
    ASSERT_TRUE(WriteFileText(folder / "plain.txt", "not a folder"));
    auto bitmapOf = [&](UINT item, UINT byPosition) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_CHECKMARKS;
        GetMenuItemInfoA(m_dlg.Menu(), item, byPosition, &info);
        return info.hbmpUnchecked;
    };
    const struct {
        const char* folder;    // null: absent
        DWORD selection;       // 9: absent
        bool greyed;
        const char* modes;
    } cases[] = {{nullptr, 9, true, "Manual=32777*|Random=32778|Sequential=32779"},
                 {"missing", 1, true, "Manual=32777|Random=32778*|Sequential=32779"},
                 {"plain.txt", 2, true, "Manual=32777|Random=32778|Sequential=32779*"},
                 {"", 0, false, "Manual=32777*|Random=32778|Sequential=32779"}};
    for (const auto& c : cases) {
        if (c.folder)
            m_registry.Set("WallpaperFolder", *c.folder ? folder / c.folder : folder.Path());
        if (c.selection != 9)
            m_registry.Set("Selection", c.selection);
        int opened = 0;
        m_dlg.atMenuOpen = [&](HWND menuWindow) {
            ++opened;
            // A second right-click and a double-click delivered by the
            // menu's loop do nothing.
            Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_RBUTTONUP);
            Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
            EXPECT_EQ(c.greyed, (GetMenuState(m_dlg.Menu(), ID_NEW_WALLPAPER, MF_BYCOMMAND) & MF_GRAYED) != 0);
            // No Active Desktop object here: the style cannot be read.
            EXPECT_EQ("Tile Wallpaper=32774|Center Wallpaper=32775*|Stretch Wallpaper=32776",
                      Describe(m_dlg.Submenu(TRAY_MENU_POS_DISPLAY_STYLES)));
            EXPECT_EQ(c.modes, Describe(m_dlg.Submenu(TRAY_MENU_POS_SELECTION_OPTIONS)));
            for (UINT id : {ID_EXIT, ID_HELP_TOPICS, ID_OPEN_SETTINGS, ID_NEW_WALLPAPER, ID_WALLPAPER_FOLDER})
                EXPECT_NE(nullptr, bitmapOf(id, FALSE)) << id;
            EXPECT_NE(nullptr, bitmapOf(TRAY_MENU_POS_DISPLAY_STYLES, TRUE));
            EXPECT_NE(nullptr, bitmapOf(TRAY_MENU_POS_SELECTION_OPTIONS, TRUE));
            EXPECT_TRUE(IsWindowVisible(menuWindow));
            PostMessageA(menuWindow, WM_KEYDOWN, VK_ESCAPE, 0);
        };
        Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_RBUTTONUP);
        PumpMessages(50);
        EXPECT_EQ(1, opened);
        EXPECT_EQ(nullptr, bitmapOf(ID_EXIT, FALSE));
        EXPECT_EQ(nullptr, bitmapOf(TRAY_MENU_POS_DISPLAY_STYLES, TRUE));
    }
    EXPECT_TRUE(m_seen.empty());   // Escape ran nothing; a chosen item: tests/e2e
}

TEST_F(MainDialog, AMenuWhoseOwnerIsDestroyedUnderItEndsAndPostsNothing)
{
    // Exit arriving through the menu's own loop (as from a timer).
    const HWND hwnd = m_dlg.GetSafeHwnd();
    m_dlg.atMenuOpen = [&](HWND) { PostMessageA(hwnd, WM_COMMAND, ID_EXIT, 0); };
    Send(WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_RBUTTONUP);
    EXPECT_FALSE(IsWindow(hwnd));
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_CHECKMARKS;
    ASSERT_TRUE(GetMenuItemInfoA(m_dlg.Menu(), ID_EXIT, FALSE, &info));
    EXPECT_EQ(nullptr, info.hbmpUnchecked);
}

TEST_F(MainDialog, RightClickWithoutTheMenuSaysSo)
{
    // Resources from a module without the tray menu while the dialog loads it.
    m_app.m_hInstance = GetModuleHandleA("kernel32.dll");
    CTapestrixDlg dlg;
    m_app.m_hInstance = nullptr;
    ASSERT_TRUE(dlg.Create(IDD_TAPESTRIX_DIALOG));
    SendMessageA(dlg.GetSafeHwnd(), WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_RBUTTONUP);
    dlg.DestroyWindow();
    ASSERT_EQ(1u, m_seen.size());
    EXPECT_EQ("Popup menu not available due to error occured during loading", m_seen[0].text);
}

TEST_F(MainDialog, TaskbarRestartBringsTheIconBackOnlyWhileItIsShownAndExitTakesItFirst)
{
    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    const HWND hwnd = m_dlg.GetSafeHwnd();
    Send(taskbarCreated, 0);   // not yet added (the settings at start-up)
    EXPECT_FALSE(Tray(NIM_MODIFY, hwnd));
    m_dlg.AddTrayIcon();
    ASSERT_TRUE(Tray(NIM_DELETE, hwnd));   // lost with the old taskbar
    Send(taskbarCreated, 0);
    EXPECT_TRUE(Tray(NIM_MODIFY, hwnd));
    m_dlg.RemoveTrayIcon();   // away on purpose while the settings are open
    Send(taskbarCreated, 0);
    EXPECT_FALSE(Tray(NIM_MODIFY, hwnd));
    m_dlg.AddTrayIcon();
    bool iconAtDestroy = true;
    m_dlg.atDestroy = [&] { iconAtDestroy = Tray(NIM_MODIFY, hwnd); };
    Send(WM_COMMAND, ID_EXIT);
    EXPECT_FALSE(iconAtDestroy);
    EXPECT_FALSE(IsWindow(hwnd));
}

// Timer 100 shows the icons once (the engine restarts it at every change);
// any end of the dialog while it is pending shows them too.
TEST_F(MainDialog, IconsHiddenByAChangeComeBackAtTheTimerOrHoweverTheDialogEnds)
{
    const HWND desktop = MakeProgman();
    TempDir dir;
    ASSERT_TRUE(WriteSolidBmp(dir / "a.bmp", 8, 8, RGB(90, 60, 30)));
    m_registry.Set("HideItemTimer", 60);
    AttachProvider();
    const std::pair<UINT, WPARAM> endings[] = {
        {WM_TIMER, IDT_SHOW_DESKTOP_ITEMS}, {WM_COMMAND, ID_EXIT}, {WM_ENDSESSION, TRUE}, {WM_DESTROY, 0}};
    for (const auto& [message, wParam] : endings) {
        CTapestrixDlg dlg;
        ASSERT_TRUE(dlg.Create(IDD_TAPESTRIX_DIALOG));
        m_app.m_pMainWnd = &dlg;
        m_registry.Set("HideDesktopItems", 2);   // only 1 hides
        ASSERT_TRUE(theChangeFlow.SetPicture(nullptr, FALSE, (dir / "a.bmp").c_str(), ""));
        ASSERT_TRUE(IsWindowVisible(desktop));
        m_registry.Set("HideDesktopItems", 1);
        ASSERT_TRUE(theChangeFlow.SetPicture(nullptr, FALSE, (dir / "a.bmp").c_str(), ""));
        ASSERT_FALSE(IsWindowVisible(desktop));
        if (message == WM_DESTROY)
            dlg.DestroyWindow();
        else
            SendMessageA(dlg.GetSafeHwnd(), message, wParam, 0);
        EXPECT_TRUE(IsWindowVisible(desktop)) << message;
        EXPECT_FALSE(KillTimer(dlg.GetSafeHwnd(), IDT_SHOW_DESKTOP_ITEMS)) << "a one-shot timer";
        dlg.DestroyWindow();
        MSG quit;   // posted as the main window went
        PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        m_app.m_pMainWnd = &m_dlg;
    }
    DetachProvider();
    // Icons hidden by anyone else are none of the program's business.
    ShowWindow(desktop, SW_HIDE);
    Send(WM_COMMAND, ID_EXIT);
    EXPECT_FALSE(IsWindowVisible(desktop));
    DestroyWindow(desktop);
}

TEST_F(MainDialog, StartAutoChangeTimerOnlyWhenSwitchedOnEveryAutoChangeTimerSeconds)
{
    static const bool recording = PatchImport("SetTimer", reinterpret_cast<void*>(RecordSetTimer), &g_setTimer);
    ASSERT_TRUE(recording);
    const struct {
        DWORD enable, seconds;   // ~0u: not stored
        UINT period;             // 0: no timer
    } cases[] = {{~0u, 5, 0}, {0, 5, 0}, {1, ~0u, 30000}, {2, 5, 5000}};
    for (const auto& c : cases) {
        for (const auto& [name, value] : {std::pair{"EnableAutoChange", c.enable}, {"AutoChangeTimer", c.seconds}})
            if (value == ~0u)
                DeleteRegValue(HKEY_CURRENT_USER, kAppKey, name);
            else
                m_registry.Set(name, value);
        g_autoChangeMs = 0;
        m_dlg.StartAutoChangeTimer();
        EXPECT_EQ(c.period, g_autoChangeMs) << c.enable;
        EXPECT_EQ(c.period != 0, KillTimer(m_dlg.GetSafeHwnd(), IDT_AUTO_CHANGE) != FALSE) << c.enable;
    }
}

TEST_F(MainDialog, StyleAndSelectionCommandsCheckTheirItemAndTakeEffect)
{
    AttachProvider();
    const struct {
        UINT id;
        int submenu;
        const char* items;
    } commands[] = {{32776, 5, "Tile Wallpaper=32774|Center Wallpaper=32775|Stretch Wallpaper=32776*"},
                    {32774, 5, "Tile Wallpaper=32774*|Center Wallpaper=32775|Stretch Wallpaper=32776"},
                    {32775, 5, "Tile Wallpaper=32774|Center Wallpaper=32775*|Stretch Wallpaper=32776"},
                    {32779, 6, "Manual=32777|Random=32778|Sequential=32779*"},
                    {32777, 6, "Manual=32777*|Random=32778|Sequential=32779"},
                    {32778, 6, "Manual=32777|Random=32778*|Sequential=32779"}};
    for (const auto& c : commands) {
        Send(WM_COMMAND, c.id);
        EXPECT_EQ(c.items, Describe(m_dlg.Submenu(c.submenu)));
        if (c.submenu == 5)
            EXPECT_EQ(static_cast<int>(c.id - 32774), theWallpaperChanger.GetDisplayStyle());
        else
            EXPECT_EQ(c.id - 32777, GetRegDword(HKEY_CURRENT_USER, kAppKey, "Selection"));
    }
    EXPECT_TRUE(m_seen.empty());
    DetachProvider();
}

TEST_F(MainDialog, FailuresAreToldWithTheirMessage)
{
    // No Active Desktop object refuses every style; the help file that the
    // build puts beside the programs is moved away for the while.
    const std::string folder = std::string(GetProgramFilePath(""));
    EXPECT_EQ(ExeDir(), folder);
    EXPECT_EQ(ExeDir() + "\\Tapestrix.chm", std::string(GetProgramFilePath("Tapestrix.chm")));
    const std::string help = folder + "\\Tapestrix.chm";
    const FileSetAside away(help);
    ASSERT_FALSE(FileExists(help));
    const struct {
        UINT id;
        const char* message;
    } failures[] = {{32774, "Unable to tile desktop wallpaper"},
                    {32775, "Unable to center desktop wallpaper"},
                    {32776, "Unable to stretch desktop wallpaper"},
                    {ID_HELP_TOPICS, "Unable to launch help file"}};
    for (const auto& f : failures) {
        m_seen.clear();
        Send(WM_COMMAND, f.id);
        // The shell may say first what it could not open.
        ASSERT_FALSE(m_seen.empty()) << f.message;
        EXPECT_EQ("Tapestrix", m_seen.back().caption);
        EXPECT_EQ(f.message, m_seen.back().text);
    }
}

TEST_F(MainDialog, WallpaperFolderStoresOnlyAChosenFileSystemFolder)
{
    TempDir folder;
    m_registry.Set("WallpaperFolder", "C:\\before");
    PIDLIST_ABSOLUTE computer = nullptr;   // "My Computer" has no path
    ASSERT_EQ(S_OK, SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer));
    const struct {
        BOOL isPath;
        LPARAM item;
        int button;
        std::string stored;
    } choices[] = {{TRUE, reinterpret_cast<LPARAM>(folder.Path().c_str()), IDCANCEL, "C:\\before"},
                   {FALSE, reinterpret_cast<LPARAM>(computer), IDOK, "C:\\before"},
                   {TRUE, reinterpret_cast<LPARAM>(folder.Path().c_str()), IDOK, folder.Path()}};
    for (const auto& c : choices) {
        m_answer = [&](HWND dialog) {
            EXPECT_NE(nullptr, FindWindowExA(dialog, nullptr, "Static", "Choose the folder containing your wallpapers"));
            SendMessageA(dialog, BFFM_SETSELECTIONA, c.isPath, c.item);
            return c.button;
        };
        Send(WM_COMMAND, ID_WALLPAPER_FOLDER);
        EXPECT_EQ(c.stored, GetRegString(HKEY_CURRENT_USER, kAppKey, "WallpaperFolder"));
    }
    CoTaskMemFree(computer);
}
