// The settings sheet opened by the main dialog in this process, driven from
// inside its own modal loop (a thread timer plays one step per tick): its
// window and buttons, the tray icon while it is open, Enter, and the Options
// page's controls, writes, timer and range check.

#include "MainDialogSheet.h"
#include <wininet.h>  // before shlobj.h, which hides IActiveDesktop otherwise
#include <shlobj.h>

#include <cstdlib>

#include "engine/WallpaperChanger.h"
#include "flow/ChangeFlow.h"

using namespace tpx::test;

CWallpaperChanger theWallpaperChanger;

namespace {

class SettingsSheet : public MainDialogSheet {
protected:
    static void SetUpTestSuite() { theWallpaperChanger.Initialize(); }
};

}  // namespace

TEST_F(SettingsSheet, OpensAloneWithItsTabsAndOnlyHelpTopicsAndTakesNoEnter)
{
    // No help file beside this program: the sheet says so over itself.
    const FileSetAside away(ExeDir() + "\\Tapestrix.chm");
    // Enter in a field or on a button neither clicks nor closes the sheet
    // (the steps after it would not run).
    auto pressEnter = [](HWND target) {
        SetFocus(target);
        PostMessageA(target, WM_KEYDOWN, VK_RETURN, 0x001C0001);
        PostMessageA(target, WM_KEYUP, VK_RETURN, 0xC01C0001);
    };
    Run({[&](HWND sheet) {
             EXPECT_EQ(nullptr, GetWindow(sheet, GW_OWNER));
             EXPECT_TRUE(GetWindowLongA(sheet, GWL_EXSTYLE) & WS_EX_APPWINDOW);
             EXPECT_EQ("Tapestrix - Weaving pictures into your desktop", TextOf(sheet));
             EXPECT_EQ(PageOf(sheet, 0), PropSheet_GetCurrentPageHwnd(sheet));   // nothing remembered: About
             // Fixed tabs: the shortest title's as wide as the longest needs, or more.
             RECT about{};
             TabCtrl_GetItemRect(PropSheet_GetTabControl(sheet), 0, &about);
             EXPECT_GE(about.right - about.left, 130);
             EXPECT_EQ(30, about.bottom - about.top);

             // The standard row is hidden; "Help Topics" stands by the Help place.
             for (int id : {IDOK, IDCANCEL, IDHELP, 0x3021})
                 EXPECT_FALSE(IsWindowVisible(GetDlgItem(sheet, id))) << id;
             const HWND topics = FindWindowExA(sheet, nullptr, "Button", "Help Topics");
             EXPECT_TRUE(IsWindowVisible(topics));
             RECT h{}, t{};
             GetWindowRect(GetDlgItem(sheet, IDHELP), &h);
             GetWindowRect(topics, &t);
             const RECT beside{h.left - 42, h.top, h.right - 14, h.bottom};
             EXPECT_TRUE(EqualRect(&beside, &t));

             EXPECT_FALSE(TrayHasIcon(m_dlg.GetSafeHwnd(), 0)) << "the icon is away while the sheet is open";
             Send(WM_COMMAND, ID_OPEN_SETTINGS);
             EXPECT_EQ(1u, WindowsOfProcess(GetCurrentProcessId(), "#32770", nullptr, true).size()) << "a second";
             SendMessageA(topics, BM_CLICK, 0, 0);
             ASSERT_EQ(1u, m_seen.size());
             EXPECT_EQ("Unable to launch help file", m_seen[0].text);
             EXPECT_EQ("Tapestrix", m_seen[0].caption);
             EXPECT_EQ(sheet, m_owners[0]);
             pressEnter(topics);
         },
         [&](HWND sheet) {
             SendMessageA(sheet, PSM_SETCURSEL, 3, 0);
             pressEnter(GetDlgItem(PageOf(sheet, 3), IDC_AUTO_CHANGE_TIMER));
         },
         [](HWND) {}});
    EXPECT_EQ(1u, m_seen.size());
    EXPECT_TRUE(TrayHasIcon(m_dlg.GetSafeHwnd(), 0));
    // Filling the fields stored nothing.
    for (const char* name : {"AutoChangeTimer", "HideItemTimer"})
        EXPECT_EQ(std::nullopt, GetRegDword(HKEY_CURRENT_USER, kAppKey, name)) << name;
}

TEST_F(SettingsSheet, EachOptionShowsWhatTheProgramDoesAndIsStoredAtOnce)
{
    m_registry.Set("CurrentActivePage", 3);
    // A flag shows what the engine makes of it: only 1 hides the desktop
    // items, any other non-zero flag is on.  A click stores the other state.
    const std::tuple<const char*, int, DWORD, bool> boxes[] = {
        {"HideDesktopItems", IDC_HIDE_DESKTOP_ITEMS, 2, false},
        {"MinimizeOnStartup", IDC_MINIMIZE_ON_STARTUP, 7, true},
        {"TurnOnSoundEffects", IDC_SOUND_EFFECTS, 0xFFFFFFFF, true},
        {"MinimizeAllWindows", IDC_MINIMIZE_ALL_WINDOWS, 3, true},
        {"ConvertToBmp", IDC_CONVERT_TO_BMP, 1, true}};
    for (const auto& [name, id, stored, shown] : boxes)
        m_registry.Set(name, stored);
    m_registry.Set("HideItemTimer", 50);   // out of range, yet shown without a word
    m_registry.Set("Selection", 1);
    m_registry.Set("AutoChangeSelection", 1);
    IActiveDesktop* shell = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveDesktop,
                                     reinterpret_cast<void**>(&shell)));
    Run({[&](HWND sheet) {
        const HWND page = PageOf(sheet, 3);
        auto checked = [page](int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; };
        for (const auto& [name, id, stored, shown] : boxes) {
            EXPECT_EQ(shown, checked(id)) << name;
            SendDlgItemMessageA(page, id, BM_CLICK, 0, 0);
            EXPECT_EQ(DWORD{!shown}, GetRegDword(HKEY_CURRENT_USER, kAppKey, name)) << name;
        }
        EXPECT_EQ("50", TextOf(GetDlgItem(page, IDC_HIDE_ITEM_TIMER)));
        EXPECT_EQ("30", TextOf(GetDlgItem(page, IDC_AUTO_CHANGE_TIMER)));   // nothing stored
        EXPECT_TRUE(checked(IDC_RANDOM));
        for (const auto& [id, mode] : {std::pair{IDC_SEQUENTIAL, 2u}, {IDC_RANDOM, 1u}}) {
            SendDlgItemMessageA(page, id, BM_CLICK, 0, 0);
            EXPECT_EQ(mode, GetRegDword(HKEY_CURRENT_USER, kAppKey, "Selection")) << id;
        }
        // The list as the user leaves it: the selection, then its notice.
        const HWND list = GetDlgItem(page, IDC_AUTO_CHANGE_SELECTION);
        EXPECT_EQ("Sequentially", TextOf(list));
        SendMessageA(list, CB_SETCURSEL, 0, 0);
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_AUTO_CHANGE_SELECTION, CBN_SELCHANGE), LPARAM(list));
        EXPECT_EQ(0u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "AutoChangeSelection"));

        // Active Desktop is the shell's state, switched there and back;
        // without the shell's object, the message and the box as clicked.
        const HWND box = GetDlgItem(page, IDC_ACTIVE_DESKTOP);
        const BOOL was = theWallpaperChanger.IsActiveDesktopEnabled();
        EXPECT_EQ(was != FALSE, checked(IDC_ACTIVE_DESKTOP));
        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_NE(was, theWallpaperChanger.IsActiveDesktopEnabled());
        SendMessageA(box, BM_CLICK, 0, 0);
        theWallpaperChanger.Attach(nullptr);
        SendMessageA(box, BM_CLICK, 0, 0);
        ASSERT_EQ(1u, m_seen.size());
        EXPECT_EQ("Unable to enable / disable active desktop", m_seen[0].text);
        EXPECT_EQ(was == FALSE, checked(IDC_ACTIVE_DESKTOP));
        theWallpaperChanger.Attach(shell);
    }});
    shell->Release();
}

TEST_F(SettingsSheet, TypedSecondsAreStoredAtOnceRunTheAutoChangeAndOutOfRangeKeepThePage)
{
    m_registry.Set("CurrentActivePage", 3);
    // Typed key by key, cut to the field's six digits; set by the program:
    // a minus sign is no number of seconds, and past the limit it saturates.
    const std::tuple<bool, const char*, DWORD> inputs[] = {
        {true, "120", 120}, {true, "1234567", 123456}, {false, "-5", 0}, {false, "99999999999", 2147483}};
    const std::tuple<int, const char*, const char*> ranges[] = {
        {IDC_HIDE_ITEM_TIMER, "0", "Please enter a whole number from 1 to 10."},
        {IDC_HIDE_ITEM_TIMER, "11", "Please enter a whole number from 1 to 10."},
        {IDC_AUTO_CHANGE_TIMER, "0", "Please enter a whole number from 1 to 999999."},
        {IDC_AUTO_CHANGE_TIMER, "", "Please enter a whole number."}};
    Run({[&](HWND sheet) {
        const HWND page = PageOf(sheet, 3);
        const HWND field = GetDlgItem(page, IDC_AUTO_CHANGE_TIMER), box = GetDlgItem(page, IDC_AUTO_CHANGE);
        for (const auto& [typed, text, stored] : inputs) {
            SendMessageA(field, EM_SETSEL, 0, -1);
            for (const char* key = text; typed && *key; ++key)
                SendMessageA(field, WM_CHAR, static_cast<WPARAM>(*key), 0);
            if (!typed)
                SetWindowTextA(field, text);
            EXPECT_EQ(stored, GetRegDword(HKEY_CURRENT_USER, kAppKey, "AutoChangeTimer")) << text;
        }
        // Checking the box starts the periodic change (its period from what
        // is stored: tests/engine) and locks the period and the mode;
        // clearing it stops the change and unlocks them.
        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_EQ(1u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "EnableAutoChange"));
        EXPECT_FALSE(IsWindowEnabled(field) || IsWindowEnabled(GetDlgItem(page, IDC_AUTO_CHANGE_SELECTION)));
        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_EQ(0u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "EnableAutoChange"));
        EXPECT_TRUE(IsWindowEnabled(field));
        EXPECT_FALSE(KillTimer(m_dlg.GetSafeHwnd(), IDT_AUTO_CHANGE)) << "still running";
        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_TRUE(KillTimer(m_dlg.GetSafeHwnd(), IDT_AUTO_CHANGE)) << "not started";
        SendMessageA(box, BM_CLICK, 0, 0);
        // Stored as typed, yet the page is not left with a number out of range.
        SetWindowTextA(field, "7");
        for (const auto& [id, text, message] : ranges) {
            SetWindowTextA(GetDlgItem(page, id), text);
            const char* name = id == IDC_HIDE_ITEM_TIMER ? "HideItemTimer" : "AutoChangeTimer";
            EXPECT_EQ(DWORD(atoi(text)), GetRegDword(HKEY_CURRENT_USER, kAppKey, name)) << text;
            EXPECT_FALSE(SendMessageA(sheet, PSM_SETCURSEL, 0, 0)) << text;
            EXPECT_EQ(message, m_seen.empty() ? std::string() : m_seen.back().text);
            EXPECT_EQ(GetDlgItem(page, id), GetFocus());
            SetWindowTextA(GetDlgItem(page, id), "5");
        }
        EXPECT_TRUE(SendMessageA(sheet, PSM_SETCURSEL, 0, 0)) << "every number in range again";
    }});
    EXPECT_EQ(4u, m_seen.size()) << "one message for each number out of range";
}
