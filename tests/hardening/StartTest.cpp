// Tapestrix.exe started the way a bad day starts it: over settings that some
// other tool wrote with the wrong types and sizes, all at once, and twenty
// times at once.  (How the readers take each type and size: tests/settings.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include <commctrl.h>

#include "res/resource.h"

using namespace tpx::test;

// Every value the program reads, in its own key and the shell's, written
// wrongly, each in the next of the ways below: the program starts with its
// icon, falls back to its defaults (no folder, the About page's own texts,
// the start page), shows its sheet on every page without a word and ends
// cleanly.
TEST(Starts, OverEverySettingOfTheWrongTypeFallBackToTheDefaults)
{
    const std::pair<DWORD, std::string> wrong[] = {
        {REG_SZ, std::string("1", 2)}, {REG_BINARY, std::string("\x01\0\0\0", 4)},
        {REG_MULTI_SZ, std::string("1\0\0", 3)}, {REG_SZ, std::string(64 * 1024, 'x')},
        {REG_DWORD, ""}, {REG_DWORD, std::string("\x01\0\0\0", 4)}};
    const std::pair<const char*, const char*> values[] = {
        {kAppKey, "Selection"}, {kAppKey, "AutoChangeSelection"}, {kAppKey, "EnableAutoChange"},
        {kAppKey, "AutoChangeTimer"}, {kAppKey, "HideDesktopItems"}, {kAppKey, "HideItemTimer"},
        {kAppKey, "MinimizeAllWindows"}, {kAppKey, "TurnOnSoundEffects"}, {kAppKey, "ConvertToBmp"},
        {kAppKey, "CurrentActivePage"}, {kAppKey, "WallpaperFolder"}, {kAppKey, "ConvertedBmpPath"},
        {kAppKey, "BmpConvertedFrom"}, {kAppKey, "Version"}, {kAppKey, "CompanyURL"}, {kAppKey, "SupportEmail"},
        {kAppKey, "CommentEmail"}, {kGeneralKey, "Wallpaper"}, {kGeneralKey, "BackupWallpaper"},
        {"Control Panel\\Colors", "Background"}};
    RunningTapestrix app;
    RegistrySnapshot colors(HKEY_CURRENT_USER, "Control Panel\\Colors");
    for (size_t i = 0; i < std::size(values); ++i) {
        const auto& [type, bytes] = wrong[i % std::size(wrong)];
        ASSERT_TRUE(SetRegBinary(HKEY_CURRENT_USER, values[i].first, values[i].second, type, bytes.data(),
                                 DWORD(bytes.size())));
    }
    ASSERT_TRUE(app.Start());
    EXPECT_TRUE(TrayHasIcon(app.Dialog()));
    // With no folder to read, a double-click does nothing: no message shows
    // beside the sheet below.
    app.DoubleClick();
    const HWND sheet = app.OpenSettings();
    ASSERT_NE(nullptr, sheet);
    const HWND about = PropSheet_GetCurrentPageHwnd(sheet);  // the start page when none was remembered
    const std::pair<int, std::string> defaults[] = {{1043, "Tapestrix - Version 3.0"},
                                                    {1034, "http://www.brindlecourt.example/tapestrix/"},
                                                    {1033, "support@brindlecourt.example"},
                                                    {1032, "comments@brindlecourt.example"}};
    for (const auto& [id, text] : defaults) {
        char shown[300] = {};
        GetDlgItemTextA(about, id, shown, sizeof shown);
        EXPECT_EQ(text, shown) << id;
    }
    for (int page = 1; page < 4; ++page) {
        SendMessageA(sheet, PSM_SETCURSEL, page, 0);
        PumpMessages(300);
        EXPECT_NE(about, PropSheet_GetCurrentPageHwnd(sheet)) << page;
        const std::vector<HWND> shown = WindowsOfProcess(app.Pid(), "#32770", nullptr, true);
        EXPECT_EQ(std::vector<HWND>{sheet}, shown)
            << "page " << page << ": " << ReadDialog(shown.empty() ? nullptr : shown.back()).text;
    }
    PostMessageA(sheet, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(sheet); }));
    EXPECT_EQ(3u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "CurrentActivePage").value_or(99));
    EXPECT_TRUE(app.Exit());
}

// Twenty copies started together: exactly one stays, with its icon, and no
// copy shows anything.
TEST(Starts, TwentyCopiesAtOnceLeaveOneWithOneIconAndNoMessage)
{
    RunningTapestrix app;  // the keep-alive window and the settings; the copies are started here
    ChildProcess copies[20];
    for (ChildProcess& copy : copies)
        ASSERT_TRUE(copy.Start(ExeDir() + "\\Tapestrix.exe"));
    bool shown = false;
    auto running = [&] {
        int count = 0;
        for (const ChildProcess& copy : copies) {
            shown |= !WindowsOfProcess(copy.Pid(), nullptr, nullptr, true).empty();
            count += copy.IsRunning();
        }
        return count;
    };
    ASSERT_TRUE(WaitFor([&] { return running() == 1; }, 30000)) << running() << " copies run";
    PumpMessages(1000);
    EXPECT_EQ(1, running());
    EXPECT_FALSE(shown) << "a copy showed a window";
    for (ChildProcess& copy : copies) {
        if (!copy.IsRunning())
            continue;
        const HWND dialog = MainDialogOf(copy.Pid());
        EXPECT_TRUE(TrayHasIcon(dialog));
        PostMessageA(dialog, WM_COMMAND, ID_EXIT, 0);
        EXPECT_TRUE(copy.WaitExit(10000));
    }
}
