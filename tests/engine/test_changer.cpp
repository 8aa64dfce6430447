// The desktop service: against the recording object, each operation's calls
// in order with the side effects between them, where it stops when a call
// fails and that the shell is then as it was; the change flow's manual
// choice over it; against the real object, what Wine's desktop shows.
#include <array>

#include "EngineTest.h"
#include "flow/ChangeFlow.h"

CWallpaperChanger theWallpaperChanger;

namespace tpx::test {
namespace {

const std::string kPath = "C:\\walls\\sea.bmp", kPage = "C:\\pages\\active.htm";
const char kQuery[] = "GetDesktopItemOptions(12)", kSet[] = "SetWallpaper(C:\\walls\\sea.bmp)";
const char kSound[] = "PlaySoundA(157,0x40005,self)", kMinimise[] = "Post(WM_COMMAND,419,0)";

// What a failed change must leave as it found it.
struct ShellState {
    BOOL active, components;
    std::optional<std::string> wallpaper;
    std::optional<DWORD> type;
    bool operator==(const ShellState& o) const
    {
        return active == o.active && components == o.components && wallpaper == o.wallpaper && type == o.type;
    }
};

TEST_F(EngineTest, EveryOperationCallsInOrderAndAFailureAnywhereLeavesTheShellAsItWas)
{
    registry.Set("TurnOnSoundEffects", 1);
    registry.Set("MinimizeAllWindows", 1);
    registry.Set("HideDesktopItems", 1);
    registry.Set("HideItemTimer", 5);
    const struct {
        BOOL active, components;
        std::function<bool()> run;
        Calls calls;
        int firstStop;  // a failed Active Desktop query before it just means "off"
        bool undoes;    // a failure puts the shell back
    } cases[] = {
        {TRUE, TRUE, [&] { return changer.IsActiveDesktopEnabled(); }, {kQuery}, 0, false},
        {FALSE, FALSE, [&] { return changer.EnableActiveDesktop(TRUE); },
         {kQuery, "SetDesktopItemOptions(12,0,1)", "ApplyChanges(7)"}, 0, true},
        {TRUE, TRUE, [&] { return changer.EnableActiveDesktop(FALSE); },
         {kQuery, "SetDesktopItemOptions(12,1,0)", "ApplyChanges(7)"}, 0, true},
        {FALSE, TRUE, [&] { return changer.GetDisplayStyle() == DISPLAY_STYLE_CENTER; }, {"GetWallpaperOptions(8)"}, 0,
         false},
        {FALSE, TRUE, [&] { return changer.SetDisplayStyle(0); }, {"SetWallpaperOptions(8,1)", "ApplyChanges(7)"}, 0, false},
        {FALSE, TRUE, [&] { return changer.SetDisplayStyle(1); }, {"SetWallpaperOptions(8,0)", "ApplyChanges(7)"}, 0, false},
        {FALSE, TRUE, [&] { return changer.SetDisplayStyle(2); }, {"SetWallpaperOptions(8,2)", "ApplyChanges(7)"}, 0, false},
        // The refresh, the normal and the active changes, from either state.
        {FALSE, TRUE, [&] { return changer.RefreshWallpaper(); },
         {"GetWallpaper(260)", "SetWallpaper()", kSet, "ApplyChanges(1)"}, 0, true},
        {TRUE, TRUE, [&] { return changer.RefreshWallpaper(); },
         {"GetWallpaper(260)", "SetWallpaper()", kSet, "ApplyChanges(1)"}, 0, true},
        {FALSE, TRUE, [&] { return changer.SetNormalWallpaper(kPath.c_str()); },
         {kMinimise, kQuery, kSet, "ApplyChanges(1)", kSound}, 1, true},
        {TRUE, FALSE, [&] { return changer.SetNormalWallpaper(kPath.c_str()); },
         {kMinimise, kQuery, kQuery, "SetDesktopItemOptions(12,0,0)", kSet, "ApplyChanges(1)", kSound,
          "SetDesktopItemOptions(12,0,1)"}, 1, true},
        {TRUE, TRUE, [&] { return changer.SetActiveDesktopWallpaper(kPath.c_str()); },
         {kMinimise, kQuery, kSet, "ApplyChanges(7)", kSound}, 1, true},
        {FALSE, FALSE, [&] { return changer.SetActiveDesktopWallpaper(kPath.c_str()); },
         {kMinimise, kQuery, kQuery, "SetDesktopItemOptions(12,0,1)", kSet, "ApplyChanges(3)", kSound}, 1, true},
    };
    // The Active Desktop wallpaper: longer than the program's own values and
    // of another type, so only a whole copy puts it back.
    const std::string page = "%SystemDrive%\\pages\\" + std::string(300, 'p') + ".htm";
    const auto state = [&] {
        return ShellState{fake.active, fake.components, Shell("Wallpaper"),
                          GetRegType(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper")};
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        ShellState before{};
        const auto run = [&](int failing) {
            fake.active = c.active;
            fake.components = c.components;
            fake.wallpaper = kPath;
            RegSetKeyValueA(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", REG_EXPAND_SZ, page.c_str(),
                            static_cast<DWORD>(page.size() + 1));
            before = state();
            fake.Restart(failing);
            return c.run();
        };
        EXPECT_TRUE(run(-1));
        EXPECT_EQ(fake.log, c.calls);
        // A failed run makes the calls the successful one made up to the
        // failed one; a change then puts back what it had altered.
        const std::vector<size_t> ends = fake.ends;
        for (int failing = c.firstStop; failing < static_cast<int>(ends.size()); ++failing) {
            EXPECT_FALSE(run(failing)) << "call " << failing << " failed";
            ASSERT_GE(fake.log.size(), ends[failing]);
            EXPECT_EQ(Calls(fake.log.begin(), fake.log.begin() + ends[failing]),
                      Calls(c.calls.begin(), c.calls.begin() + ends[failing])) << "call " << failing;
            EXPECT_TRUE(!c.undoes || state() == before) << "call " << failing;
        }
    }
    fake.Restart();
    EXPECT_FALSE(changer.SetDisplayStyle(3) || changer.SetDisplayStyle(-1) || !fake.log.empty());
    for (fake.style = 0; fake.style < 4; ++fake.style)  // WPSTYLE_CENTER, _TILE, _STRETCH, _KEEPASPECT
        EXPECT_EQ(changer.GetDisplayStyle(), (std::array{1, 0, 2, -1}[fake.style]));
}

TEST_F(EngineTest, NormalChangeKeepsTheWallpaperValueAndFollowsTheSideEffectSettings)
{
    for (BOOL active : {FALSE, TRUE}) {
        fake.active = active;
        SetShell("Wallpaper", kPage);
        EXPECT_TRUE(changer.SetNormalWallpaper(kPath.c_str()));
        EXPECT_EQ(Shell("Wallpaper"), kPage);
        DeleteRegValue(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper");
        EXPECT_TRUE(changer.SetNormalWallpaper(kPath.c_str()));
        EXPECT_EQ(Shell("Wallpaper"), "") << "a missing value is created empty";
        EXPECT_EQ(GetRegType(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper"), DWORD(REG_SZ));
    }

    fake.active = FALSE;
    const auto change = [&] {
        fake.Restart();
        EXPECT_TRUE(changer.SetNormalWallpaper(kPath.c_str()));
        return fake.log;
    };
    const Calls plain = {kQuery, kSet, "ApplyChanges(1)"};
    EXPECT_EQ(change(), plain) << "absent means off";
    registry.Set("TurnOnSoundEffects", 0);
    registry.Set("MinimizeAllWindows", 0);
    EXPECT_EQ(change(), plain);
    // Anything but 0 is on; the desktop items are the change flow's.
    registry.Set("TurnOnSoundEffects", 2);
    registry.Set("MinimizeAllWindows", 2);
    registry.Set("HideDesktopItems", 1);
    EXPECT_EQ(change(), Calls({kMinimise, kQuery, kSet, "ApplyChanges(1)", kSound}));
    EXPECT_TRUE(changer.ShowDesktopItems(0) && !IsWindowVisible(desktop));
    EXPECT_TRUE(changer.ShowDesktopItems(1) && IsWindowVisible(desktop));
    EXPECT_TRUE(changer.ShowDesktopItems(2) && !IsWindowVisible(desktop)) << "only 1 shows";
    DestroyWindow(desktop);
    EXPECT_FALSE(changer.ShowDesktopItems(1));

    fake.Restart();
    changer.MinimizeAll(0);
    changer.MinimizeAll(7);
    EXPECT_EQ(fake.log, Calls(2, "Post(WM_COMMAND,416,0)"));
}

TEST_F(EngineTest, TimersRunAtLeastASecondAndOneChangeHoldsTheEngine)
{
    const std::pair<DWORD, UINT> periods[] = {
        {0, 1000}, {30, 30000}, {2147483, 2147483000u}, {2147484, USER_TIMER_MAXIMUM}, {4294968, USER_TIMER_MAXIMUM}};
    for (const auto& [seconds, ms] : periods)
        EXPECT_EQ(TimerPeriodMs(seconds), ms) << seconds;
    // The periodic change: 30 s when nothing is stored, never a 0 ms timer.
    fake.Restart();
    theChangeFlow.SetAutoChangeTimer();
    registry.Set("AutoChangeTimer", 0);
    theChangeFlow.SetAutoChangeTimer();
    theChangeFlow.KillAutoChangeTimer();
    EXPECT_EQ(fake.log, Calls({"SetTimer(101,30000)", "SetTimer(101,1000)", "KillTimer(101)"}));

    // A second claim is refused while the first lives, and its end releases
    // nothing; the first's end releases it, however its scope is left.
    {
        const CChangeGuard first(changer);
        EXPECT_TRUE(first.IsClaimed());
        EXPECT_FALSE(CChangeGuard(changer).IsClaimed());
        EXPECT_TRUE(changer.IsChanging());
    }
    EXPECT_TRUE(CChangeGuard(changer).IsClaimed());
    try {
        const CChangeGuard thrown(changer);
        throw thrown.IsClaimed();
    } catch (BOOL) {
    }
    EXPECT_FALSE(changer.IsChanging());
}

TEST_F(EngineTest, ManualChoiceOffersEachDesktopsDialogAndAppliesTheFile)
{
    // The change flow over the program's engine, which holds the recording object.
    theWallpaperChanger.Attach(&fake);
    registry.Set("Selection", 0);
    registry.Set("WallpaperFolder", dir.Path());
    // The open-file dialog fills its filter list only after it shows, so it is
    // answered a moment later: `choice` typed in and OK, or Cancel for none.
    static HWND dialog;
    static std::string choice;
    static Calls filters;
    static int boxAnswer = IDOK;
    DialogAnswerer answerer;
    answerer.SetHandler([&](HWND window, const DialogSeen&) {
        if (!GetDlgItem(window, 0x470))  // no file type list (cmb1): a message box
            return boxAnswer;
        EXPECT_EQ(GetWindow(dialog = window, GW_OWNER), mainWnd.GetSafeHwnd());
        SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            char text[256];
            for (WPARAM i = 0; SendDlgItemMessageA(dialog, 0x470, CB_GETLBTEXT, i, LPARAM(text)) != CB_ERR; ++i)
                filters.push_back(text);
            SetDlgItemTextA(dialog, GetDlgItem(dialog, 0x47C) ? 0x47C : 0x480, choice.c_str());  // cmb13 or edt1
            PressButton(dialog, choice.empty() ? IDCANCEL : IDOK);
        });
        return 0;
    });
    ASSERT_TRUE(WriteFileText(dir / "a.bmp", "x") && WriteFileText(dir / "page.htm", "x"));
    for (BOOL active : {FALSE, TRUE}) {
        const std::string desktop = active ? "active desktop wallpaper" : "normal desktop wallpaper";
        fake.active = active;
        fake.Restart();
        choice = dir / (active ? "page.htm" : "a.bmp");
        EXPECT_TRUE(theChangeFlow.NewWallpaper());
        EXPECT_EQ(answerer.Seen().back().caption, "Select " + desktop);
        // The folder's scan, the mode's desktop, then the change.
        EXPECT_EQ(fake.log, Calls({kQuery, kQuery, kQuery, "SetWallpaper(" + choice + ")",
                                   active ? "ApplyChanges(7)" : "ApplyChanges(1)"}));
        fake.Restart(3);  // SetWallpaper fails
        theChangeFlow.NewWallpaper();
        EXPECT_EQ(answerer.Seen().back().text, "Unable to set " + desktop);
        fake.Restart();
        choice.clear();
        theChangeFlow.NewWallpaper();
        EXPECT_EQ(fake.log, Calls({kQuery, kQuery})) << "Cancel changes nothing";
    }
    // A JPEG for the normal desktop is converted, set and refreshed only
    // when the user agrees.
    const std::string converted = dir / "converted.bmp", set = "SetWallpaper(" + converted + ")";
    registry.Set("ConvertedBmpPath", converted);
    ASSERT_TRUE(WritePicture(choice = dir / "sea.jpg", 16, 16));
    fake.active = FALSE;
    for (int answer : {IDNO, IDYES}) {
        boxAnswer = answer;
        fake.Restart();
        theChangeFlow.NewWallpaper();
        EXPECT_EQ(answerer.Seen().back().text,
                  "This is not a windows bitmap. Convert it so that you can display on your normal desktop?");
        EXPECT_EQ(FileExists(converted), answer == IDYES);
        EXPECT_EQ(fake.log, answer == IDNO ? Calls({kQuery, kQuery})
                                           : Calls({kQuery, kQuery, kQuery, set, "ApplyChanges(1)", "GetWallpaper(260)",
                                                    "SetWallpaper()", set, "ApplyChanges(1)"}));
    }
    theWallpaperChanger.Attach(nullptr);
    boxAnswer = IDOK;
    const char kPictures[] = "Picture Files (*.bmp, *.jpg, *.gif)", kPages[] = "HTML Files (*.html, *.htm)";
    EXPECT_EQ(filters, Calls({kPictures, kPictures, kPictures,                     // the normal desktop's three dialogs
                              kPictures, kPages, kPictures, kPages, kPictures, kPages,
                              kPictures, kPictures}));                             // and the JPEG's two
}

// Against the Active Desktop object registered in the test prefix, after the
// tests above have let go of COM.
TEST(Provider, NormalChangeShowsTheBitmapAndKeepsTheActiveDesktopWallpaper)
{
    AppRegistryScope registry;
    RegistrySnapshot components(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Desktop\\Components");
    TempDir dir;
    CWallpaperChanger changer;
    ASSERT_TRUE(changer.Initialize()) << "tpxactivedesktop.dll is not registered in the prefix";
    ASSERT_TRUE(changer.EnableActiveDesktop(FALSE) && changer.SetDisplayStyle(DISPLAY_STYLE_TILE));
    // An Active Desktop address of 300 characters: longer than the program's own values may be.
    const std::string page = "http://pages.example/" + std::string(279, 'p');
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", page);
    const COLORREF colour = RGB(40, 170, 110);  // no other test shows it, so no earlier picture can pass
    ASSERT_TRUE(WriteSolidBmp(dir / "tile.bmp", 32, 32, colour));
    ASSERT_TRUE(changer.SetNormalWallpaper((dir / "tile.bmp").c_str()));
    const HDC screen = GetDC(nullptr);
    EXPECT_TRUE(WaitFor([&] {
        return ColourNear(GetPixel(screen, 3, 3), colour, 40) && ColourNear(GetPixel(screen, 500, 400), colour, 40);
    }, 10000)) << "the desktop does not show the bitmap";
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper"), page);
    // The refresh after a conversion saves the normal wallpaper again.
    ASSERT_TRUE(changer.RefreshWallpaper());
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper"), page);
    EXPECT_FALSE(changer.IsActiveDesktopEnabled());
}

}  // namespace
}  // namespace tpx::test
