// Every text of the settings sheet whole.  Each setting of the table runs
// this program again as a child with that DPI ("LogPixels") and that face
// behind "Arial" in the registry, which a process reads when it starts; it
// opens the sheet through the main dialog, shows every page and
// measures each control's text in the control's own font against the room
// the control gives it, the tabs' titles and icons against their tabs, the
// tabs' rows, and the sheet against the work area of a common screen; then
// the same for the sheet told it moved to a monitor of another DPI.
#include "MainDialogSheet.h"

#include "controls/CaptionFrame.h"
#include "engine/WallpaperChanger.h"
#include "framework/Gdi.h"

using namespace tpx::test;

// The one engine, as the program defines it.
CWallpaperChanger theWallpaperChanger;

namespace {

const char kReplacementsKey[] = "Software\\Wine\\Fonts\\Replacements";

int TextWidth(HWND window, HFONT font, const std::string& text)
{
    HDC dc = GetDC(window);
    const HGDIOBJ previous = SelectObject(dc, font);
    RECT extent{};
    DrawTextA(dc, text.c_str(), -1, &extent, DT_SINGLELINE | DT_CALCRECT);
    SelectObject(dc, previous);
    ReleaseDC(window, dc);
    return extent.right - extent.left;
}

// Every control inside what the sheet shows of the page.  What a control's
// text may take of its width: a check box or radio button keeps its box and
// the gap after it, a push button its edges, a frame its caption's indent on
// both sides.
void CheckPage(HWND page, UINT dpi)
{
    const std::string name = TextOf(page);
    RECT shown{}, tab{};
    GetWindowRect(page, &shown);
    GetWindowRect(PropSheet_GetTabControl(GetParent(page)), &tab);
    IntersectRect(&shown, &shown, &tab);
    const LRESULT sheetFont = SendMessageA(PropSheet_GetTabControl(GetParent(page)), WM_GETFONT, 0, 0);
    for (HWND control = GetWindow(page, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        RECT where{}, inside{};
        GetWindowRect(control, &where);
        IntersectRect(&inside, &where, &shown);
        EXPECT_TRUE(EqualRect(&inside, &where)) << name << ": control " << GetDlgCtrlID(control) << " is cut off";
        const std::string text = TextOf(control);
        char kind[64] = "";
        GetClassNameA(control, kind, sizeof kind);
        const LONG style = GetWindowLongA(control, GWL_STYLE);
        // A picture's static holds a resource's number, not a text (under
        // UTF-8 it reads back as one).
        const bool picture = (style & SS_TYPEMASK) == SS_ICON || (style & SS_TYPEMASK) == SS_BITMAP;
        const bool button = std::string(kind) == "Button";
        if (text.empty() || !(button || (std::string(kind) == "Static" && !picture)))
            continue;
        RECT client{};
        GetClientRect(control, &client);
        int room = client.right;
        HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
        EXPECT_EQ(sheetFont, reinterpret_cast<LRESULT>(font)) << name << ": \"" << text << "\" in another font";
        std::string measured = text;
        const auto* frame = dynamic_cast<CCaptionFrame*>(CWnd::FromHandlePermanent(control));
        const LONG type = style & BS_TYPEMASK;
        if (button && type == BS_GROUPBOX && frame) {
            font = frame->m_pFont->GetSafeHandle();
            measured = " " + text + " ";
            room -= 2 * frame->m_nIndent;
        } else if (button && (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                              type == BS_AUTORADIOBUTTON)) {
            room -= ScaleForDpi(22, dpi);   // the box, the gap and the focus frame
        } else if (button && type != BS_GROUPBOX) {
            room -= ScaleForDpi(6, dpi);
        }
        const int need = TextWidth(control, font, measured);
        EXPECT_LE(need, room) << name << ": \"" << text << "\" needs more pixels than it has";
    }
}

void CheckTabsAndSheet(HWND sheet, UINT dpi)
{
    const HWND tab = PropSheet_GetTabControl(sheet);
    EXPECT_EQ(1, TabCtrl_GetRowCount(tab)) << "rows of tabs";
    int iconWidth = 0, iconHeight = 0;
    if (HIMAGELIST images = TabCtrl_GetImageList(tab))
        ImageList_GetIconSize(images, &iconWidth, &iconHeight);
    const auto font = reinterpret_cast<HFONT>(SendMessageA(tab, WM_GETFONT, 0, 0));
    LOGFONTA shown{};
    GetObjectA(font, sizeof shown, &shown);
    EXPECT_EQ(ScaleForDpi(14, dpi), shown.lfHeight) << "the sheet's font";   // 14 and 16 at 96 DPI
    EXPECT_EQ(ScaleForDpi(16, dpi), iconWidth) << "the tab icons";
    for (int i = 0; i < TabCtrl_GetItemCount(tab); ++i) {
        RECT rect{};
        TabCtrl_GetItemRect(tab, i, &rect);
        // The page's title is its tab's; the control pads before, between
        // and after icon and title.
        const std::string title = TextOf(PageOf(sheet, i));
        EXPECT_LE(TextWidth(tab, font, title) + iconWidth + 18, rect.right - rect.left) << "tab " << title;
    }
    // The work area of 1366 x 768 at 96 DPI, of 1920 x 1080 at 144 and of
    // 2560 x 1440 at 192, each less a taskbar.
    const SIZE area = dpi >= 192 ? SIZE{2560, 1360} : dpi >= 144 ? SIZE{1920, 1020} : SIZE{1366, 728};
    RECT window{};
    GetWindowRect(sheet, &window);
    EXPECT_LE(window.right - window.left, area.cx) << "the sheet's width";
    EXPECT_LE(window.bottom - window.top, area.cy) << "the sheet's height";
}

class SheetLayout : public MainDialogSheet {};

}  // namespace

// The sheet in this process's setting: the prefix's own in a plain run, and
// each of the table's in a child.
TEST_F(SheetLayout, InThisProcess)
{
    // Only the page the sheet opens on is made before it is shown.
    std::vector<SheetStep> steps{[](HWND sheet) {
        EXPECT_TRUE(PageOf(sheet, 0) && !PageOf(sheet, 1) && !PageOf(sheet, 2) && !PageOf(sheet, 3));
    }};
    for (int page = 0; page < 4; ++page) {
        steps.push_back([page](HWND sheet) { SendMessageA(sheet, PSM_SETCURSEL, page, 0); });
        steps.push_back([page](HWND sheet) {
            PumpMessages(20);
            CheckPage(PageOf(sheet, page), GetWindowDpi(sheet));
        });
    }
    steps.push_back([](HWND sheet) {
        CheckTabsAndSheet(sheet, GetWindowDpi(sheet));
        // Opened from the tray, in the middle of the work area, never above or
        // left of it.
        RECT area{}, window{};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
        GetWindowRect(sheet, &window);
        EXPECT_EQ(std::max(area.left, (area.left + area.right - (window.right - window.left)) / 2), window.left);
        EXPECT_EQ(std::max(area.top, (area.top + area.bottom - (window.bottom - window.top)) / 2), window.top);
    });
    // Moved to a monitor of another DPI: the sheet takes the rectangle the
    // system suggests, its font and tabs follow.
    steps.push_back([](HWND sheet) {
        const UINT dpi = GetWindowDpi(sheet), to = dpi == 96 ? 144 : 96;
        RECT window{};
        GetWindowRect(sheet, &window);
        const RECT suggested{0, 0, MulDiv(window.right - window.left, to, dpi),
                             MulDiv(window.bottom - window.top, to, dpi)};
        SendMessageA(sheet, WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
        GetWindowRect(sheet, &window);
        EXPECT_TRUE(EqualRect(&suggested, &window));
        CheckTabsAndSheet(sheet, to);
        for (int page = 0; page < 4; ++page)
            CheckPage(PageOf(sheet, page), to);
    });
    Run(steps);
}

TEST(SheetLayoutSetups, EveryTextWholeAtEachDpiAndFace)
{
    // Both values put back however the test ends.
    const RegistrySnapshot desktop(HKEY_CURRENT_USER, kDesktopKey), fonts(HKEY_CURRENT_USER, kReplacementsKey);
    // Arial's metrics, and the face Wine falls back to without them.
    const std::pair<DWORD, const char*> setups[] = {{96, "Liberation Sans"},  {120, "Liberation Sans"},
                                                    {144, "Liberation Sans"}, {192, "Liberation Sans"},
                                                    {96, "DejaVu Sans"},      {144, "DejaVu Sans"}};
    for (const auto& [dpi, face] : setups) {
        ASSERT_TRUE(SetRegDword(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", dpi));
        ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kReplacementsKey, "Arial", face));
        ChildProcess child;
        DWORD code = 1;
        ASSERT_TRUE(child.Start(ExeDir() + "\\sheet_layout.exe", "--gtest_filter=SheetLayout.InThisProcess"));
        EXPECT_TRUE(child.WaitExit(120000, &code));
        // The child's failures, in its output above, name what does not fit.
        EXPECT_EQ(0u, code) << dpi << " DPI, " << face;
    }
}
