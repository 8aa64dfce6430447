// What ApplyChanges records: the shell's wallpaper values for the normal and
// the Active Desktop, the style pairs, the flag bits, the provider's bitmap
// for pictures Wine cannot draw as they are, and what objects and other
// processes read back afterwards.
#include "AdTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace tpx::test;

namespace {

std::wstring GetWallpaper(IActiveDesktop* desktop)
{
    WCHAR buffer[MAX_PATH] = {};
    if (FAILED(desktop->GetWallpaper(buffer, MAX_PATH, 0)))
        return L"<failed>";
    return buffer;
}

DWORD GetStyle(IActiveDesktop* desktop)
{
    WALLPAPEROPT options{};
    options.dwSize = sizeof options;
    return SUCCEEDED(desktop->GetWallpaperOptions(&options, 0)) ? options.dwStyle : 0xFFFFFFFF;
}

HRESULT SetStyle(IActiveDesktop* desktop, DWORD style)
{
    WALLPAPEROPT options{};
    options.dwSize = sizeof options;
    options.dwStyle = style;
    return desktop->SetWallpaperOptions(&options, 0);
}

// SetWallpaper, SetWallpaperOptions and ApplyChanges on a fresh object.
HRESULT Apply(const std::string& path, DWORD style, DWORD flags)
{
    CComPtr<IActiveDesktop> desktop = CreateActiveDesktop();
    if (!desktop)
        return E_NOINTERFACE;
    HRESULT hr = desktop->SetWallpaper(Wide(path).c_str(), 0);
    if (SUCCEEDED(hr))
        hr = SetStyle(desktop.Get(), style);
    if (SUCCEEDED(hr))
        hr = desktop->ApplyChanges(flags);
    return hr;
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

int RunChild(const std::string& args)
{
    ChildProcess child;
    if (!child.Start(ExeDir() + "\\ad_child.exe", args))
        return -1;
    DWORD code = 0;
    return child.WaitExit(30000, &code) ? static_cast<int>(code) : -1;
}

std::string ChildWallpaper(const TempDir& dir)
{
    const std::string out = dir / "child-wallpaper.txt";
    if (RunChild("wallpaper \"" + out + "\"") != 0)
        return "<child failed>";
    const auto bytes = ReadFileBytes(out);
    return std::string(bytes.begin(), bytes.end());
}

class ApplyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(WriteSolidBmp(m_bmp, 64, 64, RGB(200, 30, 30)));
        SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", "C:\\windows\\earlier.bmp");
    }

    ComScope m_com;
    DesktopScope m_desktop;
    TempDir m_dir;
    const std::string m_bmp = m_dir / "red.bmp";
};

TEST_F(ApplyTest, NormalDesktopBitmapLandsInAllThreePlacesAndTheSystemAgrees)
{
    ASSERT_TRUE(SetActiveDesktop(false));
    ASSERT_EQ(S_OK, Apply(m_bmp, WPSTYLE_CENTER, AD_APPLY_SAVE));
    EXPECT_EQ(m_bmp, Value(kDesktopKey, "Wallpaper"));
    EXPECT_EQ(m_bmp, Value(kGeneralKey, "Wallpaper"));
    EXPECT_EQ(m_bmp, Value(kGeneralKey, "BackupWallpaper"));
    EXPECT_EQ(m_bmp, SpiWallpaper());
    EXPECT_FALSE(GetRegString(HKEY_CURRENT_USER, std::string(kVolatileKey) + "\\" + kDesktopKey, "Wallpaper"))
        << "saved for good, not only for this session";
    EXPECT_EQ(m_bmp, ChildWallpaper(m_dir)) << "a new process starts from it";
}

TEST_F(ApplyTest, EachStyleWritesTheShellsPairAndReadsBack)
{
    ASSERT_TRUE(SetActiveDesktop(false));
    struct Case {
        DWORD style;
        const char* wallpaperStyle;
        const char* tileWallpaper;
    } cases[] = {
        {WPSTYLE_CENTER, "0", "0"}, {WPSTYLE_TILE, "0", "1"}, {WPSTYLE_STRETCH, "2", "0"},
        {3, "6", "0"},              {4, "10", "0"},           {5, "22", "0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        ASSERT_EQ(S_OK, Apply(m_bmp, c.style, AD_APPLY_SAVE));
        EXPECT_EQ(c.wallpaperStyle, Value(kDesktopKey, "WallpaperStyle"));
        EXPECT_EQ(c.tileWallpaper, Value(kDesktopKey, "TileWallpaper"));
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), GetRegType(HKEY_CURRENT_USER, kDesktopKey, "WallpaperStyle").value_or(0));
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), GetRegType(HKEY_CURRENT_USER, kDesktopKey, "TileWallpaper").value_or(0));
        char tile[8] = {};
        GetProfileStringA("Desktop", "TileWallpaper", "", tile, sizeof tile);
        EXPECT_STREQ(c.tileWallpaper, tile) << "the win.ini view Wine's desktop reads";
        CComPtr<IActiveDesktop> fresh = CreateActiveDesktop();
        EXPECT_EQ(c.style, GetStyle(fresh.Get()));
        EXPECT_EQ(Wide(m_bmp), GetWallpaper(fresh.Get()));
    }
    EXPECT_EQ(16 + 5, RunChild("style"));
}

TEST_F(ApplyTest, ApplyFlagsAreTestedBitByBit)
{
    ASSERT_TRUE(SetActiveDesktop(false));
    auto state = [] {
        return Value(kDesktopKey, "Wallpaper") + "|" + Value(kDesktopKey, "WallpaperStyle") + "|" +
               Value(kDesktopKey, "TileWallpaper") + "|" + Value(kGeneralKey, "Wallpaper") + "|" +
               Value(kGeneralKey, "BackupWallpaper");
    };
    ASSERT_EQ(S_OK, Apply(m_bmp, WPSTYLE_TILE, AD_APPLY_ALL));
    const std::string afterAll = state();
    EXPECT_EQ(m_bmp + "|0|1|" + m_bmp + "|" + m_bmp, afterAll);

    const std::string other = m_dir / "other.bmp";
    ASSERT_TRUE(WriteSolidBmp(other, 8, 8, RGB(0, 0, 0)));
    ASSERT_EQ(S_OK, Apply(other, WPSTYLE_CENTER, AD_APPLY_SAVE));
    ASSERT_EQ(S_OK, Apply(m_bmp, WPSTYLE_TILE, AD_APPLY_ALL | AD_APPLY_FORCE));
    EXPECT_EQ(afterAll, state()) << "0xF does what 7 does";

    ASSERT_EQ(S_OK, Apply(other, WPSTYLE_CENTER, AD_APPLY_SAVE | 0x80000000));
    EXPECT_EQ(other, Value(kGeneralKey, "Wallpaper")) << "unknown bits are ignored";

    // Without AD_APPLY_SAVE nothing is saved.
    const std::string before = state();
    for (DWORD flags : {0ul, static_cast<unsigned long>(AD_APPLY_HTMLGEN), static_cast<unsigned long>(AD_APPLY_REFRESH),
                        static_cast<unsigned long>(AD_APPLY_HTMLGEN | AD_APPLY_REFRESH | AD_APPLY_FORCE)}) {
        EXPECT_EQ(S_OK, Apply(m_bmp, WPSTYLE_STRETCH, flags)) << flags;
        EXPECT_EQ(before, state()) << flags;
    }
}

TEST_F(ApplyTest, ActiveDesktopJpegStaysTheWallpaperWhileAConvertedBitmapIsShown)
{
    const std::string jpeg = m_dir / "photo.jpg";
    ASSERT_TRUE(WriteJpeg(jpeg, 80, 60, [](int, int) { return RGB(240, 160, 32); }));
    ASSERT_TRUE(SetActiveDesktop(true));
    ASSERT_EQ(S_OK, Apply(jpeg, WPSTYLE_CENTER, AD_APPLY_SAVE | AD_APPLY_HTMLGEN));

    EXPECT_EQ(jpeg, Value(kGeneralKey, "Wallpaper"));
    EXPECT_EQ("C:\\windows\\earlier.bmp", Value(kGeneralKey, "BackupWallpaper")) << "the normal desktop's";
    const std::string shown = Value(kDesktopKey, "Wallpaper");
    EXPECT_NE(jpeg, shown);
    EXPECT_EQ(shown, SpiWallpaper());
    const BitmapInfo info = ReadBmpInfo(shown);
    ASSERT_TRUE(info.ok) << shown << " is no bitmap";
    EXPECT_EQ(80, info.width);
    EXPECT_EQ(60, info.height);
    EXPECT_TRUE(ColourNear(RGB(240, 160, 32), ReadBmpPixel(shown, 40, 30), 12));

    CComPtr<IActiveDesktop> fresh = CreateActiveDesktop();
    EXPECT_EQ(Wide(jpeg), GetWallpaper(fresh.Get()));
    EXPECT_EQ(jpeg, ChildWallpaper(m_dir));
}

TEST_F(ApplyTest, StretchShowsAScreenSizedCopyButKeepsTheRealPathEverywhereElse)
{
    ASSERT_TRUE(SetActiveDesktop(false));
    const std::string small = m_dir / "small.bmp";
    ASSERT_TRUE(WriteSolidBmp(small, 2, 2, RGB(10, 200, 10)));
    ASSERT_EQ(S_OK, Apply(small, WPSTYLE_STRETCH, AD_APPLY_SAVE));

    const std::string shown = Value(kDesktopKey, "Wallpaper");
    EXPECT_NE(small, shown);
    const BitmapInfo info = ReadBmpInfo(shown);
    ASSERT_TRUE(info.ok) << shown;
    EXPECT_EQ(ScreenSize().cx, info.width);
    EXPECT_EQ(ScreenSize().cy, info.height);
    EXPECT_EQ("2", Value(kDesktopKey, "WallpaperStyle"));
    EXPECT_EQ("0", Value(kDesktopKey, "TileWallpaper")) << "the copy is shown centred";
    EXPECT_EQ(small, Value(kGeneralKey, "Wallpaper"));
    EXPECT_EQ(small, Value(kGeneralKey, "BackupWallpaper"));

    CComPtr<IActiveDesktop> fresh = CreateActiveDesktop();
    EXPECT_EQ(Wide(small), GetWallpaper(fresh.Get()));
    EXPECT_EQ(static_cast<DWORD>(WPSTYLE_STRETCH), GetStyle(fresh.Get()));
    EXPECT_EQ(small, ChildWallpaper(m_dir));

    // Back to centre: the bitmap itself is shown again.
    ASSERT_EQ(S_OK, Apply(small, WPSTYLE_CENTER, AD_APPLY_SAVE));
    EXPECT_EQ(small, Value(kDesktopKey, "Wallpaper"));
}

TEST_F(ApplyTest, ObjectKeepsAnsweringWhatItAppliedWhenTheRegistryChangesBehindIt)
{
    ASSERT_TRUE(SetActiveDesktop(false));
    CComPtr<IActiveDesktop> desktop = CreateActiveDesktop();
    ASSERT_TRUE(desktop);
    ASSERT_EQ(S_OK, desktop->SetWallpaper(Wide(m_bmp).c_str(), 0));
    ASSERT_EQ(S_OK, SetStyle(desktop.Get(), WPSTYLE_CENTER));
    ASSERT_EQ(S_OK, desktop->ApplyChanges(AD_APPLY_SAVE));

    // What a caller does after every normal change: the Active Desktop's own
    // wallpaper goes back.
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", "C:\\web\\start.htm");
    SetRegString(HKEY_CURRENT_USER, kDesktopKey, "WallpaperStyle", "2");
    EXPECT_EQ(Wide(m_bmp), GetWallpaper(desktop.Get()));
    EXPECT_EQ(static_cast<DWORD>(WPSTYLE_CENTER), GetStyle(desktop.Get()));

    // The refresh step: read, clear, set again, save.
    WCHAR text[MAX_PATH] = {};
    ASSERT_EQ(S_OK, desktop->GetWallpaper(text, MAX_PATH, 0));
    ASSERT_EQ(S_OK, desktop->SetWallpaper(L"", 0));
    ASSERT_EQ(S_OK, desktop->SetWallpaper(text, 0));
    ASSERT_EQ(S_OK, desktop->ApplyChanges(AD_APPLY_SAVE));
    EXPECT_EQ(m_bmp, Value(kDesktopKey, "Wallpaper"));
    EXPECT_EQ(m_bmp, Value(kGeneralKey, "Wallpaper"));
    EXPECT_EQ("0", Value(kDesktopKey, "WallpaperStyle"));
}

TEST_F(ApplyTest, NothingToShowMeansThePlainDesktopButThePathIsKept)
{
    const std::string page = m_dir / "page.htm";
    ASSERT_TRUE(WriteFileText(page, "<html><body>hello</body></html>"));
    const std::string missing = m_dir / "missing.bmp";
    const std::string notAPicture = m_dir / "broken.bmp";
    ASSERT_TRUE(WriteFileText(notAPicture, "BM this is no bitmap"));

    ASSERT_TRUE(SetActiveDesktop(true));
    ASSERT_EQ(S_OK, Apply(page, WPSTYLE_CENTER, AD_APPLY_SAVE | AD_APPLY_HTMLGEN));
    EXPECT_EQ(page, Value(kGeneralKey, "Wallpaper"));
    EXPECT_EQ("", Value(kDesktopKey, "Wallpaper"));

    ASSERT_TRUE(SetActiveDesktop(false));
    for (const std::string& path : {missing, notAPicture}) {
        for (DWORD style : {static_cast<DWORD>(WPSTYLE_CENTER), static_cast<DWORD>(WPSTYLE_STRETCH)}) {
            EXPECT_EQ(S_OK, Apply(path, style, AD_APPLY_SAVE)) << path;
            EXPECT_EQ("", Value(kDesktopKey, "Wallpaper")) << path;
            EXPECT_EQ(path, Value(kGeneralKey, "BackupWallpaper"));
            EXPECT_EQ(path, ChildWallpaper(m_dir));
        }
    }

    ASSERT_EQ(S_OK, Apply("", WPSTYLE_CENTER, AD_APPLY_SAVE));
    EXPECT_EQ("", Value(kDesktopKey, "Wallpaper"));
    EXPECT_EQ("", Value(kGeneralKey, "Wallpaper"));
    EXPECT_EQ("", SpiWallpaper());
}

TEST_F(ApplyTest, ActiveDesktopRoundTripsThroughANewProcess)
{
    ASSERT_TRUE(SetActiveDesktop(false));
    EXPECT_EQ(0, RunChild("set-active 1"));
    CComPtr<IActiveDesktop> desktop = CreateActiveDesktop();
    ASSERT_TRUE(desktop);
    COMPONENTSOPT options{};
    options.dwSize = sizeof options;
    ASSERT_EQ(S_OK, desktop->GetDesktopItemOptions(&options, 0));
    EXPECT_TRUE(options.fActiveDesktop);

    // Switching on through the usual steps, then a new process reads it.
    options.fActiveDesktop = FALSE;
    ASSERT_EQ(S_OK, desktop->SetDesktopItemOptions(&options, 0));
    ASSERT_EQ(S_OK, desktop->ApplyChanges(AD_APPLY_ALL));
    EXPECT_EQ(16 + 0, RunChild("options") & ~2);
    options.fActiveDesktop = TRUE;
    ASSERT_EQ(S_OK, desktop->SetDesktopItemOptions(&options, 0));
    ASSERT_EQ(S_OK, desktop->ApplyChanges(AD_APPLY_ALL));
    EXPECT_EQ(16 + 1, RunChild("options") & ~2);
}

}  // namespace
