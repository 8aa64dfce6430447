// The Active Desktop object as COM hands it out in the test prefix: its checks, each object's
// own pending state, the shell values ApplyChanges saves and the pixels Wine's desktop shows.
#include <windows.h>
#include <wininet.h>
#include <shlobj.h>

#include "TestSupport.h"
#include "tests/engine/PictureWriter.h"
#include "framework/Handles.h"
#include "framework/String.h"
#include <gtest/gtest.h>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

using namespace tpx::test;

namespace {

const char kServerKey[] = "Software\\Classes\\CLSID\\{75048700-EF1F-11D0-9888-006097DEACF9}\\InprocServer32";
const char kComponentsKey[] = "Software\\Microsoft\\Internet Explorer\\Desktop\\Components";
const char kExplorerKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
const COLORREF kRed = RGB(220, 20, 20), kGreen = RGB(20, 200, 20), kBlue = RGB(20, 20, 220),
               kYellow = RGB(230, 230, 20), kOrange = RGB(240, 160, 32);

CComPtr<IActiveDesktop> New()
{
    CComPtr<IActiveDesktop> desktop;
    CoCreateInstance(CLSID_ActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveDesktop,
                     desktop.ReceiveVoid());
    return desktop;
}

std::wstring Wallpaper(IActiveDesktop* desktop)
{
    WCHAR buffer[MAX_PATH] = {};
    return desktop && desktop->GetWallpaper(buffer, MAX_PATH, 0) == S_OK ? buffer : L"<failed>";
}

DWORD Style(IActiveDesktop* desktop)
{
    WALLPAPEROPT options{sizeof(WALLPAPEROPT), 0};
    return desktop && desktop->GetWallpaperOptions(&options, 0) == S_OK ? options.dwStyle : 0xFFFF;
}

HRESULT Apply(IActiveDesktop* desktop, const std::string& path, DWORD style, DWORD flags)
{
    const WALLPAPEROPT options{sizeof(WALLPAPEROPT), style};
    HRESULT hr = desktop ? desktop->SetWallpaper(AnsiToWide(path.c_str()).c_str(), 0) : E_POINTER;
    if (SUCCEEDED(hr))
        hr = desktop->SetWallpaperOptions(&options, 0);
    return SUCCEEDED(hr) ? desktop->ApplyChanges(flags) : hr;
}

// fActiveDesktop as `desktop` reads it, after setting it to `set` (unless -1); -1 on failure.
int Active(IActiveDesktop* desktop, int set = -1)
{
    COMPONENTSOPT options{sizeof(COMPONENTSOPT), 0, 0};
    if (!desktop || desktop->GetDesktopItemOptions(&options, 0) != S_OK)
        return -1;
    options.fActiveDesktop = set < 0 ? options.fActiveDesktop : set;
    return set < 0 || desktop->SetDesktopItemOptions(&options, 0) == S_OK ? options.fActiveDesktop : -1;
}

std::string Value(const char* key, const char* name)
{
    return GetRegString(HKEY_CURRENT_USER, key, name).value_or("<missing>");
}

std::string SpiWallpaper()
{
    char path[MAX_PATH] = "<failed>";
    SystemParametersInfoA(SPI_GETDESKWALLPAPER, MAX_PATH, path, 0);
    return path;
}

struct Px { int x, y; COLORREF colour; };

// Whether the desktop window comes to show every point (the wait is bounded).
bool DesktopShows(std::initializer_list<Px> points)
{
    return WaitFor([&] {
        const HDC dc = GetDC(nullptr);
        bool all = true;
        for (const Px& p : points)
            all = all && ColourNear(GetPixel(dc, p.x, p.y), p.colour, 12);
        ReleaseDC(nullptr, dc);
        return all;
    }, 10000);
}

class AdTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0, Active(New().Get(), 0)); }
    ~AdTest() override { if (SUCCEEDED(m_com)) CoUninitialize(); }

    const HRESULT m_com = CoInitialize(nullptr);
    struct Reload {  // last out: the desktop loads the restored wallpaper
        ~Reload() { SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, nullptr, 0); }
    } m_reload;
    RegistrySnapshot m_desktop{HKEY_CURRENT_USER, kDesktopKey}, m_general{HKEY_CURRENT_USER, kGeneralKey},
        m_components{HKEY_CURRENT_USER, kComponentsKey}, m_explorer{HKEY_CURRENT_USER, kExplorerKey};
    TempDir m_dir;
};

// Starts from the plain desktop, so that what a test sees is its own doing.
class DesktopTest : public AdTest {
protected:
    void SetUp() override
    {
        AdTest::SetUp();
        ASSERT_EQ(S_OK, Apply(m_object.Get(), "", WPSTYLE_CENTER, AD_APPLY_SAVE));
        ASSERT_TRUE(DesktopShows({Centre(m_plain), Corner(0, 0, m_plain)}));
    }
    Px Centre(COLORREF c) const { return {m_cx / 2, m_cy / 2, c}; }
    Px Corner(bool right, bool bottom, COLORREF c) const
    {
        return {right ? m_cx - 3 : 2, bottom ? m_cy - 3 : 2, c};
    }

    const int m_cx = GetSystemMetrics(SM_CXSCREEN), m_cy = GetSystemMetrics(SM_CYSCREEN);
    const COLORREF m_plain = GetSysColor(COLOR_DESKTOP);
    CComPtr<IActiveDesktop> m_object = New();
};

TEST_F(AdTest, ActivationLoadsThisDllWhichStaysWhileAnObjectNeedsIt)
{
    CComPtr<IActiveDesktop> desktop = New();
    ASSERT_TRUE(desktop);
    HMODULE dll = GetModuleHandleA("tpxactivedesktop.dll");
    char loaded[MAX_PATH] = {};
    GetModuleFileNameA(dll, loaded, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiA(loaded, (ExeDir() + "\\tpxactivedesktop.dll").c_str())) << loaded;
    EXPECT_EQ("Apartment", GetRegString(HKEY_LOCAL_MACHINE, kServerKey, "ThreadingModel").value_or(""));
    void* other = desktop.Get();
    EXPECT_TRUE(desktop->QueryInterface(IID_IDispatch, &other) == E_NOINTERFACE && !other);
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    ASSERT_TRUE(canUnload);
    EXPECT_EQ(S_FALSE, canUnload()) << "an object is alive";
    desktop.Reset();
    EXPECT_EQ(S_OK, canUnload());
}

TEST_F(AdTest, PendingStateIsOneObjectsOwnArgumentsItRefusesChangeNothingAndOddValuesReadSafely)
{
    SetRegString(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper", "C:\\before.bmp");
    SetRegString(HKEY_CURRENT_USER, kDesktopKey, "TileWallpaper", "1");
    CComPtr<IActiveDesktop> first = New(), second = New();
    const std::wstring path = L"C:\\Wallpapers\\leaves.bmp";
    ASSERT_EQ(S_OK, Apply(first.Get(), "C:\\Wallpapers\\leaves.bmp", WPSTYLE_STRETCH, 0));  // pending
    EXPECT_EQ(L"C:\\before.bmp|1", Wallpaper(second.Get()) + L"|" + std::to_wstring(Style(second.Get())));
    EXPECT_EQ("C:\\before.bmp", Value(kDesktopKey, "Wallpaper")) << "nothing saved";

    // Refused: a buffer one too short (never a cut path), no buffer, a path of
    // MAX_PATH characters, a structure of another size.
    WCHAR buffer[64] = L"untouched";
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER), first->GetWallpaper(buffer, UINT(path.size()), 0));
    EXPECT_EQ(L"", std::wstring(buffer));
    EXPECT_EQ(E_INVALIDARG, first->GetWallpaper(nullptr, MAX_PATH, 0));
    const std::wstring longest = L"C:\\" + std::wstring(MAX_PATH - 4, L'a');  // 259 characters
    EXPECT_EQ(E_INVALIDARG, first->SetWallpaper((longest + L"a").c_str(), 0));
    COMPONENTSOPT items{16, 7, 7};  // larger than the struct
    EXPECT_EQ(E_INVALIDARG, first->SetDesktopItemOptions(&items, 0));
    EXPECT_EQ(path + L"|2|0", Wallpaper(first.Get()) + L"|" + std::to_wstring(Style(first.Get())) + L"|" +
                                  std::to_wstring(Active(first.Get())));
    EXPECT_EQ(S_OK, first->SetWallpaper(longest.c_str(), 0));

    // A new object reads odd registry values safely.
    DeleteRegValue(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper");
    SetRegBinary(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper", REG_SZ, "C:\\a.bmp", 8);  // no NUL
    EXPECT_EQ(L"C:\\a.bmp", Wallpaper(New().Get()));
    SetRegString(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper", "C:\\" + std::string(400, 'x'));
    EXPECT_EQ(L"", Wallpaper(New().Get())) << "no wallpaper rather than a cut path";
    SetRegString(HKEY_CURRENT_USER, kDesktopKey, "TileWallpaper", "0");
    SetRegString(HKEY_CURRENT_USER, kDesktopKey, "WallpaperStyle", "22");
    EXPECT_EQ(5u, Style(New().Get())) << "span, which Tapestrix has no name for";
    SetRegDword(HKEY_CURRENT_USER, kDesktopKey, "WallpaperStyle", 2);
    EXPECT_EQ(DWORD(WPSTYLE_STRETCH), Style(New().Get())) << "a DWORD, as some tools write it";
}

// The switch is one flag of the shell's "ShellState"; the rest is others'.
TEST_F(AdTest, ActiveDesktopIsOneFlagOfTheShellsState)
{
    auto stored = [] {
        std::string bytes(64, '\0');
        DWORD size = 64;
        RegGetValueA(HKEY_CURRENT_USER, kExplorerKey, "ShellState", RRF_RT_ANY, nullptr, &bytes[0], &size);
        return bytes.substr(0, size);
    };
    std::string state(36, '\x09');  // byte count, then flags with other bits set, then the rest
    state.replace(0, 6, "\x24\0\0\0\x23\x08", 6);
    ASSERT_TRUE(SetRegBinary(HKEY_CURRENT_USER, kExplorerKey, "ShellState", REG_BINARY, state.data(), 36));
    EXPECT_EQ(0, Active(New().Get()));
    ASSERT_EQ(1, Active(New().Get(), 1));
    EXPECT_EQ(state.substr(0, 4) + "\x63" + state.substr(5), stored());
    ASSERT_EQ(0, Active(New().Get(), 0));
    EXPECT_EQ(state, stored());
    // One that no shell could have written reads as off and is replaced whole.
    ASSERT_TRUE(SetRegBinary(HKEY_CURRENT_USER, kExplorerKey, "ShellState", REG_BINARY, state.data(), 3));
    EXPECT_EQ(0, Active(New().Get()));
    ASSERT_EQ(1, Active(New().Get(), 1));
    EXPECT_EQ(36u, stored().size());
}

TEST_F(AdTest, NothingToShowMeansThePlainDesktopButThePathIsKeptAndOnlySoundBitmapsReachIt)
{
    const std::string page = m_dir / "page.htm", missing = m_dir / "missing.bmp", icon = m_dir / "icon.ico";
    ASSERT_TRUE(WriteFileText(page, "<html></html>"));
    // A 1 x 1 icon: a picture the platform's imaging reads, but no kind of wallpaper, so no decoder sees it.
    const char iconBytes[] = "\0\0\1\0\1\0\1\1\0\0\1\0\x20\0\x30\0\0\0\x16\0\0\0"
                             "\x28\0\0\0\1\0\0\0\2\0\0\0\1\0\x20\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0"
                             "\x20\x20\xE0\xFF\0\0\0";
    ASSERT_TRUE(WriteFileBytes(icon, iconBytes, sizeof iconBytes));
    for (const std::string& path : {page, missing, icon}) {
        EXPECT_EQ(S_OK, Apply(New().Get(), path, WPSTYLE_STRETCH, AD_APPLY_SAVE)) << path;
        EXPECT_EQ("", Value(kDesktopKey, "Wallpaper") + SpiWallpaper()) << path;
        EXPECT_EQ(path, Value(kGeneralKey, "BackupWallpaper"));
        EXPECT_EQ(AnsiToWide(path.c_str()), Wallpaper(New().Get())) << "a new object starts from the backup";
    }
    // Every bitmap is judged before Wine's desktop or a loader sees it, on both ways to the desktop (as it is, or
    // through the screen-sized copy); a damaged one is shown as above.
    const std::string path = m_dir / "case.bmp";
    for (const BitmapCase& c : BitmapHeaderCases()) {
        ASSERT_TRUE(WriteFileBytes(path, c.bytes.data(), c.bytes.size()));
        for (DWORD style : {WPSTYLE_TILE, WPSTYLE_STRETCH}) {
            EXPECT_EQ(S_OK, Apply(New().Get(), path, style, AD_APPLY_SAVE)) << c.name;
            const std::string shown = SpiWallpaper();
            EXPECT_EQ(c.sound, !shown.empty()) << c.name << " " << style;
            EXPECT_EQ(c.sound && style == WPSTYLE_TILE, shown == path) << c.name;
        }
    }
}

TEST_F(DesktopTest, SaveShowsTheBitmapAgainAfterChangesAndThroughACopyWhatWineCannotDraw)
{
    const std::string path = m_dir / "converted.bmp", other = m_dir / "other.bmp";
    ASSERT_TRUE(WritePicture(path, 64, 64, kRed) && WritePicture(other, 64, 64, kYellow));
    ASSERT_EQ(S_OK, Apply(m_object.Get(), path, WPSTYLE_CENTER, AD_APPLY_SAVE));
    EXPECT_TRUE(DesktopShows({Centre(kRed), Corner(0, 0, m_plain)}));
    // The caller rewrites its one bitmap and applies the same path.
    ASSERT_TRUE(WritePicture(path, 64, 64, kGreen));
    ASSERT_EQ(S_OK, Apply(m_object.Get(), path, WPSTYLE_CENTER, AD_APPLY_SAVE));
    EXPECT_TRUE(DesktopShows({Centre(kGreen)}));
    // A refresh shows the saved state again, rewritten, and saves nothing pending.
    ASSERT_TRUE(WritePicture(path, 64, 64, kBlue));
    ASSERT_EQ(S_OK, Apply(m_object.Get(), other, WPSTYLE_TILE, AD_APPLY_REFRESH | AD_APPLY_HTMLGEN));
    EXPECT_TRUE(DesktopShows({Centre(kBlue), Corner(0, 0, m_plain)}));
    EXPECT_EQ(path + "|0", Value(kDesktopKey, "Wallpaper") + "|" + Value(kDesktopKey, "TileWallpaper"));

    // What Wine's desktop cannot draw itself, a stretched bitmap or a JPEG, it shows through a copy of the screen's
    // or the picture's size; the wallpaper a new object reads stays the user's file.
    const std::string two = m_dir / "two.bmp", jpeg = m_dir / "photo.jpg";
    auto quarter = [](int x, int y) { return y ? (x ? kYellow : kBlue) : (x ? kGreen : kRed); };
    ASSERT_TRUE(WriteBmp(two, 2, 2, quarter));
    ASSERT_EQ(S_OK, Apply(m_object.Get(), two, WPSTYLE_STRETCH, AD_APPLY_SAVE));
    EXPECT_TRUE(DesktopShows({Corner(0, 0, kRed), Corner(1, 0, kGreen), Corner(0, 1, kBlue), Corner(1, 1, kYellow)}));
    BitmapInfo info = ReadBmpInfo(SpiWallpaper());
    EXPECT_TRUE(info.ok && info.width == m_cx && info.height == m_cy) << SpiWallpaper();

    ASSERT_TRUE(WritePicture(jpeg, 80, 60, [](int, int) { return kOrange; }));
    ASSERT_EQ(1, Active(m_object.Get(), 1));
    ASSERT_EQ(S_OK, Apply(m_object.Get(), jpeg, WPSTYLE_CENTER, AD_APPLY_SAVE | AD_APPLY_HTMLGEN));
    EXPECT_TRUE(DesktopShows({Centre(kOrange), Corner(0, 0, m_plain)}));
    info = ReadBmpInfo(SpiWallpaper());
    EXPECT_TRUE(info.ok && info.width == 80 && info.height == 60) << SpiWallpaper();
    EXPECT_EQ(AnsiToWide(jpeg.c_str()), Wallpaper(New().Get()));
}

// JPEGs and GIFs with the same kinds of damage reach the platform's decoder
// only when their size is sane: each is shown or is the plain desktop, at once.
TEST_F(DesktopTest, DamagedJpegsAndGifsAreShownOrThePlainDesktop)
{
    const std::string jpeg = m_dir / "good.jpg", gif = m_dir / "good.gif";
    const auto orange = [](int, int) { return kOrange; };
    ASSERT_TRUE(WritePicture(jpeg, 320, 200, orange) && WritePicture(gif, 320, 200, orange));
    for (const BitmapCase& c : DamagedJpegsAndGifs(ReadFileBytes(jpeg), ReadFileBytes(gif))) {
        const std::string path = m_dir / c.name;
        ASSERT_TRUE(WriteFileBytes(path, c.bytes.data(), c.bytes.size()));
        const DWORD start = GetTickCount();
        EXPECT_EQ(S_OK, Apply(m_object.Get(), path, WPSTYLE_CENTER, AD_APPLY_SAVE)) << c.name;
        EXPECT_GT(5000u, GetTickCount() - start) << c.name << ": an announced size was believed";
        // The imaging reads neither a cut JPEG nor a cut GIF; a GIF image off its screen it does.
        EXPECT_EQ(c.name == "screen.gif" || c.name == "outside.gif", !SpiWallpaper().empty()) << c.name;
    }
}

// Windows in front of the desktop are told to repaint, never waited for:
// Wine's desktop paints a new wallpaper over them.
TEST_F(DesktopTest, WindowsInFrontStayPaintedAndOneWhoseThreadNeverAnswersHoldsNothingUp)
{
    const COLORREF white = RGB(255, 255, 255);
    std::unique_ptr<HWND__, decltype(&DestroyWindow)> front(
        CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP | WS_VISIBLE | SS_WHITERECT, 40, 40,
                        120, 120, nullptr, nullptr, nullptr, nullptr),
        DestroyWindow);
    ASSERT_TRUE(DesktopShows({{100, 100, white}}));
    // A window whose thread answers no message until released (bounded, so a failure is a time).
    CKernelHandle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    std::atomic<bool> made{false};
    std::thread hung([&] {
        CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "hung", WS_POPUP | WS_VISIBLE, 600, 40, 80, 80, nullptr, nullptr,
                        nullptr, nullptr);
        made = true;
        WaitForSingleObject(release.Get(), 4000);
    });
    EXPECT_TRUE(WaitFor([&] { return made.load(); }));
    const std::string path = m_dir / "red.bmp";
    EXPECT_TRUE(WritePicture(path, 32, 32, kRed));
    const DWORD start = GetTickCount();
    // No ASSERT: the thread is joined below.
    EXPECT_EQ(S_OK, Apply(m_object.Get(), path, WPSTYLE_STRETCH, AD_APPLY_SAVE));
    EXPECT_GT(1000u, GetTickCount() - start);
    EXPECT_TRUE(DesktopShows({Centre(kRed), {100, 100, white}}));
    SetEvent(release.Get());
    hung.join();
}

}  // namespace
