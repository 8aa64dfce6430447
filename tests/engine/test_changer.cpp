// The desktop service over the shell's real Active Desktop object: what each
// operation leaves in the shell's values and what the user notices, that a
// refusal at any call leaves the shell as it was, and the change flow's manual
// choice and timers over it.
#include <algorithm>
#include <tuple>

#include "EngineTest.h"
#include "flow/ChangeFlow.h"

CWallpaperChanger theWallpaperChanger;

namespace tpx::test {
namespace {

class Changer : public EngineTest {
protected:
    // The shell after a change, as "desktop; Wallpaper; BackupWallpaper;
    // WallpaperStyle/TileWallpaper", then what the user noticed.
    std::string Summary() const
    {
        const auto name = [&](const char* key, const char* value) {
            const std::string text = GetRegString(HKEY_CURRENT_USER, key, value).value_or("-");
            return text == page ? "page" : text == path ? "sea" : text;
        };
        const COMPONENTSOPT items = Items();
        std::string text = std::string(items.fActiveDesktop ? "active" : "normal") +
                           (items.fEnableComponents ? "" : " without items") + "; " + name(kGeneralKey, "Wallpaper") +
                           "; " + name(kGeneralKey, "BackupWallpaper") + "; " + name(kDesktopKey, "WallpaperStyle") +
                           "/" + name(kDesktopKey, "TileWallpaper");
        for (const std::string& effect : g_effects)
            text += "; " + effect;
        return text;
    }
    // The Active Desktop wallpaper: longer than the program's own values and
    // of another type, so only a whole copy puts it back.
    const std::string page = "%SystemDrive%\\pages\\" + std::string(300, 'p') + ".htm";
    const std::string path = dir / "sea.bmp";
};

TEST_F(Changer, EachOperationsOutcomeAndARefusalAnywhereLeavesTheShellAsItWas)
{
    registry.Set("TurnOnSoundEffects", 1);
    registry.Set("MinimizeAllWindows", 1);
    ASSERT_TRUE(WritePicture(path, 16, 16, RGB(20, 90, 160)));
    const struct {
        BOOL active, components;
        std::function<bool()> run;
        std::string after;  // what Summary() shows
        int firstStop;      // a failed Active Desktop query before it just means "off"
        bool undoes;        // a failure puts the shell back
    } cases[] = {
        {TRUE, TRUE, [&] { return changer.IsActiveDesktopEnabled(); }, "active; page; before; 0/0", 0, false},
        {FALSE, FALSE, [&] { return changer.EnableActiveDesktop(TRUE); }, "active without items; page; before; 0/0", 0, true},
        {TRUE, TRUE, [&] { return changer.EnableActiveDesktop(FALSE); }, "normal; page; sea; 0/0", 0, true},
        {FALSE, TRUE, [&] { return changer.SetDisplayStyle(0); }, "normal; page; sea; 0/1", 0, false},
        {FALSE, TRUE, [&] { return changer.SetDisplayStyle(2); }, "normal; page; sea; 2/0", 0, false},
        // The refresh after a normal change; the changes from the state that must survive them.
        {FALSE, TRUE, [&] { return changer.RefreshWallpaper(); }, "normal; page; sea; 0/0", 0, true},
        {TRUE, FALSE, [&] { return changer.SetNormalWallpaper(path.c_str()); },
         "active without items; page; sea; 0/0; minimise all; sound", 1, true},
        {FALSE, FALSE, [&] { return changer.SetActiveDesktopWallpaper(path.c_str()); },
         "active without items; sea; before; 0/0; minimise all; sound", 1, true},
    };
    // What a failed change must leave as it found it.
    const auto state = [&] {
        const COMPONENTSOPT items = Items();
        return std::make_tuple(items.fActiveDesktop, items.fEnableComponents, Shell("Wallpaper"),
                               GetRegType(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper"));
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        decltype(state()) before;
        const auto run = [&](int failing) {
            SetActive(c.active, c.components);
            SetRegString(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper", path);
            SetRegString(HKEY_CURRENT_USER, kDesktopKey, "WallpaperStyle", "0");
            SetRegString(HKEY_CURRENT_USER, kDesktopKey, "TileWallpaper", "0");
            SetShell("BackupWallpaper", "before");
            RegSetKeyValueA(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", REG_EXPAND_SZ, page.c_str(),
                            static_cast<DWORD>(page.size() + 1));
            before = state();
            EXPECT_TRUE(shell.Renew(failing));
            g_effects.clear();
            return c.run();
        };
        EXPECT_TRUE(run(-1));
        EXPECT_EQ(Summary(), c.after);
        const int calls = static_cast<int>(shell.calls.size());
        for (int failing = c.firstStop; failing < calls; ++failing) {
            EXPECT_FALSE(run(failing)) << shell.calls[failing] << " refused";
            EXPECT_EQ(std::count(shell.calls.begin() + failing + 1, shell.calls.end(), "ApplyChanges"), 0)
                << "applied after " << shell.calls[failing] << " was refused";
            EXPECT_TRUE(!c.undoes || state() == before) << shell.calls[failing] << " refused";
            EXPECT_EQ(std::count(g_effects.begin(), g_effects.end(), "sound"),
                      std::count(shell.calls.begin(), shell.calls.begin() + failing, "ApplyChanges"))
                << "the sound is for a change that was saved: " << shell.calls[failing] << " refused";
        }
    }
    // The styles the program has no name for.
    shell.Renew();
    EXPECT_FALSE(changer.SetDisplayStyle(3) || !shell.calls.empty());
    const WALLPAPEROPT keepAspect{sizeof keepAspect, WPSTYLE_KEEPASPECT};
    shell.real->SetWallpaperOptions(&keepAspect, 0);
    EXPECT_EQ(changer.GetDisplayStyle(), -1);
}

// What the desktop then shows is the provider's and the Wallpaper Browser page's to check.
TEST_F(Changer, NormalChangeCreatesAMissingValueAndFollowsTheSideEffectSettings)
{
    ASSERT_TRUE(WritePicture(path, 32, 32, RGB(40, 170, 110)));
    DeleteRegValue(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper");
    ASSERT_TRUE(changer.SetNormalWallpaper(path.c_str()));
    EXPECT_EQ(g_effects, Calls()) << "absent settings mean off";
    EXPECT_EQ(Shell("Wallpaper"), "") << "a missing value is created empty";
    EXPECT_EQ(GetRegType(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper"), DWORD(REG_SZ));

    // Anything but 0 is on; the desktop items are the change flow's.
    registry.Set("TurnOnSoundEffects", 2);
    registry.Set("MinimizeAllWindows", 2);
    g_effects.clear();
    EXPECT_TRUE(changer.SetNormalWallpaper(path.c_str()));
    EXPECT_EQ(g_effects, Calls({"minimise all", "sound"}));
    DestroyWindow(desktop);
    EXPECT_FALSE(changer.ShowDesktopItems(0)) << "no desktop window: no icons hidden";
}

TEST_F(Changer, TimersRunAtLeastASecond)
{
    const std::pair<DWORD, UINT> periods[] = {{0, 1000}, {2147483, 2147483000u}, {4294968, USER_TIMER_MAXIMUM}};
    for (const auto& [seconds, ms] : periods)
        EXPECT_EQ(TimerPeriodMs(seconds), ms) << seconds;
    // The periodic change: 30 s when nothing is stored, never a 0 ms timer.
    // (Stopping it: the Options page's test.)
    theChangeFlow.SetAutoChangeTimer();
    registry.Set("AutoChangeTimer", 0);
    theChangeFlow.SetAutoChangeTimer();
    EXPECT_EQ(g_effects, Calls({"timer 101 30000", "timer 101 1000"}));
}

// A normal desktop's failure and an agreed conversion are the Desktop
// Information and Wallpaper Browser pages' to check.
TEST_F(Changer, ManualChoiceOffersEachDesktopsFilesAndAppliesTheChoice)
{
    // The change flow over the program's engine, which holds the wrapper.
    theWallpaperChanger.Attach(&shell);
    registry.Set("Selection", 0);
    registry.Set("WallpaperFolder", dir.Path());
    registry.Set("ConvertedBmpPath", dir / "converted.bmp");
    // The open-file dialog fills its filter list only after it shows, so it is
    // answered a moment later: `choice` typed in and OK, or Cancel for none; the
    // conversion question is declined.  `offered`: its title, then its file types.
    static HWND dialog;
    static std::string choice;
    static Calls offered;
    DialogAnswerer answerer;
    answerer.SetHandler([&](HWND window, const DialogSeen& seen) {
        if (!GetDlgItem(window, 0x470))  // no file type list (cmb1): a message box
            return IDNO;
        EXPECT_EQ(GetWindow(dialog = window, GW_OWNER), mainWnd.GetSafeHwnd());
        offered = {seen.caption};
        SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            char text[256];
            for (WPARAM i = 0; SendDlgItemMessageA(dialog, 0x470, CB_GETLBTEXT, i, LPARAM(text)) != CB_ERR; ++i)
                offered.push_back(text);
            SetDlgItemTextA(dialog, GetDlgItem(dialog, 0x47C) ? 0x47C : 0x480, choice.c_str());  // cmb13 or edt1
            PressButton(dialog, choice.empty() ? IDCANCEL : IDOK);
        });
        return 0;
    });
    ASSERT_TRUE(WritePicture(dir / "a.bmp", 8, 8, RGB(90, 20, 20)) && WritePicture(dir / "sea.jpg", 16, 16));
    ASSERT_TRUE(WriteFileText(dir / "page.htm", "x"));
    const Calls normal = {"Select normal desktop wallpaper", "Picture Files (*.bmp, *.jpg, *.gif)"};
    const Calls active = {"Select active desktop wallpaper", normal[1], "HTML Files (*.html, *.htm)"};
    const struct {
        BOOL active;
        std::string file;
        int failAt;         // the first SetWallpaper, after the scan's and the mode's queries
        bool applied;       // else the desktop's value stays "before"
        std::string message;
    } cases[] = {{FALSE, "a.bmp", -1, true, ""},
                 {FALSE, "sea.jpg", -1, false, "This is not a windows bitmap. Convert it so that you can display "
                                               "on your normal desktop?"},
                 {TRUE, "page.htm", -1, true, ""},
                 {TRUE, "page.htm", 3, false, "Unable to set active desktop wallpaper"},
                 {TRUE, "", -1, false, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + " " + std::to_string(c.failAt));
        const char* value = c.active ? "Wallpaper" : "BackupWallpaper";
        SetActive(c.active);
        SetShell(value, "before");
        shell.Renew(c.failAt);
        choice = c.file.empty() ? "" : dir / c.file;
        EXPECT_TRUE(theChangeFlow.NewWallpaper());
        EXPECT_EQ(offered, c.active ? active : normal);
        EXPECT_EQ(Shell(value), c.applied ? choice : "before");
        if (!c.message.empty()) {
            EXPECT_EQ(answerer.Seen().back().text, c.message);
        }
    }
    theWallpaperChanger.Attach(nullptr);
}

}  // namespace
}  // namespace tpx::test
