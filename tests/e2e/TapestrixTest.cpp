// Tapestrix.exe as the user runs it, driven the way the shell drives it: the
// tray callback and the menu's commands are posted to its hidden main
// dialog, and what the user would see is read back from Wine's notification
// area, the shell's wallpaper values, the desktop's icons, the timers' effects
// and the program's dialogs.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include <FreeImage.h>  // after windows.h, whose guard it defines
#include <shellapi.h>

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

TEST_F(Tapestrix, AutoChangeComesEveryPeriodCountedFromStartUp)
{
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"})
        ASSERT_TRUE(WriteSolidBmp(Picture(name), 8, 8, RGB(200, 0, 0)));
    m_registry.Set("EnableAutoChange", 1);
    m_registry.Set("AutoChangeSelection", 1);   // every tick shows a change
    m_registry.Set("AutoChangeTimer", 2);
    ASSERT_TRUE(Start());
    const std::vector<DWORD> changes = WatchChanges(7000);
    // Wine's timers run late under load, never early: lower bounds are firm.
    EXPECT_LE(2u, changes.size());
    EXPECT_GE(4u, changes.size());
    for (size_t i = 0; i < changes.size(); ++i)   // the first one a period after start-up
        EXPECT_LE(1500u, changes[i] - (i ? changes[i - 1] : 0)) << i;
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

TEST_F(Tapestrix, DamagedBitmapsNeverStopAClickASentClickOrATick)
{
    // In name order: each damaged file, then a good one of its own colour.
    std::vector<std::pair<std::string, COLORREF>> walk;
    const COLORREF colours[] = {RGB(200, 30, 30), RGB(30, 180, 30), RGB(30, 30, 200)};
    const std::vector<BitmapCase> damaged = DamagedBitmaps();
    for (size_t i = 0; i < damaged.size(); ++i) {
        const std::string bad = Picture(std::string(1, char('a' + i)) + "0.bmp");
        const std::string good = Picture(std::string(1, char('a' + i)) + "1.bmp");
        ASSERT_TRUE(WriteFileBytes(bad, damaged[i].bytes.data(), damaged[i].bytes.size()));
        ASSERT_TRUE(WriteSolidBmp(good, 64, 64, colours[i]));
        walk.push_back({bad, GetSysColor(COLOR_DESKTOP)});
        walk.push_back({good, colours[i]});
    }
    m_registry.Set("Selection", 2);
    m_registry.Set("AutoChangeSelection", 1);
    m_registry.Set("AutoChangeTimer", 2);
    auto centre = [] {
        const HDC screen = GetDC(nullptr);
        const COLORREF c = GetPixel(screen, GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2);
        ReleaseDC(nullptr, screen);
        return c;
    };
    enum Way { kPosted, kSent, kTimer };
    for (Way way : {kPosted, kSent, kTimer}) {
        SCOPED_TRACE(way);
        m_registry.Set("EnableAutoChange", way == kTimer ? 1 : 0);
        SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", "");
        ASSERT_TRUE(Start());
        for (const auto& [path, colour] : walk) {
            if (way == kPosted) {
                DoubleClick();
            } else if (way == kSent) {  // as the shell sends it: a fault inside would be swallowed
                DWORD_PTR answer = 0;
                EXPECT_TRUE(SendMessageTimeoutA(m_dialog, WM_USER + 100, 128, WM_LBUTTONDBLCLK, SMTO_NORMAL, 10000,
                                                &answer));
            }
            ASSERT_TRUE(WaitForWallpaper(path)) << path << " expected, the shell has " << NormalWallpaper();
            EXPECT_TRUE(WaitFor([&] { return ColourNear(centre(), colour, 12); }, 1500)) << path << ": " << centre();
        }
        EXPECT_TRUE(WindowsOfProcess(m_process.Pid(), nullptr, nullptr, true).empty()) << "a message on screen";
        EXPECT_TRUE(Exit());
    }
}
