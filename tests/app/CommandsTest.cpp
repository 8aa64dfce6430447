// The tray commands of the main dialog in this process, where its menu, its
// timers and its dialogs can be looked at directly: the radio checks of the
// two submenus, the "Selection" value, the display style through the Active
// Desktop object registered in the prefix and the messages when it is not
// there, the folder browser, the help file's path, the timer that shows the
// desktop icons again, the icon coming back after a taskbar restart, and
// one change at a time.
#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>  // before shlobj.h, which hides IActiveDesktop otherwise
#include <shlobj.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "TrayView.h"
#include "app/ProgramPath.h"
#include "app/TapestrixDlg.h"
#include "engine/WallpaperChanger.h"
#include "framework/App.h"
#include "res/resource.h"

using namespace tpx::test;

CWallpaperChanger theWallpaperChanger;

namespace {

// The real dialog with its menu and icon in reach of the tests.
class CProbeDlg : public CTapestrixDlg {
public:
    HMENU Submenu(int position) const { return m_popupMenu.GetSubMenu(position); }
    HICON Icon() const { return m_hIcon; }
};

// Positions 0..2 of `menu` that carry a check, as a bit mask; radio checks
// also carry the radio mark.
int CheckedPositions(HMENU menu, bool* radio = nullptr)
{
    int mask = 0;
    for (int i = 0; i < 3; ++i) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STATE | MIIM_FTYPE;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info))
            continue;
        if (info.fState & MFS_CHECKED) {
            mask |= 1 << i;
            if (radio)
                *radio = (info.fType & MFT_RADIOCHECK) != 0;
        }
    }
    return mask;
}

// The first descendant window of `parent` whose text is `text`.
HWND ChildWithText(HWND parent, const std::string& text)
{
    struct Search {
        const std::string* text;
        HWND found;
    } search{&text, nullptr};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM lParam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lParam);
            char buf[512] = {};
            GetWindowTextA(child, buf, sizeof buf);
            if (*s->text == buf) {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Answers the dialogs this thread opens, leaving alone the hidden main
// dialog (it is activated again when a box owned by it closes).
class BoxAnswerer {
public:
    BoxAnswerer(HWND mainDialog, std::function<int(HWND, const DialogSeen&)> answer)
    {
        m_answerer.SetHandler([this, mainDialog, answer](HWND dialog, const DialogSeen& seen) {
            if (dialog == mainDialog)
                return 0;
            m_seen.push_back(seen);
            m_owners.push_back(GetWindow(dialog, GW_OWNER));
            return answer(dialog, seen);
        });
    }
    const std::vector<DialogSeen>& Seen() const { return m_seen; }
    const std::vector<HWND>& Owners() const { return m_owners; }

private:
    DialogAnswerer m_answerer;
    std::vector<DialogSeen> m_seen;
    std::vector<HWND> m_owners;
};

class Commands : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dlg.Create(IDD_TAPESTRIX_DIALOG));
        m_app.m_pMainWnd = &m_dlg;
        m_dlg.InitTrayIconData();
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

    void Command(UINT id) { SendMessageA(m_dlg.GetSafeHwnd(), WM_COMMAND, id, 0); }
    BoxAnswerer Answer(std::function<int(HWND, const DialogSeen&)> answer)
    {
        return BoxAnswerer(m_dlg.GetSafeHwnd(), std::move(answer));
    }
    BoxAnswerer Answer(int button)
    {
        return Answer([button](HWND, const DialogSeen&) { return button; });
    }

    AppRegistryScope m_registry;
    CWinApp m_app{"Tapestrix"};
    CProbeDlg m_dlg;
};

}  // namespace

TEST(ProgramFilePath, JoinsTheProgramFolderWithANameAndGivesTheFolderBare)
{
    const std::string folder = ExeDir();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder, std::string(GetProgramFilePath("")));
    EXPECT_NE('\\', std::string(GetProgramFilePath("")).back());
    EXPECT_EQ(folder + "\\Tapestrix.chm", std::string(GetProgramFilePath("Tapestrix.chm")));
    EXPECT_EQ(folder + "\\sub\\x.txt", std::string(GetProgramFilePath("sub\\x.txt")));
}

TEST_F(Commands, SelectionCommandsCheckTheirModeAndStoreIt)
{
    const HMENU modes = m_dlg.Submenu(TRAY_MENU_POS_SELECTION_OPTIONS);
    ASSERT_NE(nullptr, modes);
    const struct {
        UINT id;
        DWORD mode;
    } commands[] = {{ID_SELECT_SEQUENTIAL, 2}, {ID_SELECT_MANUAL, 0}, {ID_SELECT_RANDOM, 1}};
    for (const auto& c : commands) {
        Command(c.id);
        bool radio = false;
        EXPECT_EQ(1 << c.mode, CheckedPositions(modes, &radio)) << c.id;
        EXPECT_TRUE(radio) << c.id;
        EXPECT_EQ(std::optional<DWORD>(REG_DWORD), GetRegType(HKEY_CURRENT_USER, kAppKey, "Selection"));
        EXPECT_EQ(std::optional<DWORD>(c.mode), GetRegDword(HKEY_CURRENT_USER, kAppKey, "Selection")) << c.id;
    }
    // The display styles are a submenu of their own.
    EXPECT_EQ(0, CheckedPositions(m_dlg.Submenu(TRAY_MENU_POS_DISPLAY_STYLES)));
}

TEST_F(Commands, SelectionWithoutTheApplicationKeyMovesTheCheckSilently)
{
    DeleteKeyTree(HKEY_CURRENT_USER, kAppKey);
    BoxAnswerer answerer = Answer(IDOK);
    Command(ID_SELECT_SEQUENTIAL);
    EXPECT_EQ(1 << 2, CheckedPositions(m_dlg.Submenu(TRAY_MENU_POS_SELECTION_OPTIONS)));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kAppKey));
    EXPECT_TRUE(answerer.Seen().empty());
}

TEST_F(Commands, DisplayStyleCommandsSetTheStyleOfTheActiveDesktopObject)
{
    // No wallpaper: the object has no picture to redraw for any style.
    SetRegString(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper", "");
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", "");
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", "");
    IActiveDesktop* object = nullptr;
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveDesktop,
                                     reinterpret_cast<void**>(&object)));
    theWallpaperChanger.Attach(object);
    object->Release();

    const HMENU styles = m_dlg.Submenu(TRAY_MENU_POS_DISPLAY_STYLES);
    ASSERT_NE(nullptr, styles);
    BoxAnswerer answerer = Answer(IDOK);
    const struct {
        UINT id;
        int style;
        const char* wallpaperStyle;
        const char* tileWallpaper;
    } commands[] = {{ID_STRETCH_WALLPAPER, 2, "2", "0"},
                    {ID_TILE_WALLPAPER, 0, "0", "1"},
                    {ID_CENTER_WALLPAPER, 1, "0", "0"}};
    for (const auto& c : commands) {
        Command(c.id);
        bool radio = false;
        EXPECT_EQ(1 << c.style, CheckedPositions(styles, &radio)) << c.id;
        EXPECT_TRUE(radio);
        EXPECT_EQ(c.style, theWallpaperChanger.GetDisplayStyle()) << c.id;
        // What the shell keeps for every program.
        EXPECT_EQ(std::optional<std::string>(c.wallpaperStyle),
                  GetRegString(HKEY_CURRENT_USER, kDesktopKey, "WallpaperStyle"))
            << c.id;
        EXPECT_EQ(std::optional<std::string>(c.tileWallpaper),
                  GetRegString(HKEY_CURRENT_USER, kDesktopKey, "TileWallpaper"))
            << c.id;
    }
    EXPECT_TRUE(answerer.Seen().empty());
    theWallpaperChanger.Attach(nullptr);
    CoUninitialize();
}

TEST_F(Commands, DisplayStyleRefusedShowsItsMessageAndKeepsTheCheck)
{
    // No Active Desktop object: every style is refused.
    theWallpaperChanger.Attach(nullptr);
    const HMENU styles = m_dlg.Submenu(TRAY_MENU_POS_DISPLAY_STYLES);
    BoxAnswerer answerer = Answer(IDOK);
    const struct {
        UINT id;
        int style;
        const char* message;
    } commands[] = {{ID_TILE_WALLPAPER, 0, "Unable to tile desktop wallpaper"},
                    {ID_CENTER_WALLPAPER, 1, "Unable to center desktop wallpaper"},
                    {ID_STRETCH_WALLPAPER, 2, "Unable to stretch desktop wallpaper"}};
    for (size_t i = 0; i < 3; ++i) {
        Command(commands[i].id);
        ASSERT_EQ(i + 1, answerer.Seen().size());
        EXPECT_EQ("Tapestrix", answerer.Seen()[i].caption);
        EXPECT_EQ(commands[i].message, answerer.Seen()[i].text);
        EXPECT_EQ(m_dlg.GetSafeHwnd(), answerer.Owners()[i]);
        EXPECT_EQ(1 << commands[i].style, CheckedPositions(styles));
    }
}

TEST_F(Commands, WallpaperFolderStoresTheChosenFolderAndNothingOnCancel)
{
    TempDir folder;
    m_registry.Set("WallpaperFolder", "C:\\before");
    bool titleShown = false;
    int answer = IDCANCEL;
    BoxAnswerer answerer = Answer([&](HWND dialog, const DialogSeen&) {
        titleShown = ChildWithText(dialog, "Choose the folder containing your wallpapers") != nullptr;
        SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(folder.Path().c_str()));
        return answer;
    });

    Command(ID_WALLPAPER_FOLDER);
    ASSERT_EQ(1u, answerer.Seen().size());
    EXPECT_EQ(m_dlg.GetSafeHwnd(), answerer.Owners()[0]);
    EXPECT_TRUE(titleShown);
    EXPECT_EQ(std::optional<std::string>("C:\\before"), GetRegString(HKEY_CURRENT_USER, kAppKey, "WallpaperFolder"));

    answer = IDOK;
    Command(ID_WALLPAPER_FOLDER);
    ASSERT_EQ(2u, answerer.Seen().size());
    EXPECT_EQ(std::optional<std::string>(folder.Path()),
              GetRegString(HKEY_CURRENT_USER, kAppKey, "WallpaperFolder"));
    EXPECT_EQ(std::optional<DWORD>(REG_SZ), GetRegType(HKEY_CURRENT_USER, kAppKey, "WallpaperFolder"));
    // The stored text ends with exactly one terminating zero.
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kAppKey, 0, KEY_READ, &key));
    DWORD size = 0;
    RegQueryValueExA(key, "WallpaperFolder", nullptr, nullptr, nullptr, &size);
    RegCloseKey(key);
    EXPECT_EQ(folder.Path().size() + 1, size);
}

TEST_F(Commands, WallpaperFolderKeepsTheOldFolderForAnItemWithoutAPath)
{
    // "My Computer" has no file system path; taking it would store nothing
    // over the user's folder.
    m_registry.Set("WallpaperFolder", "C:\\before");
    PIDLIST_ABSOLUTE computer = nullptr;
    ASSERT_EQ(S_OK, SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer));
    BoxAnswerer answerer = Answer([&](HWND dialog, const DialogSeen&) {
        SendMessageA(dialog, BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(computer));
        return IDOK;
    });
    Command(ID_WALLPAPER_FOLDER);
    CoTaskMemFree(computer);
    ASSERT_EQ(1u, answerer.Seen().size());
    EXPECT_EQ(std::optional<std::string>("C:\\before"), GetRegString(HKEY_CURRENT_USER, kAppKey, "WallpaperFolder"));
}

TEST_F(Commands, DesktopItemsTimerShowsTheIconsOnceAndEnds)
{
    // A desktop window of our own, as the shell's would be; hidden as after
    // a change.
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Progman";
    RegisterClassA(&wc);
    const HWND desktop = CreateWindowExA(WS_EX_TOOLWINDOW, "Progman", "Program Manager", WS_POPUP, 0, 0, 8, 8,
                                         nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, desktop);

    const HWND hwnd = m_dlg.GetSafeHwnd();
    SetTimer(hwnd, IDT_SHOW_DESKTOP_ITEMS, 50, nullptr);
    EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(desktop) != FALSE; }, 5000));
    // Hidden again: no second expiry brings it back.
    ShowWindow(desktop, SW_HIDE);
    PumpMessages(400);
    EXPECT_FALSE(IsWindowVisible(desktop));
    // The timer is gone: killing it again finds nothing.
    EXPECT_FALSE(KillTimer(hwnd, IDT_SHOW_DESKTOP_ITEMS));
    DestroyWindow(desktop);
}

TEST_F(Commands, IconComesBackWhenTheTaskbarRestartsButNotWhileAway)
{
    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    ASSERT_NE(0u, taskbarCreated);
    const HWND hwnd = m_dlg.GetSafeHwnd();

    // Before the icon was ever added (the sheet at start-up): nothing.
    SendMessageA(hwnd, taskbarCreated, 0, 0);
    PumpMessages(200);
    EXPECT_FALSE(TrayShowsIcon(m_dlg.Icon()));

    m_dlg.AddTrayIcon();
    ASSERT_TRUE(WaitFor([&] { return TrayShowsIcon(m_dlg.Icon()); }, 5000));
    // The taskbar goes away with every icon, and comes back announcing it.
    NOTIFYICONDATAA lost = m_dlg.GetTrayIconData();
    Shell_NotifyIconA(NIM_DELETE, &lost);
    ASSERT_TRUE(WaitFor([&] { return !TrayShowsIcon(m_dlg.Icon()); }, 5000));
    SendMessageA(hwnd, taskbarCreated, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return TrayShowsIcon(m_dlg.Icon()); }, 5000));

    // Taken away on purpose (the settings sheet is open): it stays away.
    m_dlg.RemoveTrayIcon();
    ASSERT_TRUE(WaitFor([&] { return !TrayShowsIcon(m_dlg.Icon()); }, 5000));
    SendMessageA(hwnd, taskbarCreated, 0, 0);
    PumpMessages(300);
    EXPECT_FALSE(TrayShowsIcon(m_dlg.Icon()));
}

TEST_F(Commands, ClicksAndTicksWhileAChangeWaitsForTheUserAreSkipped)
{
    // Manual choice: the change waits in the file dialog.  Meanwhile the
    // user double-clicks the icon again and the automatic change ticks; with
    // no Active Desktop object that tick would fail with a message box.
    TempDir folder;
    ASSERT_TRUE(WriteSolidBmp(folder / "a.bmp", 8, 8, RGB(200, 0, 0)));
    m_registry.Set("WallpaperFolder", folder.Path());
    m_registry.Set("Selection", 0);
    m_registry.Set("AutoChangeSelection", 0);
    const HWND hwnd = m_dlg.GetSafeHwnd();

    bool meanwhilePosted = false;
    BoxAnswerer answerer = Answer([&](HWND, const DialogSeen&) {
        if (!meanwhilePosted) {
            meanwhilePosted = true;
            PostMessageA(hwnd, WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
            PostMessageA(hwnd, WM_TIMER, IDT_AUTO_CHANGE, 0);
        }
        return IDCANCEL;
    });
    SendMessageA(hwnd, WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
    PumpMessages(300);
    ASSERT_EQ(1u, answerer.Seen().size());
    EXPECT_EQ("Select normal desktop wallpaper", answerer.Seen()[0].caption);

    // Once it is over, the next click and the next tick act again.
    SendMessageA(hwnd, WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
    ASSERT_EQ(2u, answerer.Seen().size());
    EXPECT_EQ("Select normal desktop wallpaper", answerer.Seen()[1].caption);
    SendMessageA(hwnd, WM_TIMER, IDT_AUTO_CHANGE, 0);
    ASSERT_EQ(3u, answerer.Seen().size());
    EXPECT_EQ("Unable to set normal desktop wallpaper", answerer.Seen()[2].text);
}

TEST_F(Commands, NothingToChooseFromOpensNothing)
{
    TempDir folder;
    ASSERT_TRUE(WriteFileText(folder / "notes.txt", "not a picture"));
    ASSERT_TRUE(WriteFileText(folder / "x.jpeg", "not listed"));
    m_registry.Set("WallpaperFolder", folder.Path());
    m_registry.Set("Selection", 0);
    BoxAnswerer answerer = Answer(IDCANCEL);
    const HWND hwnd = m_dlg.GetSafeHwnd();
    SendMessageA(hwnd, WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
    Command(ID_NEW_WALLPAPER);
    SendMessageA(hwnd, WM_TIMER, IDT_AUTO_CHANGE, 0);
    m_registry.Set("WallpaperFolder", folder / "missing");
    SendMessageA(hwnd, WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
    SendMessageA(hwnd, WM_TIMER, IDT_AUTO_CHANGE, 0);
    PumpMessages(200);
    EXPECT_TRUE(answerer.Seen().empty());
}
