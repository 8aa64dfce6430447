// "New Wallpaper" in the running program, as a double-click on its tray
// icon: the sequential walk through the wallpaper folder, the converted
// JPEG and the walk going on after it, the random choice, and the manual
// choice in the open-file dialog.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RunningTapestrix.h"
#include "TestSupport.h"
#include "res/resource.h"

using namespace tpx::test;

namespace {

const COLORREF kRed = RGB(220, 30, 30);
const COLORREF kGreen = RGB(30, 200, 60);
const COLORREF kBlue = RGB(40, 60, 220);
const COLORREF kYellow = RGB(240, 220, 20);
const COLORREF kPurple = RGB(150, 40, 170);

using NewWallpaper = TapestrixTest;

// The file name edit of an open-file dialog of another process: edt1, or
// the edit inside the combo box cmb13 (Wine puts that in a ComboBoxEx).
HWND FileNameEdit(HWND dialog)
{
    if (HWND edit = GetDlgItem(dialog, 0x480))
        return edit;
    for (HWND inner = GetDlgItem(dialog, 0x47C); inner; inner = FindWindowExA(inner, nullptr, nullptr, nullptr)) {
        char cls[32] = {};
        GetClassNameA(inner, cls, sizeof cls);
        if (lstrcmpiA(cls, "Edit") == 0)
            return inner;
    }
    return nullptr;
}

}  // namespace

TEST_F(NewWallpaper, SequentialWalksTheFolderInNameOrderAndWraps)
{
    // Made out of order, in mixed case, with a sub-folder and a JPEG that
    // does not count while conversion is off.
    ASSERT_TRUE(MakeDirs(Picture("c")));
    ASSERT_TRUE(WriteSolidBmp(Picture("e.bmp"), 16, 16, kPurple));
    ASSERT_TRUE(WriteSolidBmp(Picture("c\\c1.bmp"), 16, 16, kBlue));
    ASSERT_TRUE(WriteSolidBmp(Picture("B.bmp"), 16, 16, kGreen));
    ASSERT_TRUE(WriteSolidJpeg(Picture("d.jpg"), 16, 16, kYellow));
    ASSERT_TRUE(WriteSolidBmp(Picture("a.bmp"), 16, 16, kRed));
    m_scope.Set("Selection", 2);
    m_scope.Set("ConvertToBmp", 0);
    StartTapestrix();

    const struct {
        const char* name;
        COLORREF colour;
    } walk[] = {{"a.bmp", kRed}, {"B.bmp", kGreen}, {"c\\c1.bmp", kBlue}, {"e.bmp", kPurple}, {"a.bmp", kRed}};
    for (const auto& step : walk) {
        m_tapestrix.DoubleClickTray();
        ASSERT_TRUE(WaitForNormalWallpaper(Picture(step.name)))
            << step.name << " expected, the shell has " << NormalWallpaper().value_or("(none)");
        // A bitmap is shown as it is, tiled over the whole desktop.
        EXPECT_EQ(std::optional<std::string>(Picture(step.name)), ShownWallpaper());
        EXPECT_TRUE(WaitForDesktopColour(kSampleX, kSampleY, step.colour, 8))
            << step.name << ": desktop shows " << std::hex << DesktopPixel(kSampleX, kSampleY);
        // The Active Desktop's own wallpaper is left as it was.
        EXPECT_EQ(std::optional<std::string>(""), GetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper"));
    }
    EXPECT_TRUE(m_tapestrix.OpenDialogs().empty());
}

TEST_F(NewWallpaper, JpegIsShownConvertedAndTheWalkGoesOnAfterIt)
{
    ASSERT_TRUE(WriteSolidBmp(Picture("a.bmp"), 16, 16, kRed));
    ASSERT_TRUE(WriteSolidJpeg(Picture("b.jpg"), 16, 16, kYellow));
    ASSERT_TRUE(WriteSolidBmp(Picture("c.bmp"), 16, 16, kBlue));
    m_scope.Set("Selection", 2);
    m_scope.Set("ConvertToBmp", 1);
    StartTapestrix();

    m_tapestrix.DoubleClickTray();
    ASSERT_TRUE(WaitForNormalWallpaper(Picture("a.bmp")));

    m_tapestrix.DoubleClickTray();
    ASSERT_TRUE(WaitForNormalWallpaper(m_converted)) << NormalWallpaper().value_or("(none)");
    EXPECT_EQ(std::optional<std::string>(Picture("b.jpg")),
              GetRegString(HKEY_CURRENT_USER, kAppKey, "BmpConvertedFrom"));
    const BitmapInfo info = ReadBmpInfo(m_converted);
    EXPECT_TRUE(info.ok);
    EXPECT_EQ(16, info.width);
    EXPECT_TRUE(ColourNear(kYellow, ReadBmpPixel(m_converted, 8, 8), 16));
    EXPECT_TRUE(WaitForDesktopColour(kSampleX, kSampleY, kYellow, 16))
        << "desktop shows " << std::hex << DesktopPixel(kSampleX, kSampleY);

    // The walk stands at the JPEG, not at the bitmap made from it.
    m_tapestrix.DoubleClickTray();
    ASSERT_TRUE(WaitForNormalWallpaper(Picture("c.bmp"))) << NormalWallpaper().value_or("(none)");
    EXPECT_TRUE(WaitForDesktopColour(kSampleX, kSampleY, kBlue, 8));
    m_tapestrix.DoubleClickTray();
    ASSERT_TRUE(WaitForNormalWallpaper(Picture("a.bmp")));
    EXPECT_TRUE(WaitForDesktopColour(kSampleX, kSampleY, kRed, 8));
}

TEST_F(NewWallpaper, RandomWithOneUsableFileAlwaysPicksIt)
{
    ASSERT_TRUE(WriteSolidBmp(Picture("only.bmp"), 16, 16, kGreen));
    ASSERT_TRUE(WriteFileText(Picture("notes.txt"), "not a picture"));
    ASSERT_TRUE(WriteSolidJpeg(Picture("photo.jpg"), 16, 16, kYellow));   // conversion is off
    ASSERT_TRUE(WriteFileText(Picture("x.jpeg"), "never listed"));
    m_scope.Set("Selection", 1);
    m_scope.Set("ConvertToBmp", 0);
    StartTapestrix();

    for (int click = 0; click < 4; ++click) {
        // Forget the last pick, so each click has to make its own.
        SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", "elsewhere");
        m_tapestrix.DoubleClickTray();
        ASSERT_TRUE(WaitForNormalWallpaper(Picture("only.bmp"))) << click << ": " << NormalWallpaper().value_or("");
    }
    EXPECT_TRUE(WaitForDesktopColour(kSampleX, kSampleY, kGreen, 8));
}

TEST_F(NewWallpaper, ManualChoiceOpensTheFileDialogAndTakesAnyFile)
{
    ASSERT_TRUE(WriteSolidBmp(Picture("in-folder.bmp"), 16, 16, kRed));
    const std::string chosen = m_work / "chosen.bmp";   // outside the folder
    ASSERT_TRUE(WriteSolidBmp(chosen, 16, 16, kBlue));
    m_scope.Set("Selection", 0);
    StartTapestrix();

    // Cancelled: nothing changes.
    m_tapestrix.DoubleClickTray();
    HWND dialog = WaitForDialogOf(m_tapestrix.Pid());
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ("Select normal desktop wallpaper", ReadDialog(dialog).caption);
    EXPECT_EQ(m_tapestrix.Dialog(), GetWindow(dialog, GW_OWNER));
    PressButton(dialog, IDCANCEL);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    ASSERT_TRUE(m_tapestrix.Flush());
    EXPECT_EQ(std::optional<std::string>(""), NormalWallpaper());

    // A file typed in and confirmed becomes the wallpaper.
    m_scope.Set("Selection", 0);
    m_tapestrix.DoubleClickTray();
    dialog = WaitForDialogOf(m_tapestrix.Pid());
    ASSERT_NE(nullptr, dialog);
    const HWND edit = FileNameEdit(dialog);
    ASSERT_NE(nullptr, edit);
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen.c_str()));
    PressButton(dialog, IDOK);
    ASSERT_TRUE(WaitForNormalWallpaper(chosen)) << NormalWallpaper().value_or("(none)");
    EXPECT_TRUE(WaitForDesktopColour(kSampleX, kSampleY, kBlue, 8));
    EXPECT_TRUE(WaitFor([&] { return m_tapestrix.OpenDialogs().empty(); }));
}

TEST_F(NewWallpaper, ManualChoiceOpensNothingWhenTheFolderHasNoPicture)
{
    ASSERT_TRUE(WriteFileText(Picture("notes.txt"), "not a picture"));
    ASSERT_TRUE(WriteFileText(Picture("page.htm"), "<html></html>"));
    StartTapestrix();   // "Selection" absent: manual

    m_tapestrix.DoubleClickTray();
    m_tapestrix.Command(ID_NEW_WALLPAPER);
    // Had either opened the file dialog, it would be open by now.
    ASSERT_TRUE(m_tapestrix.Flush());
    EXPECT_TRUE(m_tapestrix.OpenDialogs().empty());

    // A folder that does not exist: nothing either.
    m_scope.Set("WallpaperFolder", Picture("missing"));
    DeleteRegValue(HKEY_CURRENT_USER, kAppKey, "Selection");
    m_tapestrix.DoubleClickTray();
    ASSERT_TRUE(m_tapestrix.Flush());
    EXPECT_TRUE(m_tapestrix.OpenDialogs().empty());
    EXPECT_EQ(std::optional<std::string>(""), NormalWallpaper());
}
