// The settings sheet opened by the main dialog in this process, driven from
// inside its own modal loop (a thread timer plays one step per tick): its
// window and buttons, the tray icon while it is open, the remembered page,
// Enter, and the Options page's loading, writes, timer and range check.
#include <gtest/gtest.h>

#include "MainDialogSheet.h"
#include <wininet.h>  // before shlobj.h, which hides IActiveDesktop otherwise
#include <shlobj.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "app/TapestrixDlg.h"
#include "engine/WallpaperChanger.h"
#include "framework/App.h"
#include "res/resource.h"
#include "settings/Settings.h"

using namespace tpx::test;

CWallpaperChanger theWallpaperChanger;

namespace {

// ---------------------------------------------------------------- timer calls
// The engine is linked into this program: its timer calls on the main
// dialog go through this program's import table, where these recorders sit.

HWND g_timerOwner;
std::vector<std::string> g_timerLog;
decltype(&SetTimer) g_setTimer;
decltype(&KillTimer) g_killTimer;

UINT_PTR WINAPI RecordSetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    if (hwnd && hwnd == g_timerOwner)
        g_timerLog.push_back("Set(" + std::to_string(id) + "," + std::to_string(elapse) + ")");
    return g_setTimer(hwnd, id, elapse, proc);
}

BOOL WINAPI RecordKillTimer(HWND hwnd, UINT_PTR id)
{
    if (hwnd && hwnd == g_timerOwner)
        g_timerLog.push_back("Kill(" + std::to_string(id) + ")");
    return g_killTimer(hwnd, id);
}

bool InstallTimerRecorders()
{
    return g_setTimer ||
           (PatchImport("SetTimer", reinterpret_cast<void*>(RecordSetTimer), &g_setTimer) &&
            PatchImport("KillTimer", reinterpret_cast<void*>(RecordKillTimer), &g_killTimer));
}

// ---------------------------------------------------------------- the sheet

HWND Options(HWND sheet)
{
    return PageOf(sheet, 3);
}

class SettingsSheet : public MainDialogSheet {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(InstallTimerRecorders());
        theWallpaperChanger.Initialize();
    }
    void SetUp() override
    {
        MainDialogSheet::SetUp();
        g_timerOwner = m_dlg.GetSafeHwnd();
        g_timerLog.clear();
    }
    void TearDown() override
    {
        g_timerOwner = nullptr;
        MainDialogSheet::TearDown();
    }
    static SheetStep ToOptions()
    {
        return [](HWND sheet) { ASSERT_TRUE(SendMessageA(sheet, PSM_SETCURSEL, 3, 0)); };
    }
};

}  // namespace

TEST_F(SettingsSheet, OpensAloneWithItsTabsAndOnlyHelpTopicsWhileTheIconIsAway)
{
    const HWND main = m_dlg.GetSafeHwnd();
    Run({[&](HWND sheet) {
        EXPECT_EQ(nullptr, GetParent(sheet));
        EXPECT_EQ(nullptr, GetWindow(sheet, GW_OWNER));
        EXPECT_TRUE(GetWindowLongA(sheet, GWL_EXSTYLE) & WS_EX_APPWINDOW);
        EXPECT_EQ("Tapestrix - Weaving pictures into your desktop", TextOf(sheet));
        EXPECT_EQ(0, ActivePageIndex(sheet));   // nothing remembered: About

        const HWND tab = PropSheet_GetTabControl(sheet);
        ASSERT_EQ(4, TabCtrl_GetItemCount(tab));
        RECT first{};
        TabCtrl_GetItemRect(tab, 0, &first);
        EXPECT_GE(first.right - first.left, 130);   // or as the longest title needs
        for (int i = 0; i < 4; ++i) {
            RECT item{};
            TabCtrl_GetItemRect(tab, i, &item);
            EXPECT_EQ(first.right - first.left, item.right - item.left) << i;
            EXPECT_EQ(30, item.bottom - item.top) << i;
        }

        // The standard row is hidden; "Help Topics" stands by the Help place.
        HWND help = nullptr, topics = nullptr;
        for (HWND child = GetWindow(sheet, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            const int id = GetDlgCtrlID(child);
            if (id == IDOK || id == IDCANCEL || id == 0x3021) {
                EXPECT_FALSE(IsWindowVisible(child)) << id;
            }
            if (id == IDHELP)
                (TextOf(child) == "Help Topics" ? topics : help) = child;
        }
        ASSERT_TRUE(help && topics);
        EXPECT_FALSE(IsWindowVisible(help));
        EXPECT_TRUE(IsWindowVisible(topics));
        RECT h{}, t{};
        GetWindowRect(help, &h);
        GetWindowRect(topics, &t);
        EXPECT_EQ(h.left - 42, t.left);
        EXPECT_EQ(h.right - 14, t.right);
        EXPECT_EQ(h.top, t.top);
        EXPECT_EQ(h.bottom, t.bottom);

        EXPECT_FALSE(TrayHasIcon(main, 0));
        // The command again while it is open: no second sheet.
        SendMessageA(main, WM_COMMAND, ID_OPEN_SETTINGS, 0);
        EXPECT_EQ(1u, OpenSheets().size());

        // No help file beside this program: the sheet says so over itself.
        const FileSetAside away(ExeDir() + "\\Tapestrix.chm");
        ASSERT_FALSE(FileExists(ExeDir() + "\\Tapestrix.chm"));
        EXPECT_TRUE(m_seen.empty());
        SendMessageA(topics, BM_CLICK, 0, 0);
        ASSERT_EQ(1u, m_seen.size());
        EXPECT_EQ("Unable to launch help file", m_seen[0].text);
        EXPECT_EQ("Tapestrix", m_seen[0].caption);
        EXPECT_EQ(sheet, m_owners[0]);
    }});
    EXPECT_TRUE(OpenSheets().empty());
    EXPECT_TRUE(TrayHasIcon(main, 0));
}

TEST_F(SettingsSheet, EnterInAFieldOrOnAButtonDoesNothing)
{
    m_registry.Set("CurrentActivePage", 3);
    auto enterOn = [](auto control) {
        return [control](HWND sheet) {
            HWND target = control(sheet);
            SetFocus(target);
            PostMessageA(target, WM_KEYDOWN, VK_RETURN, 0x001C0001);
            PostMessageA(target, WM_KEYUP, VK_RETURN, 0xC01C0001);
        };
    };
    auto stillOpen = [](HWND sheet) {
        EXPECT_TRUE(IsWindowVisible(sheet));
        EXPECT_NE(0, SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    };
    Run({enterOn([](HWND sheet) { return GetDlgItem(Options(sheet), IDC_AUTO_CHANGE_TIMER); }), stillOpen,
         enterOn([](HWND sheet) { return FindWindowExA(sheet, nullptr, "Button", "Help Topics"); }), stillOpen});
    EXPECT_TRUE(m_seen.empty()) << m_seen[0].text;   // the help file was not asked for
}

TEST_F(SettingsSheet, OptionsShowWhatTheProgramUsesStoreNothingButThePageAndOpenAgain)
{
    Run({ToOptions(), [](HWND sheet) {
        const HWND page = Options(sheet);
        auto checked = [&](int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; };
        // With nothing stored: the settings table's defaults, which the
        // program itself uses (manual, three and thirty seconds).
        EXPECT_EQ(SELECTION_MANUAL, AppSetting::Selection.number);
        for (const auto& [id, mode] : {std::pair{IDC_MANUAL, SELECTION_MANUAL}, {IDC_RANDOM, SELECTION_RANDOM},
                                       {IDC_SEQUENTIAL, SELECTION_SEQUENTIAL}})
            EXPECT_EQ(mode == AppSetting::Selection.number, checked(id)) << id;
        const std::pair<int, const CAppSetting*> flags[] = {
            {IDC_MINIMIZE_ON_STARTUP, &AppSetting::MinimizeOnStartup}, {IDC_SOUND_EFFECTS, &AppSetting::TurnOnSoundEffects},
            {IDC_MINIMIZE_ALL_WINDOWS, &AppSetting::MinimizeAllWindows}, {IDC_CONVERT_TO_BMP, &AppSetting::ConvertToBmp},
            {IDC_HIDE_DESKTOP_ITEMS, &AppSetting::HideDesktopItems}, {IDC_AUTO_CHANGE, &AppSetting::EnableAutoChange}};
        for (const auto& [id, setting] : flags)
            EXPECT_EQ(setting->number != 0, checked(id)) << id;
        EXPECT_EQ(theWallpaperChanger.IsActiveDesktopEnabled() != FALSE, checked(IDC_ACTIVE_DESKTOP));
        EXPECT_EQ("3", TextOf(GetDlgItem(page, IDC_HIDE_ITEM_TIMER)));
        EXPECT_EQ("30", TextOf(GetDlgItem(page, IDC_AUTO_CHANGE_TIMER)));
        EXPECT_EQ(std::to_string(AppSetting::HideItemTimer.number), TextOf(GetDlgItem(page, IDC_HIDE_ITEM_TIMER)));
        EXPECT_EQ(std::to_string(AppSetting::AutoChangeTimer.number), TextOf(GetDlgItem(page, IDC_AUTO_CHANGE_TIMER)));
        const HWND list = GetDlgItem(page, IDC_AUTO_CHANGE_SELECTION);
        EXPECT_EQ(2, SendMessageA(list, CB_GETCOUNT, 0, 0));
        EXPECT_EQ(static_cast<LRESULT>(AppSetting::AutoChangeSelection.number), SendMessageA(list, CB_GETCURSEL, 0, 0));
        EXPECT_EQ("Randomly", TextOf(list));
        for (int id : {IDC_HIDE_ITEM_TIMER, IDC_AUTO_CHANGE_TIMER, IDC_AUTO_CHANGE_SELECTION})
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, id))) << id;
    }});
    HKEY key = nullptr;
    DWORD values = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kAppKey, 0, KEY_READ, &key));
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    EXPECT_EQ(1u, values);
    EXPECT_EQ(3u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "CurrentActivePage"));
    EXPECT_TRUE(m_seen.empty());
    // The page left last is the page shown next time.
    Run({[](HWND sheet) { EXPECT_EQ(3, ActivePageIndex(sheet)); }});
}

TEST_F(SettingsSheet, AutoChangeRunsEveryThirtySecondsOrTheTypedSecondsNeverOutOfBounds)
{
    m_registry.Set("CurrentActivePage", 3);
    // Cut to the field's six digits; a minus sign is no number of seconds;
    // a text the program sets past the limit saturates.
    const struct {
        const char* text;
        bool paste;
        DWORD stored;
        const char* timer;
    } inputs[] = {{"-5", true, 0, "Set(101,1000)"},
                  {"123456789012", true, 123456, "Set(101,123456000)"},
                  {"99999999999", false, 2147483, "Set(101,2147483000)"}};
    Run({[&](HWND sheet) {
        const HWND page = Options(sheet);
        const HWND field = GetDlgItem(page, IDC_AUTO_CHANGE_TIMER);
        const HWND box = GetDlgItem(page, IDC_AUTO_CHANGE);
        auto stored = [] { return GetRegDword(HKEY_CURRENT_USER, kAppKey, "AutoChangeTimer"); };
        // Nothing stored yet: every thirty seconds.
        SendMessageA(box, BM_CLICK, 0, 0);
        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_EQ((std::vector<std::string>{"Set(101,30000)", "Kill(101)"}), g_timerLog);

        // Typed digit by digit, stored digit by digit.
        SetWindowTextA(field, "");
        EXPECT_EQ(0u, stored());
        for (auto [key, value] : {std::pair{'1', 1u}, {'2', 12u}, {'0', 120u}}) {
            SendMessageA(field, WM_CHAR, static_cast<WPARAM>(key), 0);
            EXPECT_EQ(value, stored());
        }
        // Checking the box starts the timer with what is stored, clearing it
        // kills it; the mode and period are locked while it runs.
        g_timerLog.clear();
        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_EQ(1u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "EnableAutoChange"));
        EXPECT_FALSE(IsWindowEnabled(field));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_AUTO_CHANGE_SELECTION)));
        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_EQ(0u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "EnableAutoChange"));
        EXPECT_TRUE(IsWindowEnabled(field));
        EXPECT_EQ((std::vector<std::string>{"Set(101,120000)", "Kill(101)"}), g_timerLog);

        for (const auto& input : inputs) {
            if (input.paste) {
                SendMessageA(field, EM_SETSEL, 0, -1);
                ASSERT_TRUE(CopyToClipboard(sheet, input.text));
                SendMessageA(field, WM_PASTE, 0, 0);
            } else {
                SetWindowTextA(field, input.text);
            }
            EXPECT_EQ(input.stored, stored()) << input.text;
            g_timerLog.clear();
            SendMessageA(box, BM_CLICK, 0, 0);
            SendMessageA(box, BM_CLICK, 0, 0);
            EXPECT_EQ((std::vector<std::string>{input.timer, "Kill(101)"}), g_timerLog) << input.text;
        }
        SetWindowTextA(field, "7");   // leaves the page valid
    }});
}

TEST_F(SettingsSheet, LeavingOptionsWithANumberOutOfRangeIsRefused)
{
    m_registry.Set("CurrentActivePage", 3);
    const struct {
        int id;
        const char* text;
        const char* message;
    } cases[] = {{IDC_HIDE_ITEM_TIMER, "0", "Please enter a whole number from 1 to 10."},
                 {IDC_HIDE_ITEM_TIMER, "11", "Please enter a whole number from 1 to 10."},
                 {IDC_AUTO_CHANGE_TIMER, "0", "Please enter a whole number from 1 to 999999."},
                 {IDC_AUTO_CHANGE_TIMER, "", "Please enter a whole number."}};
    std::vector<SheetStep> steps;
    for (const auto& c : cases)
        steps.push_back([&](HWND sheet) {
            const HWND field = GetDlgItem(Options(sheet), c.id);
            SetWindowTextA(field, c.text);
            m_seen.clear();
            EXPECT_FALSE(SendMessageA(sheet, PSM_SETCURSEL, 0, 0)) << c.text;
            EXPECT_EQ(3, ActivePageIndex(sheet));
            ASSERT_EQ(1u, m_seen.size()) << c.text;
            EXPECT_EQ("Tapestrix", m_seen[0].caption);
            EXPECT_EQ(c.message, m_seen[0].text);
            EXPECT_EQ(field, GetFocus());
            SetWindowTextA(field, "5");
        });
    steps.push_back([&](HWND sheet) {
        // Stored as typed, before any check.
        SetWindowTextA(GetDlgItem(Options(sheet), IDC_HIDE_ITEM_TIMER), "0");
        EXPECT_EQ(0u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "HideItemTimer"));
        SetWindowTextA(GetDlgItem(Options(sheet), IDC_HIDE_ITEM_TIMER), "5");
        m_seen.clear();
        EXPECT_TRUE(SendMessageA(sheet, PSM_SETCURSEL, 0, 0));
        EXPECT_TRUE(m_seen.empty());
    });
    Run(steps);
}

TEST_F(SettingsSheet, EveryChoiceShowsWhatTheProgramDoesAndIsStoredOrAppliedAtOnce)
{
    m_registry.Set("CurrentActivePage", 3);
    // Other flags than 0 and 1: the engine hides the desktop items only for
    // 1 and takes any other set flag as on.  Out-of-range periods stored
    // earlier do not stop the sheet from opening without a word.
    const struct {
        const char* name;
        int id;
        DWORD stored;
        bool shown;
        DWORD afterClick;
    } flags[] = {{"HideDesktopItems", IDC_HIDE_DESKTOP_ITEMS, 2, false, 1},
                 {"MinimizeOnStartup", IDC_MINIMIZE_ON_STARTUP, 7, true, 0},
                 {"TurnOnSoundEffects", IDC_SOUND_EFFECTS, 0xFFFFFFFF, true, 0},
                 {"MinimizeAllWindows", IDC_MINIMIZE_ALL_WINDOWS, 1, true, 0},
                 {"ConvertToBmp", IDC_CONVERT_TO_BMP, 0, false, 1}};
    for (const auto& f : flags)
        m_registry.Set(f.name, f.stored);
    m_registry.Set("HideItemTimer", 50);
    m_registry.Set("AutoChangeTimer", 0);
    const std::pair<int, DWORD> radios[] = {{IDC_MANUAL, 0}, {IDC_SEQUENTIAL, 2}, {IDC_RANDOM, 1}};
    IActiveDesktop* shell = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveDesktop,
                                     reinterpret_cast<void**>(&shell)));
    Run({[&](HWND sheet) {
        const HWND page = Options(sheet);
        EXPECT_TRUE(m_seen.empty()) << m_seen[0].text;
        for (const auto& f : flags) {
            const HWND box = GetDlgItem(page, f.id);
            EXPECT_EQ(f.shown, SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED) << f.name;
            SendMessageA(box, BM_CLICK, 0, 0);
            EXPECT_EQ(f.afterClick, GetRegDword(HKEY_CURRENT_USER, kAppKey, f.name)) << f.name;
        }
        for (const auto& r : radios) {
            SendDlgItemMessageA(page, r.first, BM_CLICK, 0, 0);
            EXPECT_EQ(r.second, GetRegDword(HKEY_CURRENT_USER, kAppKey, "Selection")) << r.first;
        }
        // The list as the user leaves it: the selection, then its notice.
        const HWND list = GetDlgItem(page, IDC_AUTO_CHANGE_SELECTION);
        for (int index : {1, 0}) {
            SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
            SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_AUTO_CHANGE_SELECTION, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(list));
            EXPECT_EQ(static_cast<DWORD>(index), GetRegDword(HKEY_CURRENT_USER, kAppKey, "AutoChangeSelection"));
        }

        // Active Desktop is the shell's state, switched there and back.
        const HWND box = GetDlgItem(page, IDC_ACTIVE_DESKTOP);
        const BOOL was = theWallpaperChanger.IsActiveDesktopEnabled();
        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_NE(was, theWallpaperChanger.IsActiveDesktopEnabled());
        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_EQ(was, theWallpaperChanger.IsActiveDesktopEnabled());
        EXPECT_TRUE(m_seen.empty());
        // Without the shell's object: the message, and the box as clicked.
        theWallpaperChanger.Attach(nullptr);
        SendMessageA(box, BM_CLICK, 0, 0);
        ASSERT_EQ(1u, m_seen.size());
        EXPECT_EQ("Unable to enable / disable active desktop", m_seen[0].text);
        EXPECT_EQ(was ? BST_UNCHECKED : BST_CHECKED, SendMessageA(box, BM_GETCHECK, 0, 0));
        theWallpaperChanger.Attach(shell);
    }});
    shell->Release();
}
