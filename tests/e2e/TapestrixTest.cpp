// Tapestrix.exe as the user runs it, driven the way the shell drives it: the
// tray callback and the menu's commands are posted to its hidden main
// dialog, and what the user would see is read back from Wine's notification
// area, the shell's wallpaper values, the timers' effects and the program's
// dialogs.  One path per way the user meets it.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include <prsht.h>

using namespace tpx::test;

TEST(Tapestrix, StartsThroughTheSettingsIntoTheTrayWhoseClicksChangeAndOpenTheMenu)
{
    RunningTapestrix app;
    TempDir pictures;
    app.Settings().Set("WallpaperFolder", pictures.Path());
    // Through the settings, which take the icon away while they are open,
    // into the tray.  The periodic change already runs under the start-up
    // sheet.  (Straight into the tray: tests/hardening.)
    DeleteRegValue(HKEY_CURRENT_USER, kAppKey, "MinimizeOnStartup");
    // Named in Greek with an emoji: the program's UTF-8 code page keeps the
    // name (under another one it would come by its short name).
    const std::string picture = pictures / "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1 \xF0\x9F\x8C\x85.bmp";
    ASSERT_TRUE(WritePicture(picture, 8, 8, RGB(200, 0, 0)));
    app.Settings().Set("EnableAutoChange", 1);
    app.Settings().Set("AutoChangeTimer", 1);
    app.Settings().Set("CurrentActivePage", 3);
    ASSERT_TRUE(app.Start());
    HWND sheet = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (sheet = SettingsSheetOf(app.Pid())) != nullptr; }, 15000));
    EXPECT_TRUE(WaitFor([&] { return NormalWallpaper() == picture; }, 8000)) << NormalWallpaper();
    PostMessageA(sheet, WM_CLOSE, 0, 0);
    EXPECT_TRUE(TrayHasIcon(app.Dialog()));

    // The menu's first command opens the sheet on the page left last, whose
    // "Sequential" the tray program reads on its next change: no file dialog.
    // The periodic change is switched off there, so only a double-click changes.
    sheet = app.OpenSettings();
    const HWND options = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    SendMessageA(GetDlgItem(options, 1002), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(options, 1006), BM_CLICK, 0, 0);
    PostMessageA(sheet, WM_CLOSE, 0, 0);
    ASSERT_TRUE(TrayHasIcon(app.Dialog()));   // back once the sheet is gone
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", "");

    // The shell relays a double-click on the icon with its id and callback
    // message.  (What each selection does with it: tests/engine.)  Our icon
    // is one of the last few of the notification area, counted from its right end.
    const HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    auto slot = [tray, place = GetSystemMetrics(SM_CXSMICON) + 4](int index) {
        RECT client{};
        GetClientRect(tray, &client);
        return POINT{client.right - place / 2 - index * place, client.bottom / 2};
    };
    bool changed = false;
    for (int i = 0; i < 3 && !changed; ++i) {
        const POINT at = slot(i);
        PostMessageA(tray, WM_LBUTTONDBLCLK, 0, MAKELPARAM(at.x, at.y));
        changed = WaitFor([&] { return NormalWallpaper() == picture; }, 1500);
    }
    EXPECT_TRUE(changed) << NormalWallpaper();

    // The mouse over the icon and the shell's right-click there, tried on
    // the tray's last slots in turn, open the program's own menu window.
    // (A second right-click and Escape while it is open: tests/app.)
    std::vector<HWND> menus;
    for (int i = 0; i < 9 && menus.empty(); ++i) {
        POINT at = slot(i % 3);
        const LPARAM where = MAKELPARAM(at.x, at.y);
        ClientToScreen(tray, &at);
        SetCursorPos(at.x, at.y);
        PostMessageA(tray, WM_RBUTTONDOWN, MK_RBUTTON, where);
        PostMessageA(tray, WM_RBUTTONUP, 0, where);
        WaitFor([&] { return !(menus = WindowsOfProcess(app.Pid(), "BitmapMenu", nullptr, true)).empty(); }, 700);
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
    EXPECT_TRUE(app.Process().WaitExit(10000));
}

TEST(Tapestrix, NoActiveDesktopObjectShowsOneMessageAndEnds)
{
    RunningTapestrix app;
    const std::string key = "Software\\Classes\\CLSID\\{75048700-EF1F-11D0-9888-006097DEACF9}";
    RegistrySnapshot machine(HKEY_LOCAL_MACHINE, key);
    RegistrySnapshot user(HKEY_CURRENT_USER, key);
    DeleteKeyTree(HKEY_CURRENT_USER, key);
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key + "\\InprocServer32", "", "C:\\windows\\missing-provider.dll"));

    ASSERT_TRUE(app.Process().Start(ExeDir() + "\\Tapestrix.exe"));
    const HWND box = WaitForDialogOf(app.Pid(), 15000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("Tapestrix", ReadDialog(box).caption);
    EXPECT_EQ("Unable to setup COM library or active desktop interface", ReadDialog(box).text);
    EXPECT_EQ(std::vector<HWND>{box}, WindowsOfProcess(app.Pid(), "#32770"));   // no main dialog
    PressButton(box, IDOK);
    EXPECT_TRUE(app.Process().WaitExit(10000));
}
