// The display style commands and Help Topics of the running program: the
// style reaches the shell's values and Wine's desktop, and a fresh Active
// Desktop object reads it back; when the Active Desktop object cannot show
// the wallpaper in the new style, and when there is no help file, the
// user is told so.
#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>
#include <shlobj.h>

#include <string>

#include "RunningTapestrix.h"
#include "TestSupport.h"
#include "res/resource.h"

using namespace tpx::test;

namespace {

const COLORREF kRed = RGB(220, 30, 30);

using StylesAndHelp = TapestrixTest;

// The style a new Active Desktop object reports: what every program sees.
DWORD SavedStyle()
{
    DWORD style = 0xFFFF;
    IActiveDesktop* object = nullptr;
    const HRESULT init = CoInitialize(nullptr);
    if (SUCCEEDED(CoCreateInstance(CLSID_ActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveDesktop,
                                   reinterpret_cast<void**>(&object)))) {
        WALLPAPEROPT options{};
        options.dwSize = sizeof options;
        if (SUCCEEDED(object->GetWallpaperOptions(&options, 0)))
            style = options.dwStyle;
        object->Release();
    }
    if (SUCCEEDED(init))
        CoUninitialize();
    return style;
}

bool StyleValuesAre(const char* wallpaperStyle, const char* tileWallpaper)
{
    return GetRegString(HKEY_CURRENT_USER, kDesktopKey, "WallpaperStyle") == std::string(wallpaperStyle) &&
           GetRegString(HKEY_CURRENT_USER, kDesktopKey, "TileWallpaper") == std::string(tileWallpaper);
}

}  // namespace

TEST_F(StylesAndHelp, DisplayStyleCommandsChangeTheDesktop)
{
    ProviderBitmapScope providerBitmap(false);
    // A small red picture, centred to begin with.
    const std::string picture = Picture("red.bmp");
    ASSERT_TRUE(WriteSolidBmp(picture, 32, 32, kRed));
    SetRegString(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper", picture);
    SetRegString(HKEY_CURRENT_USER, kDesktopKey, "TileWallpaper", "0");
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", picture);
    StartTapestrix();
    const SIZE screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};

    m_tapestrix.Command(ID_TILE_WALLPAPER);
    ASSERT_TRUE(WaitFor([] { return StyleValuesAre("0", "1"); }, 8000));
    EXPECT_EQ(static_cast<DWORD>(WPSTYLE_TILE), SavedStyle());
    EXPECT_TRUE(WaitForDesktopColour(kSampleX, kSampleY, kRed, 8));

    m_tapestrix.Command(ID_CENTER_WALLPAPER);
    ASSERT_TRUE(WaitFor([] { return StyleValuesAre("0", "0"); }, 8000));
    EXPECT_EQ(static_cast<DWORD>(WPSTYLE_CENTER), SavedStyle());
    EXPECT_TRUE(WaitFor([&] { return !ColourNear(DesktopPixel(kSampleX, kSampleY), kRed, 8); }));
    EXPECT_TRUE(WaitForDesktopColour(screen.cx / 2, screen.cy / 2, kRed, 8));

    m_tapestrix.Command(ID_STRETCH_WALLPAPER);
    ASSERT_TRUE(WaitFor([] { return StyleValuesAre("2", "0"); }, 8000));
    EXPECT_EQ(static_cast<DWORD>(WPSTYLE_STRETCH), SavedStyle());
    EXPECT_TRUE(WaitForDesktopColour(kSampleX, kSampleY, kRed, 8));
    EXPECT_TRUE(WaitForDesktopColour(screen.cx - 100, screen.cy - 100, kRed, 8));

    // The picture the user chose stays the wallpaper throughout.
    EXPECT_EQ(std::optional<std::string>(picture), NormalWallpaper());
    EXPECT_TRUE(m_tapestrix.OpenDialogs().empty());
}

TEST_F(StylesAndHelp, StyleTheDesktopCannotShowIsReportedWithItsMessage)
{
    // The wallpaper is a JPEG, which Wine's desktop can only show through
    // a bitmap that the Active Desktop object writes; a folder stands where
    // that bitmap goes, so every style fails to be applied.
    ProviderBitmapScope providerBitmap(true);
    const std::string photo = Picture("photo.jpg");
    ASSERT_TRUE(WriteSolidJpeg(photo, 16, 16, kRed));
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", photo);
    StartTapestrix();

    const struct {
        UINT id;
        const char* message;
    } commands[] = {{ID_TILE_WALLPAPER, "Unable to tile desktop wallpaper"},
                    {ID_CENTER_WALLPAPER, "Unable to center desktop wallpaper"},
                    {ID_STRETCH_WALLPAPER, "Unable to stretch desktop wallpaper"}};
    for (const auto& c : commands) {
        m_tapestrix.Command(c.id);
        const HWND box = WaitForDialogOf(m_tapestrix.Pid(), 15000);
        ASSERT_NE(nullptr, box) << c.message;
        const DialogSeen seen = ReadDialog(box);
        EXPECT_EQ("Tapestrix", seen.caption);
        EXPECT_EQ(c.message, seen.text);
        EXPECT_EQ(m_tapestrix.Dialog(), GetWindow(box, GW_OWNER));
        PressButton(box, IDOK);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }));
    }
}

TEST_F(StylesAndHelp, HelpWithoutTheHelpFileSaysSo)
{
    ASSERT_FALSE(FileExists(ExeDir() + "\\Tapestrix.chm"));
    StartTapestrix();
    m_tapestrix.Command(ID_HELP_TOPICS);
    // The shell may say what it could not open first; then the program.
    bool told = false;
    for (int boxes = 0; boxes < 3 && !told; ++boxes) {
        const HWND box = WaitForDialogOf(m_tapestrix.Pid(), 15000);
        ASSERT_NE(nullptr, box);
        const DialogSeen seen = ReadDialog(box);
        if (seen.text == "Unable to launch help file") {
            EXPECT_EQ("Tapestrix", seen.caption);
            EXPECT_EQ(m_tapestrix.Dialog(), GetWindow(box, GW_OWNER));
            told = true;
        }
        PressButton(box, IDOK);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }));
    }
    EXPECT_TRUE(told);
}
