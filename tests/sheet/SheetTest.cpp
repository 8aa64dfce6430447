// The settings sheet opened by the main dialog in this process, driven from
// inside its own modal loop (a thread timer plays one step per tick): its
// window and buttons, the tray icon while it is open, Enter, and the Options
// page's controls, writes, timer and range check.
#include <gtest/gtest.h>

#include "MainDialogSheet.h"
#include <wininet.h>  // before shlobj.h, which hides IActiveDesktop otherwise
#include <shlobj.h>
#include <commctrl.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "engine/WallpaperChanger.h"
#include "settings/Settings.h"

using namespace tpx::test;

CWallpaperChanger theWallpaperChanger;

namespace {

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

class SettingsSheet : public MainDialogSheet {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(PatchImport("SetTimer", reinterpret_cast<void*>(RecordSetTimer), &g_setTimer));
        ASSERT_TRUE(PatchImport("KillTimer", reinterpret_cast<void*>(RecordKillTimer), &g_killTimer));
        theWallpaperChanger.Initialize();
    }
    void SetUp() override
    {
        MainDialogSheet::SetUp();
        g_timerOwner = m_dlg.GetSafeHwnd();
    }
};

}  // namespace

TEST_F(SettingsSheet, OpensAloneWithItsTabsAndOnlyHelpTopicsWhileTheIconIsAway)
{
    const HWND main = m_dlg.GetSafeHwnd();
    Run({[&](HWND sheet) {
        EXPECT_EQ(nullptr, GetWindow(sheet, GW_OWNER));
        EXPECT_TRUE(GetWindowLongA(sheet, GWL_EXSTYLE) & WS_EX_APPWINDOW);
        EXPECT_EQ("Tapestrix - Weaving pictures into your desktop", TextOf(sheet));
        EXPECT_EQ(0, ActivePageIndex(sheet));   // nothing remembered: About
        const HWND tab = PropSheet_GetTabControl(sheet);
        ASSERT_EQ(4, TabCtrl_GetItemCount(tab));
        RECT first{}, item{};
        TabCtrl_GetItemRect(tab, 0, &first);
        EXPECT_GE(first.right - first.left, 130);   // or as the longest title needs
        for (int i = 0; i < 4 && TabCtrl_GetItemRect(tab, i, &item); ++i)
            EXPECT_TRUE(item.right - item.left == first.right - first.left && item.bottom - item.top == 30) << i;

        // The standard row is hidden; "Help Topics" stands by the Help place.
        HWND help = nullptr, topics = nullptr;
        for (HWND child = GetWindow(sheet, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            const int id = GetDlgCtrlID(child);
            EXPECT_FALSE((id == IDOK || id == IDCANCEL || id == 0x3021) && IsWindowVisible(child)) << id;
            if (id == IDHELP)
                (TextOf(child) == "Help Topics" ? topics : help) = child;
        }
        ASSERT_TRUE(help && topics);
        EXPECT_FALSE(IsWindowVisible(help));
        EXPECT_TRUE(IsWindowVisible(topics));
        RECT h{}, t{};
        GetWindowRect(help, &h);
        GetWindowRect(topics, &t);
        const RECT beside{h.left - 42, h.top, h.right - 14, h.bottom};
        EXPECT_TRUE(EqualRect(&beside, &t));

        EXPECT_FALSE(TrayHasIcon(main, 0));
        SendMessageA(main, WM_COMMAND, ID_OPEN_SETTINGS, 0);
        EXPECT_EQ(1u, OpenSheets().size()) << "a second sheet";

        // No help file beside this program: the sheet says so over itself.
        const FileSetAside away(ExeDir() + "\\Tapestrix.chm");
        SendMessageA(topics, BM_CLICK, 0, 0);
        ASSERT_EQ(1u, m_seen.size());
        EXPECT_EQ("Unable to launch help file", m_seen[0].text);
        EXPECT_EQ("Tapestrix", m_seen[0].caption);
        EXPECT_EQ(sheet, m_owners[0]);
    }});
    EXPECT_TRUE(TrayHasIcon(main, 0));
    // Opening every page stored nothing but the page shown.
    HKEY key = nullptr;
    DWORD values = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kAppKey, 0, KEY_READ, &key));
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    EXPECT_EQ(1u, values);
}

TEST_F(SettingsSheet, EnterInAFieldOrOnAButtonDoesNothing)
{
    m_registry.Set("CurrentActivePage", 3);
    auto enterOn = [](int id) {
        return [id](HWND sheet) {
            const HWND target =
                id ? GetDlgItem(PageOf(sheet, 3), id) : FindWindowExA(sheet, nullptr, "Button", "Help Topics");
            SetFocus(target);
            PostMessageA(target, WM_KEYDOWN, VK_RETURN, 0x001C0001);
            PostMessageA(target, WM_KEYUP, VK_RETURN, 0xC01C0001);
        };
    };
    auto stillOpen = [](HWND sheet) { EXPECT_NE(0, SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)); };
    Run({enterOn(IDC_AUTO_CHANGE_TIMER), stillOpen, enterOn(0), stillOpen});
    EXPECT_TRUE(m_seen.empty()) << m_seen[0].text;   // the help file was not asked for
}

TEST_F(SettingsSheet, EachOptionShowsWhatTheProgramDoesIsStoredAtOnceAndShownAgain)
{
    m_registry.Set("CurrentActivePage", 3);
    // A flag shows what the engine makes of it: only 1 hides the desktop
    // items, any other non-zero flag is on; nothing stored, the default.
    const struct {
        const char* name;
        int id;
        std::optional<DWORD> stored;
        bool shown;
        DWORD afterClick;
    } boxes[] = {{"HideDesktopItems", IDC_HIDE_DESKTOP_ITEMS, 2, false, 1},
                 {"MinimizeOnStartup", IDC_MINIMIZE_ON_STARTUP, 7, true, 0},
                 {"TurnOnSoundEffects", IDC_SOUND_EFFECTS, 0xFFFFFFFF, true, 0},
                 {"MinimizeAllWindows", IDC_MINIMIZE_ALL_WINDOWS, std::nullopt, false, 1},
                 {"ConvertToBmp", IDC_CONVERT_TO_BMP, 1, true, 0}};
    for (const auto& b : boxes)
        if (b.stored)
            m_registry.Set(b.name, *b.stored);
    m_registry.Set("HideItemTimer", 50);   // out of range, yet shown without a word
    auto checked = [](HWND sheet, int id) { return IsDlgButtonChecked(PageOf(sheet, 3), id) == BST_CHECKED; };
    auto list = [](HWND sheet) { return GetDlgItem(PageOf(sheet, 3), IDC_AUTO_CHANGE_SELECTION); };
    IActiveDesktop* shell = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveDesktop,
                                     reinterpret_cast<void**>(&shell)));
    Run({[&](HWND sheet) {
        const HWND page = PageOf(sheet, 3);
        for (const auto& b : boxes) {
            EXPECT_EQ(b.shown, checked(sheet, b.id)) << b.name;
            SendDlgItemMessageA(page, b.id, BM_CLICK, 0, 0);
            EXPECT_EQ(b.afterClick, GetRegDword(HKEY_CURRENT_USER, kAppKey, b.name)) << b.name;
        }
        EXPECT_EQ("50", TextOf(GetDlgItem(page, IDC_HIDE_ITEM_TIMER)));
        EXPECT_EQ("30", TextOf(GetDlgItem(page, IDC_AUTO_CHANGE_TIMER)));
        EXPECT_TRUE(checked(sheet, IDC_MANUAL));
        for (const auto& [id, mode] : {std::pair{IDC_SEQUENTIAL, 2u}, {IDC_RANDOM, 1u}}) {
            SendDlgItemMessageA(page, id, BM_CLICK, 0, 0);
            EXPECT_EQ(mode, GetRegDword(HKEY_CURRENT_USER, kAppKey, "Selection")) << id;
        }
        // The list as the user leaves it: the selection, then its notice.
        EXPECT_EQ("Randomly", TextOf(list(sheet)));
        SendMessageA(list(sheet), CB_SETCURSEL, 1, 0);
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_AUTO_CHANGE_SELECTION, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list(sheet)));
        EXPECT_EQ(1u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "AutoChangeSelection"));

        // Active Desktop is the shell's state, switched there and back;
        // without the shell's object, the message and the box as clicked.
        const HWND box = GetDlgItem(page, IDC_ACTIVE_DESKTOP);
        const BOOL was = theWallpaperChanger.IsActiveDesktopEnabled();
        EXPECT_EQ(was != FALSE, checked(sheet, IDC_ACTIVE_DESKTOP));
        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_NE(was, theWallpaperChanger.IsActiveDesktopEnabled());
        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_EQ(was, theWallpaperChanger.IsActiveDesktopEnabled());
        EXPECT_TRUE(m_seen.empty()) << m_seen[0].text;
        theWallpaperChanger.Attach(nullptr);
        SendMessageA(box, BM_CLICK, 0, 0);
        ASSERT_EQ(1u, m_seen.size());
        EXPECT_EQ("Unable to enable / disable active desktop", m_seen[0].text);
        EXPECT_EQ(was == FALSE, checked(sheet, IDC_ACTIVE_DESKTOP));
        theWallpaperChanger.Attach(shell);
    }});
    shell->Release();
    Run({[&](HWND sheet) {
        for (const auto& b : boxes)
            EXPECT_EQ(b.afterClick != 0, checked(sheet, b.id)) << b.name << " shown again";
        EXPECT_TRUE(checked(sheet, IDC_RANDOM));
        EXPECT_EQ(1, SendMessageA(list(sheet), CB_GETCURSEL, 0, 0));
    }});
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
        const HWND field = GetDlgItem(PageOf(sheet, 3), IDC_AUTO_CHANGE_TIMER);
        const HWND box = GetDlgItem(PageOf(sheet, 3), IDC_AUTO_CHANGE);
        auto stored = [] { return GetRegDword(HKEY_CURRENT_USER, kAppKey, "AutoChangeTimer"); };
        // Nothing stored yet: every thirty seconds.
        g_timerLog.clear();
        SendMessageA(box, BM_CLICK, 0, 0);
        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_EQ((std::vector<std::string>{"Set(101,30000)", "Kill(101)"}), g_timerLog);

        // Typed digit by digit, stored digit by digit.
        SetWindowTextA(field, "");
        for (auto [key, value] : {std::pair{'1', 1u}, {'2', 12u}, {'0', 120u}}) {
            SendMessageA(field, WM_CHAR, static_cast<WPARAM>(key), 0);
            EXPECT_EQ(value, stored());
        }
        // Checking the box starts the timer with what is stored and locks
        // the period and the mode; clearing it kills the timer.
        g_timerLog.clear();
        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_EQ(1u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "EnableAutoChange"));
        EXPECT_FALSE(IsWindowEnabled(field));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(PageOf(sheet, 3), IDC_AUTO_CHANGE_SELECTION)));
        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_EQ(0u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "EnableAutoChange"));
        EXPECT_TRUE(IsWindowEnabled(field));
        EXPECT_EQ((std::vector<std::string>{"Set(101,120000)", "Kill(101)"}), g_timerLog);

        for (const auto& input : inputs) {
            SendMessageA(field, EM_SETSEL, 0, -1);
            if (input.paste && CopyToClipboard(sheet, input.text))
                SendMessageA(field, WM_PASTE, 0, 0);
            else
                SetWindowTextA(field, input.text);
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
        const char* message;   // null: the page may be left
    } cases[] = {{IDC_HIDE_ITEM_TIMER, "0", "Please enter a whole number from 1 to 10."},
                 {IDC_HIDE_ITEM_TIMER, "11", "Please enter a whole number from 1 to 10."},
                 {IDC_AUTO_CHANGE_TIMER, "0", "Please enter a whole number from 1 to 999999."},
                 {IDC_AUTO_CHANGE_TIMER, "", "Please enter a whole number."},
                 {IDC_HIDE_ITEM_TIMER, "5", nullptr}};
    std::vector<SheetStep> steps;
    for (const auto& c : cases)
        steps.push_back([&](HWND sheet) {
            const HWND field = GetDlgItem(PageOf(sheet, 3), c.id);
            SetWindowTextA(field, c.text);
            const char* name = c.id == IDC_HIDE_ITEM_TIMER ? "HideItemTimer" : "AutoChangeTimer";
            EXPECT_EQ(DWORD(atoi(c.text)), GetRegDword(HKEY_CURRENT_USER, kAppKey, name)) << "stored as typed";
            m_seen.clear();
            EXPECT_EQ(!c.message, SendMessageA(sheet, PSM_SETCURSEL, 0, 0) != 0) << c.text;
            if (!c.message)
                return;
            EXPECT_EQ(3, ActivePageIndex(sheet));
            ASSERT_EQ(1u, m_seen.size()) << c.text;
            EXPECT_EQ(c.message, m_seen[0].text);
            EXPECT_EQ(field, GetFocus());
            SetWindowTextA(field, "5");
        });
    Run(steps);
    EXPECT_TRUE(m_seen.empty());
}
