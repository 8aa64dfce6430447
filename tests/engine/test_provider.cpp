// The desktop service against the Active Desktop object registered in the
// test prefix (tpxactivedesktop.dll): what Wine's desktop shows afterwards.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "engine/WallpaperChanger.h"

namespace tpx::test {
namespace {

TEST(Provider, NormalChangeShowsTheBitmapAndKeepsTheActiveDesktopWallpaper)
{
    AppRegistryScope registry;
    RegistrySnapshot components(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Desktop\\Components");
    TempDir dir;
    CWallpaperChanger changer;
    if (!changer.Initialize()) {
        if (!FileExists(ExeDir() + "\\tpxactivedesktop.dll"))
            GTEST_SKIP() << "the Active Desktop object (tpxactivedesktop.dll) is not built";
        FAIL() << "the Active Desktop object is built but could not be created";
    }
    ASSERT_TRUE(changer.EnableActiveDesktop(FALSE));
    ASSERT_TRUE(changer.SetDisplayStyle(DISPLAY_STYLE_TILE));
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", "C:\\pages\\active.htm");
    const COLORREF colour = RGB(40, 170, 110);  // shown by no other test, so no earlier picture passes
    ASSERT_TRUE(WriteSolidBmp(dir / "tile.bmp", 32, 32, colour));

    ASSERT_TRUE(changer.SetNormalWallpaper((dir / "tile.bmp").c_str()));
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2, y = GetSystemMetrics(SM_CYSCREEN) / 2;
    const auto shows = [&](int px, int py) {
        const HDC dc = GetDC(nullptr);
        const COLORREF shown = GetPixel(dc, px, py);
        ReleaseDC(nullptr, dc);
        return ColourNear(shown, colour, 40);
    };
    EXPECT_TRUE(WaitFor([&] { return shows(x, y) && shows(3, 3); }, 10000)) << "the desktop does not show the bitmap";
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper"), "C:\\pages\\active.htm");
    EXPECT_FALSE(changer.IsActiveDesktopEnabled());
}

}  // namespace
}  // namespace tpx::test
