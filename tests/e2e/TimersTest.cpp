// The two timers of the running program: the automatic change (its first
// change one period after start-up, its period, a stored period of 0 and
// one too long for a timer), and the desktop icons hidden after a change
// and shown again one period after the last change.  Wine's timers run
// late under load, never early, so the bounds below are lower bounds with
// generous upper ones.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RunningTapestrix.h"
#include "TestSupport.h"

using namespace tpx::test;

namespace {

using Timers = TapestrixTest;

// The normal wallpaper's changes as seen by polling the shell's value.
struct Change {
    DWORD at;   // ms since the watch began
    std::string wallpaper;
};

std::vector<Change> WatchChanges(DWORD forMs)
{
    std::vector<Change> changes;
    const DWORD start = GetTickCount();
    std::string last = NormalWallpaper().value_or("");
    while (GetTickCount() - start < forMs) {
        PumpMessages(10);
        const std::string now = NormalWallpaper().value_or("");
        if (now != last) {
            changes.push_back({GetTickCount() - start, now});
            last = now;
        }
    }
    return changes;
}

std::string Describe(const std::vector<Change>& changes)
{
    std::string text;
    for (const Change& c : changes)
        text += std::to_string(c.at) + " ms: " + c.wallpaper + "; ";
    return text.empty() ? "no change" : text;
}

// A desktop window of the shell's class; Wine has none of its own.
class ShellDesktopWindow {
public:
    ShellDesktopWindow()
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "Progman";
        RegisterClassA(&wc);
        m_hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, "Progman", "Program Manager", WS_POPUP | WS_VISIBLE, 0, 0,
                                 4, 4, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~ShellDesktopWindow() { DestroyWindow(m_hwnd); }
    HWND Get() const { return m_hwnd; }
    bool Visible() const { return IsWindowVisible(m_hwnd) != FALSE; }

private:
    HWND m_hwnd = nullptr;
};

}  // namespace

TEST_F(Timers, AutoChangeComesOnePeriodAfterStartUpAndRepeats)
{
    ASSERT_TRUE(WriteSolidBmp(Picture("a.bmp"), 8, 8, RGB(200, 0, 0)));
    ASSERT_TRUE(WriteSolidBmp(Picture("b.bmp"), 8, 8, RGB(0, 200, 0)));
    ASSERT_TRUE(WriteSolidBmp(Picture("c.bmp"), 8, 8, RGB(0, 0, 200)));
    m_scope.Set("EnableAutoChange", 1);
    m_scope.Set("AutoChangeTimer", 2);
    m_scope.Set("AutoChangeSelection", 1);   // sequential, so every tick shows
    StartTapestrix();

    const std::vector<Change> changes = WatchChanges(7000);
    ASSERT_GE(changes.size(), 2u) << Describe(changes);
    EXPECT_LE(changes.size(), 4u) << Describe(changes);
    // Not at start-up: the first change waits one period.
    EXPECT_GE(changes[0].at, 1500u) << Describe(changes);
    EXPECT_LE(changes[0].at, 4500u) << Describe(changes);
    for (size_t i = 1; i < changes.size(); ++i)
        EXPECT_GE(changes[i].at - changes[i - 1].at, 1500u) << Describe(changes);
    EXPECT_EQ(Picture("a.bmp"), changes[0].wallpaper);
    EXPECT_EQ(Picture("b.bmp"), changes[1].wallpaper);
    EXPECT_TRUE(m_tapestrix.OpenDialogs().empty());
}

TEST_F(Timers, AutoChangePeriodOfZeroRunsEverySecond)
{
    ASSERT_TRUE(WriteSolidBmp(Picture("a.bmp"), 8, 8, RGB(200, 0, 0)));
    ASSERT_TRUE(WriteSolidBmp(Picture("b.bmp"), 8, 8, RGB(0, 200, 0)));
    m_scope.Set("EnableAutoChange", 1);
    m_scope.Set("AutoChangeTimer", 0);
    m_scope.Set("AutoChangeSelection", 1);
    StartTapestrix();

    const std::vector<Change> changes = WatchChanges(4500);
    ASSERT_GE(changes.size(), 2u) << Describe(changes);
    EXPECT_LE(changes.size(), 5u) << Describe(changes);
    for (size_t i = 1; i < changes.size(); ++i)
        EXPECT_GE(changes[i].at - changes[i - 1].at, 700u) << Describe(changes);
}

TEST_F(Timers, AutoChangePeriodTooLongForATimerDoesNotWrapToAShortOne)
{
    // 4,294,968 s is 704 ms once multiplied in 32 bits.
    ASSERT_TRUE(WriteSolidBmp(Picture("a.bmp"), 8, 8, RGB(200, 0, 0)));
    ASSERT_TRUE(WriteSolidBmp(Picture("b.bmp"), 8, 8, RGB(0, 200, 0)));
    m_scope.Set("EnableAutoChange", 1);
    m_scope.Set("AutoChangeTimer", 4294968);
    m_scope.Set("AutoChangeSelection", 1);
    StartTapestrix();

    const std::vector<Change> changes = WatchChanges(3000);
    EXPECT_TRUE(changes.empty()) << Describe(changes);
}

TEST_F(Timers, NoAutoChangeWhenItIsOff)
{
    ASSERT_TRUE(WriteSolidBmp(Picture("a.bmp"), 8, 8, RGB(200, 0, 0)));
    m_scope.Set("EnableAutoChange", 0);
    m_scope.Set("AutoChangeTimer", 1);
    m_scope.Set("AutoChangeSelection", 1);
    StartTapestrix();
    const std::vector<Change> changes = WatchChanges(2500);
    EXPECT_TRUE(changes.empty()) << Describe(changes);
}

TEST_F(Timers, DesktopIconsComeBackOnePeriodAfterTheLastChange)
{
    ShellDesktopWindow desktop;
    ASSERT_NE(nullptr, desktop.Get());
    ASSERT_TRUE(desktop.Visible());
    ASSERT_TRUE(WriteSolidBmp(Picture("a.bmp"), 8, 8, RGB(200, 0, 0)));
    ASSERT_TRUE(WriteSolidBmp(Picture("b.bmp"), 8, 8, RGB(0, 200, 0)));
    m_scope.Set("Selection", 2);
    m_scope.Set("HideDesktopItems", 1);
    m_scope.Set("HideItemTimer", 2);
    StartTapestrix();

    m_tapestrix.DoubleClickTray();
    ASSERT_TRUE(WaitForNormalWallpaper(Picture("a.bmp")));
    // Hidden right after the change.
    ASSERT_TRUE(WaitFor([&] { return !desktop.Visible(); }, 2000));
    const DWORD firstChange = GetTickCount();

    PumpMessages(1000);
    EXPECT_FALSE(desktop.Visible());
    m_tapestrix.DoubleClickTray();
    ASSERT_TRUE(WaitForNormalWallpaper(Picture("b.bmp")));
    const DWORD secondChange = GetTickCount();
    EXPECT_FALSE(desktop.Visible());

    ASSERT_TRUE(WaitFor([&] { return desktop.Visible(); }, 8000)) << "the icons never came back";
    const DWORD shown = GetTickCount();
    EXPECT_GE(shown - secondChange, 1500u);
    EXPECT_LE(shown - secondChange, 5000u);
    // Not two seconds after the first change: the second one started the
    // period anew.
    EXPECT_GE(shown - firstChange, 2500u);

    // Shown once per change: it stays as it is now.
    ShowWindow(desktop.Get(), SW_HIDE);
    PumpMessages(2500);
    EXPECT_FALSE(desktop.Visible());
}

TEST_F(Timers, DesktopIconsStayWhenHidingIsNotOne)
{
    ShellDesktopWindow desktop;
    ASSERT_TRUE(WriteSolidBmp(Picture("a.bmp"), 8, 8, RGB(200, 0, 0)));
    m_scope.Set("Selection", 2);
    m_scope.Set("HideDesktopItems", 2);
    m_scope.Set("HideItemTimer", 1);
    StartTapestrix();
    m_tapestrix.DoubleClickTray();
    ASSERT_TRUE(WaitForNormalWallpaper(Picture("a.bmp")));
    ASSERT_TRUE(m_tapestrix.Flush());
    EXPECT_TRUE(desktop.Visible());
}
