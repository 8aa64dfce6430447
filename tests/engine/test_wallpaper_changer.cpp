// The desktop service against a recording Active Desktop object: the exact
// calls, structure sizes and flags of every operation, where each one stops
// when a call fails and what that leaves behind, the side effects around a
// change (minimise all, sound, hidden desktop icons and their timer) and the
// "Wallpaper" value of the shell that a normal change must leave alone.
#include <gtest/gtest.h>

#include "ChangerFixture.h"

namespace tpx::test {
namespace {

const char kPath[] = "C:\\walls\\sea.bmp";
const char kSetPath[] = "SetWallpaper(C:\\walls\\sea.bmp)";

// Runs `operation` once per call of its successful run with that call made
// to fail, and hands each run's result and log to `check`.
template <class Operation, class Check>
void ForEachFailure(FakeActiveDesktop& fake, int callCount, Operation operation, Check check)
{
    for (int failing = 0; failing < callCount; ++failing) {
        SCOPED_TRACE("call " + std::to_string(failing) + " fails");
        fake.Clear();
        fake.failAt = failing;
        const auto result = operation();
        check(failing, result);
        EXPECT_EQ(fake.adCalls, failing + 1) << "the operation goes on after the failed call";
    }
    fake.failAt = -1;
}

using ChangerTest = ChangerFixture;

TEST(ChangerWithoutObject, EveryOperationFailsAndNothingHappens)
{
    EngineRegistryScope registry;
    registry.Set("MinimizeAllWindows", 1);
    registry.Set("HideDesktopItems", 1);
    registry.Set("TurnOnSoundEffects", 1);
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", "C:\\keep.htm");
    TestApplication app;
    ShellWindow taskbar("Shell_TrayWnd", false);
    ShellWindow desktop("Progman", true);
    std::vector<AdCall> log;
    SideEffectRecorder recorder(&log, app.mainWnd.GetSafeHwnd(), taskbar.Handle(), desktop.Handle());
    ASSERT_TRUE(recorder.Installed());

    CoInitialize(nullptr);  // balanced by the changer's destructor
    CWallpaperChanger changer;
    EXPECT_FALSE(changer.IsActiveDesktopEnabled());
    EXPECT_FALSE(changer.EnableActiveDesktop(TRUE));
    EXPECT_FALSE(changer.SetDisplayStyle(0));
    EXPECT_EQ(changer.GetDisplayStyle(), -1);
    EXPECT_FALSE(changer.SetNormalWallpaper(kPath));
    EXPECT_FALSE(changer.SetActiveDesktopWallpaper(kPath));
    EXPECT_FALSE(changer.RefreshWallpaper());
    PumpMessages(50);
    EXPECT_TRUE(log.empty()) << log.front().Brief();
    EXPECT_TRUE(taskbar.commands.empty());
    EXPECT_TRUE(IsWindowVisible(desktop.Handle()));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper"), "C:\\keep.htm");
}

TEST(ChangerInitialize, FailsWhenComWasAlreadyInitialisedOnTheThread)
{
    // S_FALSE from CoInitialize is a failure: the object is not even created.
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    {
        CWallpaperChanger changer;
        EXPECT_FALSE(changer.Initialize());
        EXPECT_FALSE(changer.IsActiveDesktopEnabled());
        EXPECT_EQ(changer.GetDisplayStyle(), -1);
    }
    CoUninitialize();
}

TEST_F(ChangerTest, IsActiveDesktopEnabledReadsTheItemOptions)
{
    fake.activeDesktop = TRUE;
    EXPECT_TRUE(changer.IsActiveDesktopEnabled());
    EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)"}));
    fake.activeDesktop = FALSE;
    EXPECT_FALSE(changer.IsActiveDesktopEnabled());

    fake.activeDesktop = TRUE;
    fake.Clear();
    fake.failAt = 0;
    EXPECT_FALSE(changer.IsActiveDesktopEnabled()) << "a failed query means off";
}

TEST_F(ChangerTest, EnableActiveDesktopKeepsTheComponentsFlagAndAppliesAll)
{
    fake.enableComponents = FALSE;
    EXPECT_TRUE(changer.EnableActiveDesktop(TRUE));
    EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)", "SetDesktopItemOptions(12,0,1)", "ApplyChanges(7)"}));
    EXPECT_TRUE(fake.activeDesktop);
    EXPECT_FALSE(fake.enableComponents);

    fake.Clear();
    fake.enableComponents = TRUE;
    EXPECT_TRUE(changer.EnableActiveDesktop(FALSE));
    EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)", "SetDesktopItemOptions(12,1,0)", "ApplyChanges(7)"}));
    EXPECT_FALSE(fake.activeDesktop);

    ForEachFailure(fake, 3, [&] { return changer.EnableActiveDesktop(TRUE); },
                   [&](int, BOOL result) { EXPECT_FALSE(result); });
}

TEST_F(ChangerTest, SetDisplayStyleMapsTheProgramStylesToTheShells)
{
    const struct {
        int style;
        DWORD shellStyle;
    } cases[] = {{0, WPSTYLE_TILE}, {1, WPSTYLE_CENTER}, {2, WPSTYLE_STRETCH}};
    for (const auto& c : cases) {
        fake.Clear();
        EXPECT_TRUE(changer.SetDisplayStyle(c.style));
        EXPECT_EQ(Log(), Calls({"SetWallpaperOptions(8," + std::to_string(c.shellStyle) + ")", "ApplyChanges(7)"}));
        EXPECT_EQ(fake.style, c.shellStyle);
    }

    for (int style : {3, -1, 100}) {
        fake.Clear();
        EXPECT_FALSE(changer.SetDisplayStyle(style));
        EXPECT_TRUE(Log().empty()) << "style " << style;
    }

    ForEachFailure(fake, 2, [&] { return changer.SetDisplayStyle(2); },
                   [&](int, BOOL result) { EXPECT_FALSE(result); });
}

TEST_F(ChangerTest, GetDisplayStyleMapsTheShellStylesBack)
{
    const struct {
        DWORD shellStyle;
        int style;
    } cases[] = {{WPSTYLE_TILE, 0}, {WPSTYLE_CENTER, 1}, {WPSTYLE_STRETCH, 2}, {3, -1}, {5, -1}};
    for (const auto& c : cases) {
        fake.Clear();
        fake.style = c.shellStyle;
        EXPECT_EQ(changer.GetDisplayStyle(), c.style) << "shell style " << c.shellStyle;
        EXPECT_EQ(Log(), Calls({"GetWallpaperOptions(8)"}));
    }
    fake.style = WPSTYLE_TILE;
    fake.Clear();
    fake.failAt = 0;
    EXPECT_EQ(changer.GetDisplayStyle(), -1);
}

// ---------------------------------------------------------------- SetNormalWallpaper

TEST_F(ChangerTest, NormalChangeWithActiveDesktopOffSetsSavesAndPlaysTheSound)
{
    Set("TurnOnSoundEffects", 1);
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", "C:\\active\\page.htm");

    EXPECT_TRUE(changer.SetNormalWallpaper(kPath));
    EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)", kSetPath, "ApplyChanges(1)", "PlaySoundA(157,0x40005,self)"}));
    EXPECT_EQ(fake.wallpaper, Wide(kPath));
    // Applying stored the new path in "Wallpaper"; the service put the
    // Active Desktop wallpaper back.
    EXPECT_EQ(ShellWallpaper(), "C:\\active\\page.htm");
    EXPECT_TRUE(IsWindowVisible(desktop.Handle())) << "HideDesktopItems is absent";
}

TEST_F(ChangerTest, NormalChangePlaysTheSoundOnlyWhenSwitchedOn)
{
    EXPECT_TRUE(changer.SetNormalWallpaper(kPath));
    EXPECT_FALSE(Logged("PlaySoundA")) << "absent means off";

    Set("TurnOnSoundEffects", 0);
    fake.Clear();
    EXPECT_TRUE(changer.SetNormalWallpaper(kPath));
    EXPECT_FALSE(Logged("PlaySoundA"));

    Set("TurnOnSoundEffects", 2);
    fake.Clear();
    EXPECT_TRUE(changer.SetNormalWallpaper(kPath));
    EXPECT_TRUE(Logged("PlaySoundA(157,0x40005,self)")) << "any value but 0 is on";
}

TEST_F(ChangerTest, NormalChangeLeavesAMissingWallpaperValueEmpty)
{
    DeleteRegValue(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper");
    EXPECT_TRUE(changer.SetNormalWallpaper(kPath));
    EXPECT_EQ(ShellWallpaper(), "");
    EXPECT_EQ(GetRegType(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper"), static_cast<DWORD>(REG_SZ));
}

TEST_F(ChangerTest, NormalChangeMinimisesAllWindowsFirstWhenAsked)
{
    Set("MinimizeAllWindows", 1);
    EXPECT_TRUE(changer.SetNormalWallpaper(kPath));
    const Calls log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "PostCommand(419,0)");
    PumpMessages(50);
    EXPECT_EQ(taskbar.commands, std::vector<WPARAM>({419}));

    Set("MinimizeAllWindows", 0);
    fake.Clear();
    EXPECT_TRUE(changer.SetNormalWallpaper(kPath));
    EXPECT_FALSE(Logged("PostCommand"));
}

TEST_F(ChangerTest, NormalChangeHidesTheDesktopItemsForHideItemTimerSeconds)
{
    Set("HideDesktopItems", 1);
    Set("HideItemTimer", 5);
    EXPECT_TRUE(changer.SetNormalWallpaper(kPath));
    EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)", kSetPath, "ApplyChanges(1)", "KillTimer(100)",
                            "ShowWindow(0)", "SetTimer(100,5000)"}));
    EXPECT_FALSE(IsWindowVisible(desktop.Handle()));

    // Without "HideItemTimer" the icons stay hidden three seconds.
    DeleteRegValue(HKEY_CURRENT_USER, kAppKey, "HideItemTimer");
    fake.Clear();
    EXPECT_TRUE(changer.SetNormalWallpaper(kPath));
    EXPECT_TRUE(Logged("SetTimer(100,3000)"));
}

TEST_F(ChangerTest, OnlyHideDesktopItemsOneHidesThem)
{
    for (DWORD value : {0u, 2u, 255u}) {
        Set("HideDesktopItems", value);
        fake.Clear();
        EXPECT_TRUE(changer.SetNormalWallpaper(kPath));
        EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)", kSetPath, "ApplyChanges(1)"})) << value;
        EXPECT_TRUE(IsWindowVisible(desktop.Handle()));
    }
}

TEST_F(ChangerTest, NoTimerWhenThereIsNoDesktopWindowToHide)
{
    desktop.Destroy();
    ASSERT_EQ(FindWindowA("Progman", nullptr), nullptr);
    Set("HideDesktopItems", 1);
    EXPECT_TRUE(changer.SetNormalWallpaper(kPath));
    EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)", kSetPath, "ApplyChanges(1)", "KillTimer(100)"}));
}

TEST_F(ChangerTest, IconsAreNotHiddenWithoutAMainWindowToBringThemBack)
{
    Set("HideDesktopItems", 1);
    app.m_pMainWnd = nullptr;
    EXPECT_TRUE(changer.SetNormalWallpaper(kPath));
    app.m_pMainWnd = &app.mainWnd;
    EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)", kSetPath, "ApplyChanges(1)"}));
    EXPECT_TRUE(IsWindowVisible(desktop.Handle()));
}

TEST_F(ChangerTest, HiddenItemsComeBackOnePeriodAfterTheLastChange)
{
    Set("HideDesktopItems", 1);
    Set("HideItemTimer", 1);
    EXPECT_TRUE(changer.SetNormalWallpaper(kPath));
    PumpMessages(500);
    const DWORD secondChange = GetTickCount();
    EXPECT_TRUE(changer.SetNormalWallpaper(kPath));
    ASSERT_TRUE(WaitFor([&] { return !app.mainWnd.timers.empty(); }, 5000)) << "timer 100 never came";
    EXPECT_EQ(app.mainWnd.timers.front().id, 100u);
    // The first change's timer was replaced: it would have come about 500 ms
    // after the second change.
    EXPECT_GE(app.mainWnd.timers.front().tick - secondChange, 800u);
    KillTimer(app.mainWnd.GetSafeHwnd(), 100);
}

TEST_F(ChangerTest, NormalChangeStopsAtTheFirstFailureWithActiveDesktopOff)
{
    Set("TurnOnSoundEffects", 1);
    Set("HideDesktopItems", 1);
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", "C:\\active\\page.htm");
    // Call 0 is the Active Desktop query, whose failure means "off"; the
    // change's own calls are 1 and 2.
    for (int failing : {1, 2}) {
        SCOPED_TRACE(failing);
        fake.Clear();
        fake.failAt = failing;
        EXPECT_FALSE(changer.SetNormalWallpaper(kPath));
        EXPECT_EQ(fake.adCalls, failing + 1);
        EXPECT_FALSE(Logged("PlaySoundA"));
        EXPECT_FALSE(Logged("KillTimer"));
        EXPECT_TRUE(IsWindowVisible(desktop.Handle()));
    }
}

TEST_F(ChangerTest, NormalChangeWithActiveDesktopOnSwitchesItOffAndMarksItOnAgain)
{
    fake.activeDesktop = TRUE;
    fake.enableComponents = TRUE;
    Set("TurnOnSoundEffects", 1);
    Set("HideDesktopItems", 1);
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", "C:\\active\\page.htm");

    EXPECT_TRUE(changer.SetNormalWallpaper(kPath));
    EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)", "GetDesktopItemOptions(12)", "SetDesktopItemOptions(12,1,0)",
                            kSetPath, "ApplyChanges(1)", "PlaySoundA(157,0x40005,self)",
                            "SetDesktopItemOptions(12,1,1)"}));
    EXPECT_TRUE(fake.activeDesktop);
    EXPECT_EQ(ShellWallpaper(), "C:\\active\\page.htm");
    EXPECT_TRUE(IsWindowVisible(desktop.Handle())) << "the icons are not hidden in this branch";
}

TEST_F(ChangerTest, NormalChangeWithActiveDesktopOnLeavesWhatTheFailedStepLeft)
{
    fake.activeDesktop = TRUE;
    Set("TurnOnSoundEffects", 1);
    const std::string active = "C:\\active\\page.htm";
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", active);
    for (int failing = 1; failing <= 5; ++failing) {
        SCOPED_TRACE("call " + std::to_string(failing) + " fails");
        fake.activeDesktop = TRUE;
        SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", active);
        fake.Clear();
        fake.failAt = failing;
        EXPECT_FALSE(changer.SetNormalWallpaper(kPath));
        EXPECT_EQ(fake.adCalls, failing + 1);
        EXPECT_EQ(Logged("PlaySoundA"), failing == 5);
        if (failing == 3 || failing == 4) {
            EXPECT_FALSE(fake.activeDesktop) << "Active Desktop stays marked off";
        }
        if (failing == 5) {
            EXPECT_EQ(ShellWallpaper(), std::string(kPath)) << "\"Wallpaper\" is not restored";
        }
    }
}

// ---------------------------------------------------------------- SetActiveDesktopWallpaper

TEST_F(ChangerTest, ActiveChangeWithActiveDesktopOnAppliesAll)
{
    fake.activeDesktop = TRUE;
    Set("TurnOnSoundEffects", 1);
    Set("HideDesktopItems", 1);
    Set("MinimizeAllWindows", 1);
    EXPECT_TRUE(changer.SetActiveDesktopWallpaper("C:\\pages\\p.htm"));
    EXPECT_EQ(Log(), Calls({"PostCommand(419,0)", "GetDesktopItemOptions(12)", "SetWallpaper(C:\\pages\\p.htm)",
                            "ApplyChanges(7)", "PlaySoundA(157,0x40005,self)"}));
    EXPECT_TRUE(IsWindowVisible(desktop.Handle()));
    EXPECT_EQ(ShellWallpaper(), "C:\\pages\\p.htm") << "no save and restore here";
}

TEST_F(ChangerTest, ActiveChangeWithActiveDesktopOffSwitchesItOn)
{
    fake.enableComponents = FALSE;
    Set("TurnOnSoundEffects", 1);
    EXPECT_TRUE(changer.SetActiveDesktopWallpaper("C:\\pages\\p.htm"));
    EXPECT_EQ(Log(), Calls({"GetDesktopItemOptions(12)", "GetDesktopItemOptions(12)", "SetDesktopItemOptions(12,0,1)",
                            "SetWallpaper(C:\\pages\\p.htm)", "ApplyChanges(3)", "PlaySoundA(157,0x40005,self)"}));
    EXPECT_TRUE(fake.activeDesktop);
}

TEST_F(ChangerTest, ActiveChangeStopsAtTheFirstFailure)
{
    Set("TurnOnSoundEffects", 1);
    // Call 0 is the Active Desktop query; the change's own calls follow.
    for (BOOL on : {TRUE, FALSE}) {
        const int callCount = on ? 3 : 5;
        for (int failing = 1; failing < callCount; ++failing) {
            SCOPED_TRACE(std::string(on ? "on, " : "off, ") + "call " + std::to_string(failing) + " fails");
            fake.activeDesktop = on;
            fake.Clear();
            fake.failAt = failing;
            EXPECT_FALSE(changer.SetActiveDesktopWallpaper("C:\\pages\\p.htm"));
            EXPECT_EQ(fake.adCalls, failing + 1);
            EXPECT_FALSE(Logged("PlaySoundA"));
        }
    }

    // A failing query reads as "off": the switching-on branch runs.
    fake.activeDesktop = TRUE;
    fake.Clear();
    fake.failAt = 0;
    EXPECT_TRUE(changer.SetActiveDesktopWallpaper("C:\\pages\\p.htm"));
    EXPECT_TRUE(Logged("ApplyChanges(3)"));
}

// ---------------------------------------------------------------- RefreshWallpaper and helpers

TEST_F(ChangerTest, RefreshGoesThroughTheEmptyWallpaper)
{
    fake.wallpaper = L"C:\\conv\\out.bmp";
    EXPECT_TRUE(changer.RefreshWallpaper());
    EXPECT_EQ(Log(), Calls({"GetWallpaper(260)", "SetWallpaper()", "SetWallpaper(C:\\conv\\out.bmp)",
                            "ApplyChanges(1)"}));
    EXPECT_EQ(fake.wallpaper, L"C:\\conv\\out.bmp");

    ForEachFailure(fake, 4, [&] { return changer.RefreshWallpaper(); },
                   [&](int, BOOL result) { EXPECT_FALSE(result); });
}

TEST_F(ChangerTest, MinimizeAllPostsMinimiseOrUndoToTheTaskbar)
{
    changer.MinimizeAll(1);
    changer.MinimizeAll(0);
    changer.MinimizeAll(7);
    PumpMessages(50);
    EXPECT_EQ(taskbar.commands, std::vector<WPARAM>({419, 416, 416}));
}

TEST_F(ChangerTest, ShowDesktopItemsShowsOrHidesTheDesktopWindow)
{
    EXPECT_TRUE(changer.ShowDesktopItems(0));
    EXPECT_FALSE(IsWindowVisible(desktop.Handle()));
    EXPECT_TRUE(changer.ShowDesktopItems(1));
    EXPECT_TRUE(IsWindowVisible(desktop.Handle()));
    EXPECT_TRUE(changer.ShowDesktopItems(2));
    EXPECT_FALSE(IsWindowVisible(desktop.Handle())) << "anything but 1 hides";

    desktop.Destroy();
    EXPECT_FALSE(changer.ShowDesktopItems(1));
}

}  // namespace
}  // namespace tpx::test
