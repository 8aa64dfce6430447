// The gradient popup menu in real windows: where it goes against the screen
// edges, what its owner receives and when, what the keys do, and what it
// paints (read back through WM_PRINTCLIENT).
#include <gtest/gtest.h>

#include "../sheet/SheetDriver.h"
#include "TestSupport.h"

#include <functional>
#include <string>
#include <vector>

#include "controls/GradientMenu.h"
#include "controls/GradientMenuBar.h"

using namespace tpx::test;

namespace {

enum : UINT { ID_OPEN = 1, ID_GREYED = 2, ID_EXIT = 3, ID_TILE = 101, ID_CENTER = 102 };
enum { POS_OPEN, POS_SEPARATOR, POS_GREYED, POS_STYLES, POS_EXIT };

using Steps = std::vector<std::function<void()>>;

// The owner: records the menu's notifications and runs a script, one step
// per timer tick once the menu is open, so each step sees the menu painted.
class COwner : public CWnd {
public:
    std::string log;   // what the owner heard, in order
    Steps steps;
    size_t next = 0;   // past the last step: idle ticks
    LRESULT menuCharAnswer = 0;
    HWND topMenu = nullptr;

    BOOL Create() { return CreateEx(0, nullptr, "owner", WS_POPUP, RECT{}, nullptr, 0); }
    void Note(const std::string& what) { log += (log.empty() ? "" : ", ") + what; }

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        switch (message) {
        case WM_INITMENU: Note("init"); break;
        case WM_INITMENUPOPUP: Note("initpopup"); break;
        case WM_ENTERMENULOOP:
            Note("enter");
            if (!topMenu) {
                topMenu = reinterpret_cast<HWND>(lParam);
                SetTimer(1, 30);
            }
            break;
        case WM_EXITMENULOOP: Note("exit"); break;
        case WM_COMMAND: Note("command " + std::to_string(LOWORD(wParam))); return TRUE;
        case WM_MENUCHAR:
            Note("menuchar " + std::string(1, static_cast<char>(LOWORD(wParam))) +
                 (HIWORD(wParam) == MF_POPUP ? " popup" : ""));
            *result = menuCharAnswer;
            return TRUE;
        case WM_TIMER:
            if (next < steps.size()) {
                steps[next++]();
            } else if (++next > steps.size() + 100) {
                KillTimer(1);
                Note("script timed out");
                // Whatever the menu does with keys, a window that goes ends its loops.
                if (IsWindow(topMenu))
                    ::DestroyWindow(topMenu);
            }
            return TRUE;
        default: break;
        }
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
};

// What the owner hears of a run that opened the submenu and closed every level.
const std::string kThroughSubmenu = "init, enter, initpopup, enter, exit, exit, returned";

// Real key presses, so the loop's translation makes the characters: down in
// order, up in reverse.
std::function<void()> Press(std::vector<WORD> vks)
{
    return [vks] {
        std::vector<INPUT> input(2 * vks.size(), INPUT{INPUT_KEYBOARD, {}});
        for (size_t i = 0; i < vks.size(); ++i) {
            input[i].ki.wVk = input[input.size() - 1 - i].ki.wVk = vks[i];
            input[input.size() - 1 - i].ki.dwFlags = KEYEVENTF_KEYUP;
        }
        SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
    };
}

class GradientMenu : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_owner.Create());
        HMENU styles = CreatePopupMenu();
        AppendMenuA(styles, MF_STRING, ID_TILE, "&Tile");
        AppendMenuA(styles, MF_STRING, ID_CENTER, "&Center");
        CheckMenuRadioItem(styles, 0, 1, 1, MF_BYPOSITION);
        HMENU menu = CreatePopupMenu();
        AppendMenuA(menu, MF_STRING, ID_OPEN, "&Open");
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(menu, MF_STRING | MF_GRAYED, ID_GREYED, "&Greyed");
        AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(styles), "&Styles");
        AppendMenuA(menu, MF_STRING, ID_EXIT, "E&xit");
        m_menu.Attach(menu);
        m_menu.SetBandText("Tapestrix");
        m_menu.SetBandColors(RGB(255, 255, 255), RGB(255, 255, 0), RGB(0, 0, 0));
    }

    // Opens the menu in the middle of the screen with the keys of `steps`,
    // and then lets the owner's own loop dispatch what was posted to it.
    BOOL Track(Steps steps)
    {
        m_owner.log.clear();
        m_owner.steps = std::move(steps);
        m_owner.next = 0;
        m_owner.topMenu = nullptr;
        SetForegroundWindow(m_owner.GetSafeHwnd());
        const BOOL shown = m_menu.TrackMenu(0, 300, 200, &m_owner, nullptr);
        m_owner.Note("returned");
        m_owner.KillTimer(1);
        PumpMessages(50);
        return shown;
    }
    std::function<void()> Key(UINT vk, UINT message = WM_KEYDOWN)
    {
        return [this, vk, message] { PostMessageA(m_owner.topMenu, message, vk, 0); };
    }
    // The real mouse to (x, y), a little movement there (so that an item
    // bar sees one) and a click when asked.
    static void MouseAt(int x, int y, bool click)
    {
        SetCursorPos(x, y);
        INPUT input[3]{{INPUT_MOUSE, {}}, {INPUT_MOUSE, {}}, {INPUT_MOUSE, {}}};
        input[0].mi.dwFlags = MOUSEEVENTF_MOVE;
        input[0].mi.dx = 2;
        input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(click ? 3 : 1, input, sizeof(INPUT));
    }
    // The same onto item `index` of `menu`.
    static void Mouse(const CGradientMenu* menu, int index, bool click)
    {
        ASSERT_NE(nullptr, menu);
        RECT r = menu->GetItemBar()->GetItemRect(index);
        MapWindowPoints(menu->GetItemBar()->GetSafeHwnd(), nullptr, reinterpret_cast<POINT*>(&r), 2);
        MouseAt(r.left + 30, (r.top + r.bottom) / 2, click);
    }
    // `ticks` idle steps, then `then`.
    static void Wait(Steps& steps, int ticks, std::function<void()> then)
    {
        steps.insert(steps.end(), ticks, std::function<void()>([] {}));
        steps.push_back(std::move(then));
    }
    int Hot(const CGradientMenu& menu) const { return menu.GetItemBar() ? menu.GetItemBar()->GetHotItem() : -2; }

    COwner m_owner;
    CGradientMenu m_menu{24, FALSE};
};

}  // namespace

TEST(GradientMenuPlacement, FourStrictTestsThenTheFallback)
{
    const RECT d{0, 0, 1000, 800}, small{0, 0, 150, 300};
    const struct {
        RECT area;
        POINT anchor;   // a top level's
        RECT item;      // a submenu's item, empty for a top level
        POINT at;
        BOOL fits;
    } cases[] = {
        {d, {900, 300}, {}, {800, 300}, TRUE},      // x + W equal to the edge: not right
        {small, {60, 120}, {}, {60, 120}, FALSE},   // no room anywhere: at the anchor
        {d, {}, {700, 700, 900, 720}, {600, 520}, TRUE},   // left and up
        {small, {}, {40, 90, 110, 110}, {50, 90}, FALSE},  // nowhere: pushed inside the screen
    };
    for (const auto& c : cases) {
        BOOL fits = -1;
        const RECT* item = IsRectEmpty(&c.item) ? nullptr : &c.item;
        const POINT at = CGradientMenu::PlaceWindow(c.area, SIZE{100, 200}, c.anchor, item, &fits);
        EXPECT_TRUE(at.x == c.at.x && at.y == c.at.y && fits == c.fits)
            << "case " << &c - cases << ": " << at.x << "," << at.y << " fits " << fits;
    }
}

TEST_F(GradientMenu, OnlyTypedCharactersAreMnemonicsAndEveryWayOutClosesEveryLevelWithoutACommand)
{
    // A message box the owner starts while a submenu is open (an automatic
    // change's failure) finds every menu window gone.
    BOOL menusAtTheBox = TRUE;
    DialogAnswerer answerer;
    answerer.SetHandler([&](HWND, const DialogSeen&) {
        menusAtTheBox = IsWindow(m_owner.topMenu) || FindWindowA("BitmapMenu", nullptr);
        m_owner.Note("box");
        return IDOK;
    });
    auto inSubmenu = [this](auto close) { return Steps{Key(VK_DOWN), Key(VK_DOWN), Key(VK_RIGHT), close}; };
    // Keys typed at the top level; the owner's answer to WM_MENUCHAR
    // (MNC_IGNORE, or MNC_CLOSE) keeps the menu open or closes it.
    auto typed = [this](std::vector<WORD> vks) {
        return Steps{Press(std::move(vks)), [this] { m_owner.Note("still open"); }, Key(VK_ESCAPE)};
    };
    const std::string open = "init, enter, ", stays = "still open, exit, returned";
    const struct {
        const char* how;
        Steps steps;
        std::string heard;
        WORD menuChar = MNC_IGNORE;
    } rows[] = {
        {"escape", inSubmenu(Key(VK_ESCAPE)), kThroughSubmenu},
        // A click on another program's window (Wine's desktop, which takes no
        // activation): the mouse hook closes.
        {"click on the desktop", inSubmenu([] { MouseAt(900, 100, true); }), kThroughSubmenu},
        // A command sent to the menu window meanwhile reaches the owner never.
        {"message box", inSubmenu([this] {
             SendMessageA(m_owner.topMenu, WM_COMMAND, ID_EXIT, 0);
             MessageBoxA(m_owner.GetSafeHwnd(), "change failed", "Tapestrix", MB_OK);
         }),
         "init, enter, initpopup, enter, exit, exit, box, returned"},
        {"x", typed({'X'}), open + "exit, returned, command 3"},
        {"q, the owner closing", typed({'Q'}), open + "menuchar q popup, exit, returned", MNC_CLOSE},
        {"g (a greyed item's)", typed({'G'}), open + stays},
        {"space (the control's own press of no item)", typed({VK_SPACE}), open + "menuchar   popup, " + stays},
        {"number pad / (the code of o)", typed({VK_DIVIDE}), open + stays},
    };
    for (const auto& row : rows) {
        m_owner.menuCharAnswer = MAKELRESULT(0, row.menuChar);
        ASSERT_TRUE(Track(row.steps));
        EXPECT_EQ(row.heard, m_owner.log) << row.how;
    }
    EXPECT_FALSE(menusAtTheBox);
}

TEST_F(GradientMenu, BandHotGreyedAndRadioCheckedItemsAsPaintedAtEachDpi)
{
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT), text = GetSysColor(COLOR_MENUTEXT);
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    ASSERT_TRUE(Track({Key(VK_DOWN), [&] {
        // The band: white at the top to yellow at the bottom, 24 pixels
        // wide, with the caption upright in it near the bottom.
        const PrintedClient band(m_owner.topMenu, RGB(0, 0, 0));
        ASSERT_GT(band.height, 60);
        EXPECT_EQ(RGB(255, 255, 255), band.At(0, 0));
        EXPECT_EQ(RGB(255, 255, 0), band.At(0, band.height - 1) & 0xFFFF);
        EXPECT_LT(GetBValue(band.At(0, band.height - 1)), 8);
        RECT ink{};
        for (int y = 0; y < band.height; ++y) {
            for (int x = 0; x < 24; ++x) {
                const RECT dot{x, y, x + 1, y + 1};
                if (band.At(x, y) == RGB(0, 0, 0))
                    UnionRect(&ink, &ink, &dot);
            }
        }
        EXPECT_GT(ink.bottom - ink.top, 3 * (ink.right - ink.left)) << "caption not vertical";
        EXPECT_GT(ink.bottom, band.height - 30);

        // "Open" hot on the highlight, "Greyed" grey and without the highlight.
        CGradientMenuBar* bar = m_menu.GetItemBar();
        const PrintedClient items(bar->GetSafeHwnd(), RGB(0, 0, 0));
        const RECT open = bar->GetItemRect(POS_OPEN), greyed = bar->GetItemRect(POS_GREYED);
        EXPECT_EQ(highlight, items.At(open.right - 30, open.top + 2));
        EXPECT_GT(items.Count(greyed, GetSysColor(COLOR_GRAYTEXT)), 10);
        EXPECT_EQ(0, items.Count(greyed, highlight));
    }, Key(VK_DOWN), Key(VK_RIGHT), Key(VK_DOWN), [&] {
        // In the submenu "Center" is radio-checked and hot: the system
        // check mark in a cell kept out of the highlight, the rest of the
        // row highlighted; "Tile" has no mark.
        CGradientMenu* sub = m_menu.GetOpenSubmenu();
        ASSERT_NE(nullptr, sub);
        CGradientMenuBar* bar = sub->GetItemBar();
        const PrintedClient items(bar->GetSafeHwnd(), RGB(0, 0, 0));
        const RECT center = bar->GetItemRect(1), tile = bar->GetItemRect(0);
        const int h = center.bottom - center.top;
        const RECT cell{center.left + 1, center.top, center.left + 1 + h, center.bottom};
        EXPECT_GT(items.Count(cell, text), 5);   // the check mark
        EXPECT_EQ(0, items.Count({cell.left + 1, cell.top + 1, cell.right - 1, cell.bottom - 1}, highlight));
        EXPECT_EQ(highlight, items.At(cell.right + 1, cell.top + 1));
        EXPECT_EQ(0, items.Count({tile.left + 1, tile.top, tile.left + 1 + h, tile.bottom}, text));
    }, [&] {
        // Moved to a monitor of twice the DPI: band, rows and the system's
        // menu font grow, at the place the system suggests.
        CGradientMenuBar* bar = m_menu.GetItemBar();
        const RECT before = bar->GetItemRect(POS_OPEN), suggested{40, 50, 400, 500};
        SendMessageA(m_owner.topMenu, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
        const RECT after = bar->GetItemRect(POS_OPEN);
        RECT window{}, items{};
        GetWindowRect(m_owner.topMenu, &window);
        GetWindowRect(bar->GetSafeHwnd(), &items);
        MapWindowPoints(nullptr, m_owner.topMenu, reinterpret_cast<POINT*>(&items), 2);
        EXPECT_TRUE(window.left == 40 && window.top == 50 && items.left == 48) << window.left << "," << window.top;
        LOGFONTA font{};
        GetObjectA(reinterpret_cast<HFONT>(bar->SendMessage(WM_GETFONT)), sizeof font, &font);
        EXPECT_EQ(2 * metrics.lfMenuFont.lfHeight, font.lfHeight);
        EXPECT_GT(2 * (after.bottom - after.top), 3 * (before.bottom - before.top));
    }, Key(VK_ESCAPE)}));
}

// Last: the real mouse left resting on an item would take a later test's clicks.
TEST_F(GradientMenu, KeysAndTheMouseWalkTheLevelsTheOwnerHearsTheCommandOnceTheMenuClosedAndGoingEndsTheRun)
{
    std::vector<int> hot;
    auto noteHot = [&] { hot.push_back(Hot(m_menu)); };
    ASSERT_TRUE(Track({Key(VK_DOWN), noteHot, Key(VK_DOWN), noteHot, Key(VK_DOWN), noteHot, Key(VK_DOWN), noteHot,
                       Key(VK_UP), noteHot, Key(VK_UP), Key(VK_RIGHT),
                       [&] {
                           const CGradientMenu* sub = m_menu.GetOpenSubmenu();
                           ASSERT_NE(nullptr, sub);
                           EXPECT_EQ(0, Hot(*sub));   // opened by a key: first item hot
                           EXPECT_EQ(sub->GetSafeHwnd(), GetFocus());
                       },
                       Key(VK_DOWN), Key(VK_RETURN)}));
    // Open, over the separator and the greyed item to Styles, Exit, back
    // round to Open, and up round to Exit.
    EXPECT_EQ((std::vector<int>{POS_OPEN, POS_STYLES, POS_EXIT, POS_OPEN, POS_EXIT}), hot);
    EXPECT_EQ(kThroughSubmenu + ", command 102", m_owner.log);
    // The top level kept hidden and inert.
    const HWND kept = m_menu.GetSafeHwnd();
    EXPECT_TRUE(IsWindow(kept) && !IsWindowVisible(kept) && GetFocus() != kept && Hot(m_menu) == -1);

    // The real mouse: resting on a submenu's item opens it, and a click
    // there chooses.
    Steps steps = {[&] { Mouse(&m_menu, POS_STYLES, false); }};
    Wait(steps, 30, [&] {
        ASSERT_NE(nullptr, m_menu.GetOpenSubmenu());
        EXPECT_EQ(-1, Hot(*m_menu.GetOpenSubmenu()));   // opened by the mouse: nothing hot
        Mouse(m_menu.GetOpenSubmenu(), 1, false);
    });
    Wait(steps, 5, [&] { Mouse(m_menu.GetOpenSubmenu(), 1, true); });
    ASSERT_TRUE(Track(steps));
    EXPECT_EQ(kThroughSubmenu + ", command 102", m_owner.log);

    EnableMenuItem(m_menu.GetSafeHmenu(), ID_GREYED, MF_BYCOMMAND | MF_ENABLED);   // shown again as it is now
    ASSERT_TRUE(Track({Key(VK_DOWN), Key(VK_DOWN), [&] { EXPECT_EQ(kept, m_owner.topMenu); }, Key(VK_RETURN)}));
    EXPECT_EQ("init, enter, exit, returned, command 2", m_owner.log);

    // One run at a time, and an owner that goes ends the run.
    COwner none;
    EXPECT_FALSE(m_menu.TrackMenu(0, 10, 10, &none, nullptr));   // no window
    EXPECT_FALSE(m_menu.TrackMenu(0, 10, 10, nullptr, nullptr));

    BOOL again = TRUE;
    ASSERT_TRUE(Track({Key(VK_DOWN), Key(VK_DOWN), Key(VK_DOWN), Key(VK_RIGHT),   // Greyed is enabled now
                       [&] { again = m_menu.TrackMenu(0, 10, 10, &m_owner, nullptr); },
                       [&] { m_owner.DestroyWindow(); }}));
    EXPECT_FALSE(again);
    EXPECT_TRUE(!m_menu.GetSafeHwnd() && !m_menu.GetItemBar());

    // The same object opens again for a new owner; its kept window goes
    // with that owner, and everything it held.
    const int gdi = CountGdiObjects(), windows = CountUserObjects();
    ASSERT_TRUE(m_owner.Create());
    ASSERT_TRUE(Track({Key(VK_DOWN), Key(VK_RETURN)}));
    m_owner.DestroyWindow();
    EXPECT_TRUE(!m_menu.GetSafeHwnd() && !m_menu.GetItemBar() && gdi == CountGdiObjects() &&
                windows == CountUserObjects());
}
