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
    const HWND main = m_dlg.GetSafeHwnd();
    // No help file beside this program: the sheet says so over itself.
    const FileSetAside away(ExeDir() + "\\Tapestrix.chm");
    // Enter in a field or on a button neither closes the sheet nor clicks.
    auto enterOn = [](int id) {
        return [id](HWND sheet) {
            EXPECT_NE(0, SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0)) << "closed";
            SendMessageA(sheet, PSM_SETCURSEL, 3, 0);
            const HWND target =
                id ? GetDlgItem(PageOf(sheet, 3), id) : FindWindowExA(sheet, nullptr, "Button", "Help Topics");
            SetFocus(target);
            PostMessageA(target, WM_KEYDOWN, VK_RETURN, 0x001C0001);
            PostMessageA(target, WM_KEYUP, VK_RETURN, 0xC01C0001);
        };
    };
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
        SendMessageA(topics, BM_CLICK, 0, 0);
        ASSERT_EQ(1u, m_seen.size());
        EXPECT_EQ("Unable to launch help file", m_seen[0].text);
        EXPECT_EQ("Tapestrix", m_seen[0].caption);
        EXPECT_EQ(sheet, m_owners[0]);
    },
         enterOn(IDC_AUTO_CHANGE_TIMER), enterOn(0), enterOn(IDC_HIDE_ITEM_TIMER)});
    EXPECT_EQ(1u, m_seen.size());
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

TEST_F(SettingsSheet, TypedSecondsAreStoredAtOnceRunTheAutoChangeAndOutOfRangeKeepThePage)
{
    m_registry.Set("CurrentActivePage", 3);
    // Typed key by key; pasted, cut to the field's six digits (a minus sign
    // is no number of seconds); set by the program past the limit, which
    // saturates.  Nothing stored: every thirty seconds.
    enum How { kNothing, kTyped, kPasted, kSet };
    const struct {
        How how;
        const char* text;
        DWORD stored;
    } inputs[] = {{kNothing, "", 0},
                  {kTyped, "120", 120},
                  {kPasted, "-5", 0},
                  {kPasted, "123456789012", 123456},
                  {kSet, "99999999999", 2147483}};
    const struct {
        int id;
        const char* text;
        const char* message;   // null: the page may be left
    } ranges[] = {{IDC_HIDE_ITEM_TIMER, "0", "Please enter a whole number from 1 to 10."},
                  {IDC_HIDE_ITEM_TIMER, "11", "Please enter a whole number from 1 to 10."},
                  {IDC_AUTO_CHANGE_TIMER, "0", "Please enter a whole number from 1 to 999999."},
                  {IDC_AUTO_CHANGE_TIMER, "", "Please enter a whole number."},
                  {IDC_HIDE_ITEM_TIMER, "5", nullptr}};
    Run({[&](HWND sheet) {
        const HWND page = PageOf(sheet, 3);
        const HWND field = GetDlgItem(page, IDC_AUTO_CHANGE_TIMER), box = GetDlgItem(page, IDC_AUTO_CHANGE);
        for (const auto& input : inputs) {
            SendMessageA(field, EM_SETSEL, 0, -1);
            if (input.how == kTyped)
                for (const char* key = input.text; *key; ++key)
                    SendMessageA(field, WM_CHAR, static_cast<WPARAM>(*key), 0);
            if (input.how == kPasted && CopyToClipboard(sheet, input.text))
                SendMessageA(field, WM_PASTE, 0, 0);
            if (input.how == kSet)
                SetWindowTextA(field, input.text);
            EXPECT_EQ(input.how == kNothing ? std::nullopt : std::optional<DWORD>(input.stored),
                      GetRegDword(HKEY_CURRENT_USER, kAppKey, "AutoChangeTimer")) << input.text;
        }
        // Checking the box starts the periodic change (its period from what
        // is stored: tests/engine) and locks the period and the mode;
        // clearing it stops the change and unlocks them.
        const HWND main = m_dlg.GetSafeHwnd();
        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_EQ(1u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "EnableAutoChange"));
        EXPECT_FALSE(IsWindowEnabled(field) || IsWindowEnabled(GetDlgItem(page, IDC_AUTO_CHANGE_SELECTION)));
        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_EQ(0u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "EnableAutoChange"));
        EXPECT_TRUE(IsWindowEnabled(field));
        EXPECT_FALSE(KillTimer(main, IDT_AUTO_CHANGE)) << "still running";
        SendMessageA(box, BM_CLICK, 0, 0);
        EXPECT_TRUE(KillTimer(main, IDT_AUTO_CHANGE)) << "not started";
        SendMessageA(box, BM_CLICK, 0, 0);
        // Stored as typed, yet the page is not left with a number out of range.
        SetWindowTextA(field, "7");
        for (const auto& c : ranges) {
            SetWindowTextA(GetDlgItem(page, c.id), c.text);
            const char* name = c.id == IDC_HIDE_ITEM_TIMER ? "HideItemTimer" : "AutoChangeTimer";
            EXPECT_EQ(DWORD(atoi(c.text)), GetRegDword(HKEY_CURRENT_USER, kAppKey, name)) << c.text;
            m_seen.clear();
            EXPECT_EQ(!c.message, SendMessageA(sheet, PSM_SETCURSEL, 0, 0) != 0) << c.text;
            if (!c.message)
                break;
            EXPECT_EQ(3, ActivePageIndex(sheet));
            ASSERT_EQ(1u, m_seen.size()) << c.text;
            EXPECT_EQ(c.message, m_seen[0].text);
            EXPECT_EQ(GetDlgItem(page, c.id), GetFocus());
            SetWindowTextA(GetDlgItem(page, c.id), "5");
        }
    }});
    EXPECT_TRUE(m_seen.empty());
}
