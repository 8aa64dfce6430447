// The desktop service against the Active Desktop object registered in the
// test prefix (tpxactivedesktop.dll): what Wine's desktop shows after each
// kind of change, read back from the screen.
#include <gtest/gtest.h>

#include <optional>

#include "EngineTestEnv.h"
#include "PictureFiles.h"
#include "TestSupport.h"
#include "engine/Conversion.h"
#include "engine/WallpaperChanger.h"

namespace tpx::test {
namespace {

const char kComponentsKey[] = "Software\\Microsoft\\Internet Explorer\\Desktop\\Components";

COLORREF DesktopPixel(int x, int y)
{
    const HWND desktop = GetDesktopWindow();
    const HDC dc = GetDC(desktop);
    if (!dc)
        return CLR_INVALID;
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(desktop, dc);
    return colour;
}

struct Point {
    int x;
    int y;
};

// Waits (bounded) until the desktop shows `colour` at every point.
::testing::AssertionResult DesktopShows(COLORREF colour, std::initializer_list<Point> points)
{
    const bool shown = WaitFor(
        [&] {
            for (const Point& p : points)
                if (!ColourNear(DesktopPixel(p.x, p.y), colour, 40))
                    return false;
            return true;
        },
        10000);
    if (shown)
        return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure();
    for (const Point& p : points)
        failure << "(" << p.x << "," << p.y << ") shows " << std::hex << DesktopPixel(p.x, p.y) << "; ";
    return failure << "wanted " << std::hex << colour;
}

// The shell's state before the test, put back through the object itself at
// the end so that Wine's desktop shows it again.
class DesktopRestorer {
public:
    DesktopRestorer()
    {
        if (FAILED(CoCreateInstance(CLSID_ActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveDesktop,
                                    reinterpret_cast<void**>(&m_desktop))))
            return;
        m_options.dwSize = sizeof m_options;
        m_style.dwSize = sizeof m_style;
        m_desktop->GetWallpaper(m_wallpaper, MAX_PATH, 0);
        m_desktop->GetWallpaperOptions(&m_style, 0);
        m_desktop->GetDesktopItemOptions(&m_options, 0);
    }
    ~DesktopRestorer()
    {
        if (!m_desktop)
            return;
        m_desktop->SetDesktopItemOptions(&m_options, 0);
        m_desktop->SetWallpaperOptions(&m_style, 0);
        m_desktop->SetWallpaper(m_wallpaper, 0);
        m_desktop->ApplyChanges(AD_APPLY_ALL);
        m_desktop->Release();
    }
    DesktopRestorer(const DesktopRestorer&) = delete;
    DesktopRestorer& operator=(const DesktopRestorer&) = delete;

private:
    IActiveDesktop* m_desktop = nullptr;
    WCHAR m_wallpaper[MAX_PATH] = {};
    WALLPAPEROPT m_style = {};
    COMPONENTSOPT m_options = {};
};

class ProviderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_registry.emplace();
        m_components.emplace(HKEY_CURRENT_USER, kComponentsKey);

        if (!changer.Initialize()) {
            if (!FileExists(ExeDir() + "\\tpxactivedesktop.dll"))
                GTEST_SKIP() << "the Active Desktop object (tpxactivedesktop.dll) is not built yet";
            FAIL() << "the Active Desktop object is built but could not be created";
        }
        m_restorer.emplace();
        const int width = GetSystemMetrics(SM_CXSCREEN);
        const int height = GetSystemMetrics(SM_CYSCREEN);
        centre = {width / 2, height / 2};
        ASSERT_TRUE(changer.EnableActiveDesktop(FALSE));
    }
    void TearDown() override
    {
        m_restorer.reset();
        m_components.reset();
        m_registry.reset();
    }

    static void Set(const char* name, DWORD value) { SetRegDword(HKEY_CURRENT_USER, kAppKey, name, value); }
    static void Set(const char* name, const std::string& value) { SetRegString(HKEY_CURRENT_USER, kAppKey, name, value); }

    TestApplication app;
    TempDir dir;
    CWallpaperChanger changer;
    Point centre{};

private:
    std::optional<EngineRegistryScope> m_registry;
    std::optional<RegistrySnapshot> m_components;
    std::optional<DesktopRestorer> m_restorer;
};

TEST_F(ProviderTest, DisplayStyleRoundTrips)
{
    for (int style : {0, 1, 2, 0}) {
        EXPECT_TRUE(changer.SetDisplayStyle(style));
        EXPECT_EQ(changer.GetDisplayStyle(), style);
    }
    EXPECT_FALSE(changer.SetDisplayStyle(3));
}

TEST_F(ProviderTest, EnableActiveDesktopSwitchesIt)
{
    EXPECT_FALSE(changer.IsActiveDesktopEnabled());
    EXPECT_TRUE(changer.EnableActiveDesktop(TRUE));
    EXPECT_TRUE(changer.IsActiveDesktopEnabled());
    EXPECT_TRUE(changer.EnableActiveDesktop(FALSE));
    EXPECT_FALSE(changer.IsActiveDesktopEnabled());
}

TEST_F(ProviderTest, NormalChangeShowsTheBitmapAndKeepsTheActiveDesktopWallpaper)
{
    const std::string green = dir / "green.bmp";
    ASSERT_TRUE(WriteSolidBmp(green, 32, 32, kGreen));
    ASSERT_TRUE(changer.SetDisplayStyle(0));  // applies, which stores "Wallpaper" too
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", "C:\\pages\\active.htm");

    ASSERT_TRUE(changer.SetNormalWallpaper(green.c_str()));
    EXPECT_TRUE(DesktopShows(kGreen, {{centre.x, centre.y}, {3, 3}, {200, 600}}));
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper"), "C:\\pages\\active.htm");
    EXPECT_FALSE(changer.IsActiveDesktopEnabled());
}

TEST_F(ProviderTest, NormalChangeWithActiveDesktopOnLeavesItMarkedOn)
{
    const std::string blue = dir / "blue.bmp";
    ASSERT_TRUE(WriteSolidBmp(blue, 32, 32, kBlue));
    ASSERT_TRUE(changer.EnableActiveDesktop(TRUE));
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", "C:\\pages\\active.htm");

    ASSERT_TRUE(changer.SetNormalWallpaper(blue.c_str()));
    EXPECT_TRUE(changer.IsActiveDesktopEnabled());
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper"), "C:\\pages\\active.htm");
}

TEST_F(ProviderTest, ConvertedPictureIsShownAgainAfterTheBitmapWasRewritten)
{
    Set("ConvertToBmp", 1);
    Set("ConvertedBmpPath", dir / "converted.bmp");
    ASSERT_TRUE(changer.SetDisplayStyle(0));
    ASSERT_TRUE(WriteJpeg(dir / "red.jpg", 48, 48, [](int, int) { return kRed; }));
    ASSERT_TRUE(WriteJpeg(dir / "yellow.jpg", 48, 48, [](int, int) { return kYellow; }));

    for (const auto& [name, colour] : {std::pair<const char*, COLORREF>{"red.jpg", kRed}, {"yellow.jpg", kYellow}}) {
        SCOPED_TRACE(name);
        CString path = (dir / name).c_str();
        ASSERT_EQ(ConvertToBitmap(path), CONVERT_DONE);
        ASSERT_TRUE(changer.SetNormalWallpaper(path));
        ASSERT_TRUE(changer.RefreshWallpaper());
        EXPECT_TRUE(DesktopShows(colour, {{centre.x, centre.y}, {3, 3}}));
    }
}

TEST_F(ProviderTest, ActiveDesktopWallpaperSwitchesActiveDesktopOnAndIsShown)
{
    // A colour no other test shows, so what was shown before cannot pass.
    const COLORREF magenta = RGB(200, 40, 200);
    ASSERT_TRUE(WriteJpeg(dir / "page.jpg", 200, 200, [&](int, int) { return magenta; }));
    ASSERT_TRUE(changer.SetActiveDesktopWallpaper((dir / "page.jpg").c_str()));
    EXPECT_TRUE(changer.IsActiveDesktopEnabled());
    EXPECT_TRUE(DesktopShows(magenta, {{centre.x, centre.y}}));
}

}  // namespace
}  // namespace tpx::test
