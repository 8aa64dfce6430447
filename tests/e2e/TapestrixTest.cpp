// Tapestrix.exe as the user runs it, driven the way the shell drives it: the
// tray callback and the menu's commands are posted to its hidden main
// dialog, and what the user would see is read back from Wine's notification
// area, the shell's wallpaper values, the desktop's icons, the timers' effects
// and the program's dialogs.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include <FreeImage.h>  // after windows.h, whose guard it defines
#include <shellapi.h>

#include <algorithm>

#include "res/resource.h"

using namespace tpx::test;

namespace {

// The hidden main dialog of a running copy; its message boxes carry the
// same title but are shown.
HWND MainDialogOf(DWORD pid)
{
    for (HWND hwnd : WindowsOfProcess(pid, "#32770", "Tapestrix"))
        if (!IsWindowVisible(hwnd))
            return hwnd;
    return nullptr;
}

// Waits for the shell to hold `owner`'s icon: NIM_MODIFY changing nothing
// succeeds only then.
bool TrayHasIcon(HWND owner)
{
    NOTIFYICONDATAA nid{};
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = owner;
    nid.uID = 128;
    return WaitFor([&] { return Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE; });
}

std::string NormalWallpaper()
{
    return GetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper").value_or("(none)");
}

bool WaitForWallpaper(const std::string& path)
{
    return WaitFor([&] { return NormalWallpaper() == path; }, 8000);
}

// The times (ms from the call) at which the normal wallpaper changed.
std::vector<DWORD> WatchChanges(DWORD forMs)
{
    std::vector<DWORD> changes;
    const DWORD start = GetTickCount();
    for (std::string last = NormalWallpaper(); GetTickCount() - start < forMs; PumpMessages(10)) {
        if (NormalWallpaper() != last) {
            changes.push_back(GetTickCount() - start);
            last = NormalWallpaper();
        }
    }
    return changes;
}

// Each test starts with the program's key emptied but for a start into the
// tray and an empty wallpaper folder, and without a wallpaper; all of it is
// restored afterwards.
class Tapestrix : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Keeps Wine's desktop, and its tray, alive between programs.
        m_keepAlive = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        m_registry.Set("MinimizeOnStartup", 1);
        m_registry.Set("WallpaperFolder", m_pictures.Path());
        m_registry.Set("ConvertedBmpPath", m_converted);
        SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", "");
    }
    void TearDown() override
    {
        EXPECT_TRUE(!m_process.IsRunning() || Exit());
        DestroyWindow(m_keepAlive);
    }

    bool Start()
    {
        m_dialog = nullptr;
        return m_process.Start(ExeDir() + "\\Tapestrix.exe") &&
               WaitFor([&] { return (m_dialog = MainDialogOf(m_process.Pid())) || !m_process.IsRunning(); }, 15000) &&
               m_dialog;
    }
    // Exit from the tray menu: the program ends, and ends cleanly.
    bool Exit()
    {
        PostMessageA(m_dialog, WM_COMMAND, ID_EXIT, 0);
        DWORD code = 1;
        return m_process.WaitExit(10000, &code) && code == 0;
    }
    void DoubleClick() { PostMessageA(m_dialog, WM_USER + 100, 128, WM_LBUTTONDBLCLK); }
    std::string Picture(const std::string& name) const { return m_pictures / name; }

    AppRegistryScope m_registry;
    TempDir m_pictures;
    TempDir m_work;
    const std::string m_converted = m_work / "Converted.bmp";
    ChildProcess m_process;
    HWND m_dialog = nullptr;
    HWND m_keepAlive = nullptr;
};

}  // namespace

TEST_F(Tapestrix, StartsOnceIntoTheTrayWhoseDoubleClickChanges)
{
    // Through the settings, which take the icon away while they are open,
    // or straight into the tray: the icon is there either way.
    DeleteRegValue(HKEY_CURRENT_USER, kAppKey, "MinimizeOnStartup");
    ASSERT_TRUE(Start());
    EXPECT_TRUE(TrayHasIcon(m_dialog));
    EXPECT_TRUE(Exit());
    m_registry.Set("MinimizeOnStartup", 1);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(TrayHasIcon(m_dialog));
    EXPECT_TRUE(WindowsOfProcess(m_process.Pid(), nullptr, nullptr, true).empty());

    // The shell relays a double-click on the icon (icons line up from the
    // tray's right end) with its id and callback message; with the manual
    // choice, the file typed into the open-file dialog becomes the wallpaper.
    ASSERT_TRUE(WriteSolidBmp(Picture("a.bmp"), 8, 8, RGB(200, 0, 0)));
    const std::string chosen = m_work / "chosen.bmp";
    ASSERT_TRUE(WriteSolidBmp(chosen, 8, 8, RGB(0, 0, 200)));
    const HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    RECT client{};
    GetClientRect(tray, &client);
    const int place = GetSystemMetrics(SM_CXSMICON) + 4;
    HWND dialog = nullptr;
    for (int x = client.right - place / 2; x > client.right - 4 * place && !dialog; x -= place) {
        PostMessageA(tray, WM_LBUTTONDBLCLK, 0, MAKELPARAM(x, client.bottom / 2));
        dialog = WaitForDialogOf(m_process.Pid(), 1500);
    }
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("Select normal desktop wallpaper", ReadDialog(dialog).caption);
    EXPECT_EQ(m_dialog, GetWindow(dialog, GW_OWNER));
    // The file name box: edt1, or the edit inside the combo box cmb13.
    HWND edit = GetDlgItem(dialog, 0x480);
    for (HWND inner = GetDlgItem(dialog, 0x47C); inner && !edit; inner = GetWindow(inner, GW_CHILD))
        edit = FindWindowExA(inner, nullptr, "Edit", nullptr);
    ASSERT_NE(nullptr, edit);
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen.c_str()));
    PressButton(dialog, IDOK);
    ASSERT_TRUE(WaitForWallpaper(chosen)) << NormalWallpaper();

    // A second copy ends at once without a window and leaves the first be.
    ChildProcess second;
    ASSERT_TRUE(second.Start(ExeDir() + "\\Tapestrix.exe"));
    bool secondHadWindow = false;
    EXPECT_TRUE(WaitFor([&] {
        secondHadWindow |= !WindowsOfProcess(second.Pid()).empty();
        return !second.IsRunning();
    }));
    EXPECT_FALSE(secondHadWindow);
    EXPECT_EQ(m_dialog, MainDialogOf(m_process.Pid()));
    EXPECT_TRUE(TrayHasIcon(m_dialog));
    EXPECT_TRUE(Exit());
}

TEST_F(Tapestrix, NoActiveDesktopObjectShowsOneMessageAndEnds)
{
    const std::string key = "Software\\Classes\\CLSID\\{75048700-EF1F-11D0-9888-006097DEACF9}";
    RegistrySnapshot machine(HKEY_LOCAL_MACHINE, key);
    RegistrySnapshot user(HKEY_CURRENT_USER, key);
    DeleteKeyTree(HKEY_CURRENT_USER, key);
    ASSERT_TRUE(CreateKey(HKEY_LOCAL_MACHINE, key + "\\InprocServer32"));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key + "\\InprocServer32", "", "C:\\windows\\missing-provider.dll"));

    ASSERT_TRUE(m_process.Start(ExeDir() + "\\Tapestrix.exe"));
    const HWND box = WaitForDialogOf(m_process.Pid(), 15000);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("Tapestrix", ReadDialog(box).caption);
    EXPECT_EQ("Unable to setup COM library or active desktop interface", ReadDialog(box).text);
    EXPECT_EQ(std::vector<HWND>{box}, WindowsOfProcess(m_process.Pid(), "#32770"));   // no main dialog
    PressButton(box, IDOK);
    EXPECT_TRUE(m_process.WaitExit(10000));
}

TEST_F(Tapestrix, SequentialWalksTheFolderInNameOrderThroughAConvertedJpegAndWraps)
{
    // Made out of order, in mixed case, with a sub-folder.
    ASSERT_TRUE(MakeDirs(Picture("c")));
    for (const char* name : {"e.bmp", "c\\c1.bmp", "B.bmp", "a.bmp"})
        ASSERT_TRUE(WriteSolidBmp(Picture(name), 8, 8, RGB(200, 0, 0)));
    const RGBQUAD yellow{20, 220, 240, 0};
    FreeImage_Initialise(TRUE);
    FIBITMAP* jpeg = FreeImage_AllocateEx(16, 16, 24, &yellow);
    ASSERT_TRUE(FreeImage_Save(FIF_JPEG, jpeg, Picture("d.jpg").c_str(), JPEG_QUALITYSUPERB));
    FreeImage_Unload(jpeg);
    m_registry.Set("Selection", 2);
    m_registry.Set("ConvertToBmp", 1);
    ASSERT_TRUE(Start());

    // The JPEG is shown as the converted bitmap; the walk goes on after it.
    for (const std::string& shown :
         {Picture("a.bmp"), Picture("B.bmp"), Picture("c\\c1.bmp"), m_converted, Picture("e.bmp"), Picture("a.bmp")}) {
        DoubleClick();
        ASSERT_TRUE(WaitForWallpaper(shown)) << shown << " expected, the shell has " << NormalWallpaper();
    }
    EXPECT_EQ(Picture("d.jpg"), GetRegString(HKEY_CURRENT_USER, kAppKey, "BmpConvertedFrom"));
    EXPECT_TRUE(ColourNear(RGB(240, 220, 20), ReadBmpPixel(m_converted, 8, 8), 16));
}

TEST_F(Tapestrix, RandomWithOneUsableFileAlwaysPicksIt)
{
    ASSERT_TRUE(WriteSolidBmp(Picture("only.bmp"), 8, 8, RGB(0, 200, 0)));
    ASSERT_TRUE(WriteFileText(Picture("notes.txt"), "not a picture"));
    m_registry.Set("Selection", 1);
    ASSERT_TRUE(Start());
    for (int click = 0; click < 4; ++click) {
        SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", "elsewhere");
        DoubleClick();
        ASSERT_TRUE(WaitForWallpaper(Picture("only.bmp"))) << click << ": " << NormalWallpaper();
    }
}

TEST_F(Tapestrix, AutoChangeComesEveryPeriodCountedFromStartUp)
{
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
        ASSERT_TRUE(WriteSolidBmp(Picture(name), 8, 8, RGB(200, 0, 0)));
    m_registry.Set("EnableAutoChange", 1);
    m_registry.Set("AutoChangeSelection", 1);   // every tick shows a change
    // Wine's timers run late under load, never early: lower bounds are firm.
    const struct {
        DWORD seconds;
        DWORD watchMs;
        size_t fewest;
        size_t most;
        DWORD gapMs;   // also before the first change
    } periods[] = {{2, 7000, 2, 4, 1500},
                   {0, 4500, 2, 5, 700},       // not as fast as the system allows
                   {4294968, 3000, 0, 0, 0}};  // 704 ms if multiplied in 32 bits
    for (const auto& p : periods) {
        m_registry.Set("AutoChangeTimer", p.seconds);
        ASSERT_TRUE(Start());
        const std::vector<DWORD> changes = WatchChanges(p.watchMs);
        EXPECT_TRUE(Exit());
        EXPECT_LE(p.fewest, changes.size()) << p.seconds;
        EXPECT_GE(p.most, changes.size()) << p.seconds;
        DWORD shortest = changes.empty() ? p.gapMs : changes[0];
        for (size_t i = 1; i < changes.size(); ++i)
            shortest = std::min(shortest, changes[i] - changes[i - 1]);
        EXPECT_LE(p.gapMs, shortest) << p.seconds;
    }
}

TEST_F(Tapestrix, DesktopIconsComeBackOnePeriodAfterTheLastChange)
{
    // A window of the shell's desktop class; Wine has none.
    WNDCLASSA wc{0, DefWindowProcA, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr, "Progman"};
    RegisterClassA(&wc);
    const HWND desktop = CreateWindowExA(WS_EX_TOOLWINDOW, "Progman", "", WS_POPUP | WS_VISIBLE, 0, 0, 4, 4,
                                         nullptr, nullptr, wc.hInstance, nullptr);
    auto visible = [&] { return IsWindowVisible(desktop) != FALSE; };
    for (const char* name : {"a.bmp", "b.bmp"})
        ASSERT_TRUE(WriteSolidBmp(Picture(name), 8, 8, RGB(200, 0, 0)));
    m_registry.Set("Selection", 2);
    m_registry.Set("HideDesktopItems", 1);
    m_registry.Set("HideItemTimer", 2);
    ASSERT_TRUE(Start());

    DoubleClick();
    ASSERT_TRUE(WaitForWallpaper(Picture("a.bmp")));
    ASSERT_TRUE(WaitFor([&] { return !visible(); }, 2000)) << "not hidden right after the change";
    PumpMessages(1000);
    DoubleClick();
    ASSERT_TRUE(WaitForWallpaper(Picture("b.bmp")));
    const DWORD secondChange = GetTickCount();
    EXPECT_FALSE(visible());
    // Two seconds after the second change, not after the first.
    ASSERT_TRUE(WaitFor(visible, 8000)) << "the icons never came back";
    EXPECT_LE(1500u, GetTickCount() - secondChange);
    EXPECT_GE(5000u, GetTickCount() - secondChange);
    // Once per change: hidden again, they stay so.
    ShowWindow(desktop, SW_HIDE);
    PumpMessages(2500);
    EXPECT_FALSE(visible());
    DestroyWindow(desktop);
}

TEST_F(Tapestrix, RightClickOnTheIconOpensTheMenuBesideTheTrayWhoseChoiceRuns)
{
    ASSERT_TRUE(Start());
    // The mouse over the icon and the shell's right-click there, then what
    // the program shows: its own menu window, once, beside the tray.
    const HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    RECT client{};
    GetClientRect(tray, &client);
    const int place = GetSystemMetrics(SM_CXSMICON) + 4;
    auto menuWindows = [&] { return WindowsOfProcess(m_process.Pid(), "BitmapMenu", nullptr, true); };
    ASSERT_TRUE(WaitFor([&] { return TrayHasIcon(m_dialog); }));
    auto rightClick = [&] {
        for (int i = 0; i < 9 && menuWindows().empty(); ++i) {
            const int x = client.right - place / 2 - (i % 3) * place;
            POINT at{x, client.bottom / 2};
            ClientToScreen(tray, &at);
            SetCursorPos(at.x, at.y);
            PostMessageA(tray, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, client.bottom / 2));
            PostMessageA(tray, WM_RBUTTONUP, 0, MAKELPARAM(x, client.bottom / 2));
            WaitFor([&] { return !menuWindows().empty(); }, 700);
        }
        return menuWindows().size() == 1 ? menuWindows()[0] : nullptr;
    };
    const HWND menu = rightClick();
    ASSERT_NE(nullptr, menu);
    POINT cursor{};
    GetCursorPos(&cursor);
    RECT shown{};
    GetWindowRect(menu, &shown);
    EXPECT_EQ(cursor.x, shown.right);   // no room to the right of the icon: to its left, above it
    EXPECT_EQ(cursor.y, shown.bottom);
    // A second right-click while it is open opens nothing more.
    PostMessageA(m_dialog, WM_USER + 100, 128, WM_RBUTTONUP);
    PumpMessages(300);
    EXPECT_EQ(1u, menuWindows().size());

    // Escape closes it and runs nothing; then Exit, the last item, chosen
    // by the keys, ends the program.
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(WaitFor([&] { return menuWindows().empty(); }));
    PumpMessages(300);
    EXPECT_TRUE(m_process.IsRunning());
    EXPECT_EQ(nullptr, WaitForDialogOf(m_process.Pid(), 300));
    const HWND again = rightClick();
    ASSERT_NE(nullptr, again);
    PostMessageA(again, WM_KEYDOWN, VK_UP, 0);
    PumpMessages(200);
    PostMessageA(again, WM_KEYDOWN, VK_RETURN, 0);
    DWORD code = 1;
    EXPECT_TRUE(m_process.WaitExit(10000, &code));
    EXPECT_EQ(0u, code);
}
