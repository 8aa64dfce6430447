// The desktop service against the Active Desktop object registered in the
// test prefix (tpxactivedesktop.dll): what Wine's desktop shows afterwards.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "engine/WallpaperChanger.h"

namespace tpx::test {

TEST(Provider, NormalChangeShowsTheBitmapAndKeepsTheActiveDesktopWallpaper)
{
    AppRegistryScope registry;
    RegistrySnapshot components(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Desktop\\Components");
    TempDir dir;
    CWallpaperChanger changer;
    ASSERT_TRUE(changer.Initialize()) << "tpxactivedesktop.dll is not registered in the prefix";
    ASSERT_TRUE(changer.EnableActiveDesktop(FALSE) && changer.SetDisplayStyle(DISPLAY_STYLE_TILE));
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", "C:\\pages\\active.htm");
    const COLORREF colour = RGB(40, 170, 110);  // no other test shows it, so no earlier picture can pass
    ASSERT_TRUE(WriteSolidBmp(dir / "tile.bmp", 32, 32, colour));

    ASSERT_TRUE(changer.SetNormalWallpaper((dir / "tile.bmp").c_str()));
    const HDC screen = GetDC(nullptr);
    EXPECT_TRUE(WaitFor([&] {
        return ColourNear(GetPixel(screen, 3, 3), colour, 40) &&
               ColourNear(GetPixel(screen, GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2), colour, 40);
    }, 10000)) << "the desktop does not show the bitmap";
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(GetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper"), "C:\\pages\\active.htm");
    EXPECT_FALSE(changer.IsActiveDesktopEnabled());
}

}  // namespace tpx::test
