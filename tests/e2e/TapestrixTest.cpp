// Tapestrix.exe as the user runs it, driven the way the shell drives it: the
// tray callback and the menu's commands are posted to its hidden main
// dialog, and what the user would see is read back from Wine's notification
// area, the shell's wallpaper values, the desktop's icons, the timers' effects
// and the program's dialogs.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include <shellapi.h>
#include <prsht.h>

#include "res/resource.h"

using namespace tpx::test;

namespace {

bool WaitForWallpaper(const std::string& path)
{
    return WaitFor([&] { return NormalWallpaper() == path; }, 8000);
}

// Each test starts with the program's key emptied but for a start into the
// tray and an empty wallpaper folder, and without a wallpaper; all of it is
// restored afterwards.
class Tapestrix : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Keeps Wine's desktop, and its tray, alive between programs.
        m_keepAlive = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        m_registry.Set("MinimizeOnStartup", 1);
        m_registry.Set("WallpaperFolder", m_pictures.Path());
        SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", "");
    }
    void TearDown() override
    {
        EXPECT_TRUE(!m_process.IsRunning() || Exit());
        DestroyWindow(m_keepAlive);
    }

    bool Start()
    {
        m_dialog = nullptr;
        return m_process.Start(ExeDir() + "\\Tapestrix.exe") &&
               WaitFor([&] { return (m_dialog = MainDialogOf(m_process.Pid())) || !m_process.IsRunning(); }, 15000) &&
               m_dialog;
    }
    // Exit from the tray menu: the program ends, and ends cleanly.
    bool Exit()
    {
        PostMessageA(m_dialog, WM_COMMAND, ID_EXIT, 0);
        DWORD code = 1;
        return m_process.WaitExit(10000, &code) && code == 0;
    }
    void DoubleClick() { PostMessageA(m_dialog, WM_USER + 100, 128, WM_LBUTTONDBLCLK); }
    std::string Picture(const std::string& name) const { return m_pictures / name; }

    AppRegistryScope m_registry;
    TempDir m_pictures;
    ChildProcess m_process;
    HWND m_dialog = nullptr;
    HWND m_keepAlive = nullptr;
};

}  // namespace

TEST_F(Tapestrix, StartsIntoTheTrayWhoseDoubleClickChanges)
{
    // Through the settings, which take the icon away while they are open,
    // or straight into the tray: the icon is there either way.
    // The periodic change already runs under the start-up sheet.
    DeleteRegValue(HKEY_CURRENT_USER, kAppKey, "MinimizeOnStartup");
    // Named in Greek with an emoji: the program's UTF-8 code page keeps the
    // name (under another one it would come by its short name).
    const std::string kPicture = "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xF0\x9F\x8C\x85.bmp";
    ASSERT_TRUE(WriteSolidBmp(Picture(kPicture), 8, 8, RGB(200, 0, 0)));
    m_registry.Set("EnableAutoChange", 1);
    m_registry.Set("AutoChangeTimer", 1);
    ASSERT_TRUE(Start());
    HWND sheet = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (sheet = SettingsSheetOf(m_process.Pid())) != nullptr; }, 15000));
    EXPECT_FALSE(TrayHasIcon(m_dialog, 300));
    EXPECT_TRUE(WaitForWallpaper(Picture(kPicture))) << NormalWallpaper();
    EXPECT_TRUE(IsWindowVisible(sheet));
    PostMessageA(sheet, WM_CLOSE, 0, 0);
    EXPECT_TRUE(TrayHasIcon(m_dialog));
    EXPECT_TRUE(Exit());
    m_registry.Set("EnableAutoChange", 0);
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", "");
    m_registry.Set("MinimizeOnStartup", 1);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(TrayHasIcon(m_dialog));
    EXPECT_TRUE(WindowsOfProcess(m_process.Pid(), nullptr, nullptr, true).empty());

    // The shell relays a double-click on the icon (icons line up from the
    // tray's right end) with its id and callback message.  (What each
    // selection does with it: tests/engine.)
    m_registry.Set("Selection", 2);
    const HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    RECT client{};
    GetClientRect(tray, &client);
    const int place = GetSystemMetrics(SM_CXSMICON) + 4;
    bool changed = false;
    for (int x = client.right - place / 2; x > client.right - 4 * place && !changed; x -= place) {
        PostMessageA(tray, WM_LBUTTONDBLCLK, 0, MAKELPARAM(x, client.bottom / 2));
        changed = WaitFor([&] { return NormalWallpaper() == Picture(kPicture); }, 1500);
    }
    EXPECT_TRUE(changed) << NormalWallpaper();

    // (A second copy: tests/hardening.)
    EXPECT_TRUE(Exit());
}

TEST_F(Tapestrix, NoActiveDesktopObjectShowsOneMessageAndEnds)
{
    const std::string key = "Software\\Classes\\CLSID\\{75048700-EF1F-11D0-9888-006097DEACF9}";
    RegistrySnapshot machine(HKEY_LOCAL_MACHINE, key);
    RegistrySnapshot user(HKEY_CURRENT_USER, key);
    DeleteKeyTree(HKEY_CURRENT_USER, key);
    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, key + "\\InprocServer32"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key + "\\InprocServer32", "", "C:\\windows\\missing-provider.dll"));

    ASSERT_TRUE(m_process.Start(ExeDir() + "\\Tapestrix.exe"));
    const HWND box = WaitForDialogOf(m_process.Pid(), 15000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("Tapestrix", ReadDialog(box).caption);
    EXPECT_EQ("Unable to setup COM library or active desktop interface", ReadDialog(box).text);
    EXPECT_EQ(std::vector<HWND>{box}, WindowsOfProcess(m_process.Pid(), "#32770"));   // no main dialog
    PressButton(box, IDOK);
    EXPECT_TRUE(m_process.WaitExit(10000));
}

TEST_F(Tapestrix, SettingsFromTheTrayTakeEffectOnTheNextChange)
{
    for (const char* name : {"a.bmp", "b.bmp"})
        ASSERT_TRUE(WriteSolidBmp(Picture(name), 8, 8, RGB(200, 0, 0)));
    m_registry.Set("Selection", 0);
    m_registry.Set("CurrentActivePage", 3);
    ASSERT_TRUE(Start());
    // The menu's first command opens the sheet on the page left last (the
    // icon away meanwhile: the start-up sheet above, tests/sheet).
    PostMessageA(m_dialog, WM_COMMAND, ID_OPEN_SETTINGS, 0);
    HWND sheet = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (sheet = SettingsSheetOf(m_process.Pid())) != nullptr; }));
    const HWND options = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    ASSERT_NE(nullptr, options);
    SendMessageA(GetDlgItem(options, 1002), BM_CLICK, 0, 0);   // "Sequential"
    EXPECT_EQ(2u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "Selection"));
    PostMessageA(sheet, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(sheet); }));
    // The tray program reads it on its next change: no file dialog, the
    // first file of the folder.
    DoubleClick();
    ASSERT_TRUE(WaitForWallpaper(Picture("a.bmp"))) << NormalWallpaper();
}

TEST_F(Tapestrix, DamagedBitmapsShowThePlainDesktopAndNeverStopTheNextClick)
{
    // In name order: each damaged file, then a good one of its own colour.
    // (Each damage against the shell's object: tests/activedesktop; the
    // periodic change over damaged files: the soak.)
    std::vector<std::pair<std::string, COLORREF>> walk;
    const COLORREF colours[] = {RGB(200, 30, 30), RGB(30, 180, 30), RGB(30, 30, 200)};
    const std::vector<BitmapCase> damaged = DamagedBitmaps();
    for (size_t i = 0; i < damaged.size(); ++i) {
        const std::string bad = Picture(std::string(1, char('a' + i)) + "0.bmp");
        const std::string good = Picture(std::string(1, char('a' + i)) + "1.bmp");
        ASSERT_TRUE(WriteFileBytes(bad, damaged[i].bytes.data(), damaged[i].bytes.size()));
        ASSERT_TRUE(WriteSolidBmp(good, 64, 64, colours[i]));
        walk.push_back({bad, GetSysColor(COLOR_DESKTOP)});
        walk.push_back({good, colours[i]});
    }
    m_registry.Set("Selection", 2);
    auto centre = [] {
        const HDC screen = GetDC(nullptr);
        const COLORREF c = GetPixel(screen, GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2);
        ReleaseDC(nullptr, screen);
        return c;
    };
    ASSERT_TRUE(Start());
    for (const auto& [path, colour] : walk) {
        DoubleClick();
        ASSERT_TRUE(WaitForWallpaper(path)) << path << " expected, the shell has " << NormalWallpaper();
        EXPECT_TRUE(WaitFor([&] { return ColourNear(centre(), colour, 12); }, 1500)) << path << ": " << centre();
    }
    EXPECT_TRUE(WindowsOfProcess(m_process.Pid(), nullptr, nullptr, true).empty()) << "a message on screen";
}

TEST_F(Tapestrix, RightClickOnTheIconOpensTheMenuBesideTheTrayWhoseChoiceRuns)
{
    // (A second right-click and Escape while it is open: tests/app.)
    ASSERT_TRUE(Start());
    ASSERT_TRUE(TrayHasIcon(m_dialog));
    // The mouse over the icon and the shell's right-click there, tried on
    // the tray's last slots in turn; then the program's own menu window.
    const HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    RECT client{};
    GetClientRect(tray, &client);
    const int place = GetSystemMetrics(SM_CXSMICON) + 4;
    std::vector<HWND> menus;
    for (int i = 0; i < 9 && menus.empty(); ++i) {
        POINT at{client.right - place / 2 - (i % 3) * place, client.bottom / 2};
        const LPARAM where = MAKELPARAM(at.x, at.y);
        ClientToScreen(tray, &at);
        SetCursorPos(at.x, at.y);
        PostMessageA(tray, WM_RBUTTONDOWN, MK_RBUTTON, where);
        PostMessageA(tray, WM_RBUTTONUP, 0, where);
        WaitFor([&] { return !(menus = WindowsOfProcess(m_process.Pid(), "BitmapMenu", nullptr, true)).empty(); },
                700);
    }
    ASSERT_EQ(1u, menus.size());
    POINT cursor{};
    GetCursorPos(&cursor);
    RECT shown{};
    GetWindowRect(menus[0], &shown);
    EXPECT_EQ(cursor.x, shown.right);   // no room to the right of the icon: to its left, above it
    EXPECT_EQ(cursor.y, shown.bottom);
    // Exit, the last item, chosen by the keys, ends the program.
    PostMessageA(menus[0], WM_KEYDOWN, VK_UP, 0);
    PumpMessages(200);
    PostMessageA(menus[0], WM_KEYDOWN, VK_RETURN, 0);
    DWORD code = 1;
    EXPECT_TRUE(m_process.WaitExit(10000, &code));
    EXPECT_EQ(0u, code);
}
