// What Wine's desktop window shows after ApplyChanges: the pixels are read
// back from the desktop of the test prefix (the virtual desktop every program
// of the prefix runs in), waiting a bounded time for it to repaint.
#include "AdTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace tpx::test;

namespace {

const COLORREF kRed = RGB(220, 20, 20);
const COLORREF kGreen = RGB(20, 200, 20);
const COLORREF kBlue = RGB(20, 20, 220);
const COLORREF kYellow = RGB(230, 230, 20);
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kWhite = RGB(255, 255, 255);

HRESULT SetStyle(IActiveDesktop* desktop, DWORD style)
{
    WALLPAPEROPT options{};
    options.dwSize = sizeof options;
    options.dwStyle = style;
    return desktop->SetWallpaperOptions(&options, 0);
}

HRESULT Apply(IActiveDesktop* desktop, const std::string& path, DWORD style, DWORD flags)
{
    HRESULT hr = desktop->SetWallpaper(Wide(path).c_str(), 0);
    if (SUCCEEDED(hr))
        hr = SetStyle(desktop, style);
    if (SUCCEEDED(hr))
        hr = desktop->ApplyChanges(flags);
    return hr;
}

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_size = ScreenSize();
        ASSERT_GT(m_size.cx, 100);
        ASSERT_GT(m_size.cy, 100);
        m_object = CreateActiveDesktop();
        ASSERT_TRUE(m_object);
        ASSERT_TRUE(SetActiveDesktop(false));
        // Every test starts from the plain desktop, so whatever it sees is its own doing.
        ASSERT_EQ(S_OK, Apply(m_object.Get(), "", WPSTYLE_CENTER, AD_APPLY_SAVE));
        ASSERT_TRUE(WaitForDesktop({Centre(DesktopColour()), TopLeft(DesktopColour())}))
            << DescribeDesktop({Centre(DesktopColour()), TopLeft(DesktopColour())});
    }

    ExpectedPixel Centre(COLORREF c) const { return {m_size.cx / 2, m_size.cy / 2, c}; }
    ExpectedPixel TopLeft(COLORREF c) const { return {2, 2, c}; }
    ExpectedPixel TopRight(COLORREF c) const { return {m_size.cx - 3, 2, c}; }
    ExpectedPixel BottomLeft(COLORREF c) const { return {2, m_size.cy - 3, c}; }
    ExpectedPixel BottomRight(COLORREF c) const { return {m_size.cx - 3, m_size.cy - 3, c}; }

    ComScope m_com;
    DesktopScope m_desktop;
    TempDir m_dir;
    SIZE m_size{};
    CComPtr<IActiveDesktop> m_object;
};

#define EXPECT_DESKTOP(...)                                                     \
    EXPECT_TRUE(WaitForDesktop({__VA_ARGS__})) << DescribeDesktop({__VA_ARGS__})

TEST_F(DesktopTest, SaveAloneShowsANewNormalWallpaper)
{
    const std::string red = m_dir / "red.bmp", blue = m_dir / "blue.bmp";
    ASSERT_TRUE(WriteSolidBmp(red, 64, 64, kRed));
    ASSERT_TRUE(WriteSolidBmp(blue, 64, 64, kBlue));

    ASSERT_EQ(S_OK, Apply(m_object.Get(), red, WPSTYLE_CENTER, AD_APPLY_SAVE));
    EXPECT_DESKTOP(Centre(kRed), TopLeft(DesktopColour()));
    ASSERT_EQ(S_OK, Apply(m_object.Get(), blue, WPSTYLE_CENTER, AD_APPLY_SAVE));
    EXPECT_DESKTOP(Centre(kBlue), TopLeft(DesktopColour()));
}

TEST_F(DesktopTest, RewrittenBitmapIsShownWhenTheSamePathIsAppliedAgain)
{
    const std::string path = m_dir / "converted.bmp";
    ASSERT_TRUE(WriteSolidBmp(path, 64, 64, kRed));
    ASSERT_EQ(S_OK, Apply(m_object.Get(), path, WPSTYLE_CENTER, AD_APPLY_SAVE));
    EXPECT_DESKTOP(Centre(kRed));

    ASSERT_TRUE(WriteSolidBmp(path, 64, 64, kGreen));
    ASSERT_EQ(S_OK, Apply(m_object.Get(), path, WPSTYLE_CENTER, AD_APPLY_SAVE));
    EXPECT_DESKTOP(Centre(kGreen));

    // The same when the desktop shows a stretched copy of the file.
    ASSERT_TRUE(WriteSolidBmp(path, 4, 4, kYellow));
    ASSERT_EQ(S_OK, Apply(m_object.Get(), path, WPSTYLE_STRETCH, AD_APPLY_SAVE));
    EXPECT_DESKTOP(Centre(kYellow), TopLeft(kYellow));
    ASSERT_TRUE(WriteSolidBmp(path, 4, 4, kBlue));
    ASSERT_EQ(S_OK, Apply(m_object.Get(), path, WPSTYLE_STRETCH, AD_APPLY_SAVE));
    EXPECT_DESKTOP(Centre(kBlue), TopLeft(kBlue));
}

TEST_F(DesktopTest, TileCoversTheScreenCentreDoesNot)
{
    const std::string path = m_dir / "tile.bmp";
    ASSERT_TRUE(WriteSolidBmp(path, 48, 48, kGreen));
    ASSERT_EQ(S_OK, Apply(m_object.Get(), path, WPSTYLE_TILE, AD_APPLY_SAVE));
    EXPECT_DESKTOP(Centre(kGreen), TopLeft(kGreen), BottomRight(kGreen));

    ASSERT_EQ(S_OK, Apply(m_object.Get(), path, WPSTYLE_CENTER, AD_APPLY_SAVE));
    EXPECT_DESKTOP(Centre(kGreen), TopLeft(DesktopColour()), BottomRight(DesktopColour()));
}

TEST_F(DesktopTest, StretchedTwoByTwoBitmapFillsTheScreenCorners)
{
    const std::string path = m_dir / "two.bmp";
    ASSERT_TRUE(WriteBmp(path, 2, 2, [](int x, int y) {
        return y == 0 ? (x == 0 ? kRed : kGreen) : (x == 0 ? kBlue : kYellow);
    }));
    ASSERT_EQ(S_OK, Apply(m_object.Get(), path, WPSTYLE_STRETCH, AD_APPLY_SAVE));
    EXPECT_DESKTOP(TopLeft(kRed), TopRight(kGreen), BottomLeft(kBlue), BottomRight(kYellow));
}

TEST_F(DesktopTest, KeepAspectLetterboxesAndCropToFitFillsTheScreen)
{
    // 4:1, in four bands: black, red, blue, white.
    const std::string path = m_dir / "bands.bmp";
    const COLORREF bands[4] = {kBlack, kRed, kBlue, kWhite};
    ASSERT_TRUE(WriteBmp(path, 200, 50, [&](int x, int) { return bands[x / 50]; }));
    const int midY = m_size.cy / 2;

    ASSERT_EQ(S_OK, Apply(m_object.Get(), path, 3 /* WPSTYLE_KEEPASPECT */, AD_APPLY_SAVE));
    EXPECT_DESKTOP(ExpectedPixel{2, midY, kBlack}, ExpectedPixel{m_size.cx - 3, midY, kWhite},
                   TopLeft(DesktopColour()), ExpectedPixel{m_size.cx * 5 / 8, midY, kBlue});

    ASSERT_EQ(S_OK, Apply(m_object.Get(), path, 4 /* WPSTYLE_CROPTOFIT */, AD_APPLY_SAVE));
    EXPECT_DESKTOP(TopLeft(kRed), BottomLeft(kRed), TopRight(kBlue), BottomRight(kBlue));
}

TEST_F(DesktopTest, JpegOnTheActiveDesktopIsShownAsABitmap)
{
    const std::string jpeg = m_dir / "photo.jpg";
    ASSERT_TRUE(WriteJpeg(jpeg, 120, 90, [](int, int) { return RGB(240, 160, 32); }));
    ASSERT_TRUE(SetActiveDesktop(true));
    ASSERT_EQ(S_OK, Apply(m_object.Get(), jpeg, WPSTYLE_CENTER, AD_APPLY_SAVE | AD_APPLY_HTMLGEN));
    EXPECT_TRUE(WaitForDesktop({Centre(RGB(240, 160, 32)), TopLeft(DesktopColour())}, 12))
        << DescribeDesktop({Centre(RGB(240, 160, 32)), TopLeft(DesktopColour())});

    // Stretched, the converted picture fills the screen.
    ASSERT_EQ(S_OK, Apply(m_object.Get(), jpeg, WPSTYLE_STRETCH, AD_APPLY_ALL));
    EXPECT_TRUE(WaitForDesktop({Centre(RGB(240, 160, 32)), TopLeft(RGB(240, 160, 32))}, 12))
        << DescribeDesktop({Centre(RGB(240, 160, 32)), TopLeft(RGB(240, 160, 32))});
}

TEST_F(DesktopTest, PageOnTheActiveDesktopShowsThePlainColour)
{
    const std::string red = m_dir / "red.bmp", page = m_dir / "page.html";
    ASSERT_TRUE(WriteSolidBmp(red, 64, 64, kRed));
    ASSERT_TRUE(WriteFileText(page, "<html><body bgcolor=red></body></html>"));
    ASSERT_EQ(S_OK, Apply(m_object.Get(), red, WPSTYLE_CENTER, AD_APPLY_SAVE));
    EXPECT_DESKTOP(Centre(kRed));

    ASSERT_TRUE(SetActiveDesktop(true));
    ASSERT_EQ(S_OK, Apply(m_object.Get(), page, WPSTYLE_CENTER, AD_APPLY_ALL));
    EXPECT_DESKTOP(Centre(DesktopColour()));
}

TEST_F(DesktopTest, RefreshStepShowsTheAppliedBitmapAgain)
{
    const std::string path = m_dir / "wallpaper.bmp";
    ASSERT_TRUE(WriteSolidBmp(path, 64, 64, kRed));
    ASSERT_EQ(S_OK, Apply(m_object.Get(), path, WPSTYLE_CENTER, AD_APPLY_SAVE));
    EXPECT_DESKTOP(Centre(kRed));

    // Behind the object's back: another wallpaper value and another picture shown.
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", "C:\\web\\start.htm");
    ASSERT_TRUE(SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, const_cast<char*>(""), SPIF_UPDATEINIFILE));
    ASSERT_TRUE(WaitForDesktop({Centre(DesktopColour())})) << DescribeDesktop({Centre(DesktopColour())});

    WCHAR text[MAX_PATH] = {};
    ASSERT_EQ(S_OK, m_object->GetWallpaper(text, MAX_PATH, 0));
    EXPECT_EQ(Wide(path), text);
    ASSERT_EQ(S_OK, m_object->SetWallpaper(L"", 0));
    ASSERT_EQ(S_OK, m_object->SetWallpaper(text, 0));
    ASSERT_EQ(S_OK, m_object->ApplyChanges(AD_APPLY_SAVE));
    EXPECT_DESKTOP(Centre(kRed));
}

TEST_F(DesktopTest, RefreshAloneShowsTheSavedStateAgain)
{
    const std::string saved = m_dir / "saved.bmp", other = m_dir / "other.bmp";
    ASSERT_TRUE(WriteSolidBmp(saved, 64, 64, kRed));
    ASSERT_TRUE(WriteSolidBmp(other, 64, 64, kBlue));
    ASSERT_EQ(S_OK, Apply(m_object.Get(), saved, WPSTYLE_CENTER, AD_APPLY_SAVE));
    EXPECT_DESKTOP(Centre(kRed));

    // Shown for this session only, not saved.
    ASSERT_TRUE(SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, const_cast<char*>(other.c_str()), 0));
    ASSERT_TRUE(WaitForDesktop({Centre(kBlue)})) << DescribeDesktop({Centre(kBlue)});

    CComPtr<IActiveDesktop> fresh = CreateActiveDesktop();
    ASSERT_EQ(S_OK, fresh->ApplyChanges(AD_APPLY_REFRESH));
    EXPECT_DESKTOP(Centre(kRed));
}

}  // namespace
