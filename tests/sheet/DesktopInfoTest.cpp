// The Desktop Information page in the real settings sheet, opened by the
// main dialog in this process and driven from inside the sheet's modal loop
// (one step per thread-timer tick), against the Active Desktop object of the
// test prefix: the shell's values read on every activation, the style list,
// the two Browse buttons through the real open-file dialog, and the colour
// dialog with the stored "Background" text and the swatch's pixels.

#include "MainDialogSheet.h"
#include <wininet.h>  // before shlobj.h, which hides IActiveDesktop otherwise
#include <shlobj.h>

#include "engine/WallpaperChanger.h"
#include "flow/ChangeFlow.h"

using namespace tpx::test;

CWallpaperChanger theWallpaperChanger;

namespace {

const char kColorsKey[] = "Control Panel\\Colors";

// Away to the About page and back: the page is activated again.
void Reactivate(HWND sheet)
{
    SendMessageA(sheet, PSM_SETCURSEL, 0, 0);
    SendMessageA(sheet, PSM_SETCURSEL, 1, 0);
}

// The user picks entry `index` of the style list.
void PickStyle(HWND sheet, int index)
{
    const HWND list = GetDlgItem(PageOf(sheet, 1), IDC_DISPLAY_STYLE);
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(PageOf(sheet, 1), WM_COMMAND, MAKEWPARAM(IDC_DISPLAY_STYLE, CBN_SELCHANGE), LPARAM(list));
}

// What the dialogs the page opens are answered with.
std::string g_file;            // typed into the open-file dialog; empty: Cancel
COLORREF g_colour;             // entered into the colour dialog
COLORREF g_preselected;        // what the colour dialog offered first
HWND g_dialog;

void CALLBACK AnswerLater(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (GetDlgItem(g_dialog, 0x470)) {   // cmb1: only the open-file dialog has it
        SetDlgItemTextA(g_dialog, GetDlgItem(g_dialog, 0x47C) ? 0x47C : 0x480, g_file.c_str());  // cmb13 or edt1
        PressButton(g_dialog, g_file.empty() ? IDCANCEL : IDOK);
        return;
    }
    // Its red, green and blue fields: what it offered, then the colour entered.
    g_preselected = 0;
    for (int i = 0; i < 3; ++i) {
        g_preselected |= GetDlgItemInt(g_dialog, 706 + i, nullptr, FALSE) << (8 * i);
        SetDlgItemInt(g_dialog, 706 + i, (g_colour >> (8 * i)) & 0xFF, FALSE);
    }
    PressButton(g_dialog, IDOK);
}

decltype(&SetSysColors) g_setSysColors;
BOOL WINAPI RefuseSysColors(int, const INT*, const COLORREF*)
{
    return FALSE;
}

class DesktopInformation : public MainDialogSheet {
protected:
    static void SetUpTestSuite() { theWallpaperChanger.Initialize(); }

    void SetUp() override
    {
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveDesktop,
                                         reinterpret_cast<void**>(&m_shell)));
        m_wasActive = theWallpaperChanger.IsActiveDesktopEnabled();
        m_style = theWallpaperChanger.GetDisplayStyle();
        ASSERT_TRUE(theWallpaperChanger.EnableActiveDesktop(FALSE));
        ASSERT_TRUE(theWallpaperChanger.SetDisplayStyle(DISPLAY_STYLE_TILE));
        m_registry.Set("CurrentActivePage", 1);
        MainDialogSheet::SetUp();
    }
    // Message boxes at once; the other dialogs once they show (the file
    // dialog fills its lists late).
    int Answer(HWND dialog) override
    {
        if (GetDlgItem(dialog, 0xFFFF))
            return IDOK;
        g_dialog = dialog;
        SetTimer(nullptr, 0, 100, AnswerLater);
        return 0;
    }
    void TearDown() override
    {
        MainDialogSheet::TearDown();
        theWallpaperChanger.Attach(m_shell);
        theWallpaperChanger.EnableActiveDesktop(m_wasActive);
        theWallpaperChanger.SetDisplayStyle(m_style);
        const INT element = COLOR_BACKGROUND;
        SetSysColors(1, &element, &m_background);
        m_shell->Release();
    }

    // A button of the page; its dialog is answered from the globals above.
    static void Click(HWND sheet, int id) { SendDlgItemMessageA(PageOf(sheet, 1), id, BM_CLICK, 0, 0); }

    RegistrySnapshot m_colors{HKEY_CURRENT_USER, kColorsKey};
    RegistrySnapshot m_components{HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Desktop\\Components"};
    const COLORREF m_background = GetSysColor(COLOR_BACKGROUND);
    IActiveDesktop* m_shell = nullptr;
    BOOL m_wasActive = FALSE;
    int m_style = DISPLAY_STYLE_TILE;
};

}  // namespace

TEST_F(DesktopInformation, ShowsWhatTheShellHoldsAndAppliesStyleBrowseAndColourAtOnce)
{
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", "C:\\pages\\active.htm");
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", "C:\\old\\normal.bmp");
    TempDir folder, files;
    const std::string tile = folder / "tile.bmp";
    ASSERT_TRUE(WritePicture(tile, 8, 8, RGB(200, 30, 30)));
    m_registry.Set("WallpaperFolder", folder.Path());
    const std::string sea = files / "sea.jpg", converted = files / "converted.bmp", page = files / "page.htm";
    ASSERT_TRUE(WritePicture(sea, 16, 16, RGB(0, 0, 0)));
    ASSERT_TRUE(WriteFileText(page, "<html></html>"));
    m_registry.Set("ConvertToBmp", 1);
    m_registry.Set("ConvertedBmpPath", converted);
    // A JPEG is shown by the bitmap it became.
    const std::tuple<int, std::string, int, std::string> browses[] = {
        {IDC_BROWSE_NORMAL, sea, IDC_NORMAL_WALLPAPER, converted},
        {IDC_BROWSE_ACTIVE, page, IDC_ACTIVE_WALLPAPER, page}};
    // Stored red first.
    const std::pair<COLORREF, const char*> colours[] = {{RGB(255, 0, 0), "255 0 0"}, {RGB(0, 0, 255), "0 0 255"}};
    const INT element = COLOR_BACKGROUND;
    COLORREF previous = RGB(0, 128, 128);
    SetSysColors(1, &element, &previous);
    Run({[&](HWND sheet) {
             EXPECT_EQ("C:\\pages\\active.htm", TextOf(GetDlgItem(PageOf(sheet, 1), IDC_ACTIVE_WALLPAPER)));
             EXPECT_EQ("C:\\old\\normal.bmp", TextOf(GetDlgItem(PageOf(sheet, 1), IDC_NORMAL_WALLPAPER)));
             // The list follows the engine's style, and the user's pick is
             // the engine's style at once.
             for (int style : {DISPLAY_STYLE_STRETCH, DISPLAY_STYLE_CENTER, DISPLAY_STYLE_TILE}) {
                 ASSERT_TRUE(theWallpaperChanger.SetDisplayStyle(style));
                 Reactivate(sheet);
                 EXPECT_EQ(style, SendDlgItemMessageA(PageOf(sheet, 1), IDC_DISPLAY_STYLE, CB_GETCURSEL, 0, 0));
                 PickStyle(sheet, (style + 1) % 3);
                 EXPECT_EQ((style + 1) % 3, theWallpaperChanger.GetDisplayStyle());
             }
             // A style that cannot be applied: the message over the sheet,
             // and the list shows what the engine reports (nothing).
             theWallpaperChanger.Attach(nullptr);
             PickStyle(sheet, DISPLAY_STYLE_CENTER);
             ASSERT_EQ(1u, m_seen.size());
             EXPECT_EQ("Unable to change display style", m_seen[0].text);
             EXPECT_EQ(sheet, m_owners[0]);
             EXPECT_EQ(-1, SendDlgItemMessageA(PageOf(sheet, 1), IDC_DISPLAY_STYLE, CB_GETCURSEL, 0, 0));
             theWallpaperChanger.Attach(m_shell);
         },
         [&](HWND sheet) {
             // A periodic change under the open sheet shows at once (the page
             // follows it); then the Active Desktop wallpaper gone from the
             // shell's key.
             SendMessageA(m_dlg.GetSafeHwnd(), WM_TIMER, IDT_AUTO_CHANGE, 0);
             ASSERT_EQ(tile, GetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper").value_or(""));
             EXPECT_EQ(tile, TextOf(GetDlgItem(PageOf(sheet, 1), IDC_NORMAL_WALLPAPER)));
             DeleteRegValue(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper");
             Reactivate(sheet);
             EXPECT_EQ("", TextOf(GetDlgItem(PageOf(sheet, 1), IDC_ACTIVE_WALLPAPER)));
         },
         [&](HWND sheet) {
             // The Options page, once made, follows the change.
             SendMessageA(sheet, PSM_SETCURSEL, 3, 0);
             SendMessageA(sheet, PSM_SETCURSEL, 1, 0);
             for (const auto& [button, file, field, shown] : browses) {
                 g_file = file;
                 Click(sheet, button);
                 EXPECT_EQ(shown, TextOf(GetDlgItem(PageOf(sheet, 1), field)));
                 // A failure: the message over the sheet, the field as it was.
                 theWallpaperChanger.Attach(nullptr);
                 SetDlgItemTextA(PageOf(sheet, 1), field, "as it was");
                 Click(sheet, button);
                 EXPECT_EQ(sheet, m_owners.back());
                 EXPECT_EQ("as it was", TextOf(GetDlgItem(PageOf(sheet, 1), field)));
                 theWallpaperChanger.Attach(m_shell);
             }
             EXPECT_EQ(converted, GetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper").value_or(""));
             EXPECT_TRUE(theWallpaperChanger.IsActiveDesktopEnabled());
             EXPECT_EQ(UINT(BST_CHECKED), IsDlgButtonChecked(PageOf(sheet, 3), IDC_ACTIVE_DESKTOP))
                 << "the Options page follows the change";
             // Cancel changes nothing; neither does a click while another
             // change holds the engine (no dialog at all).
             g_file.clear();
             Click(sheet, IDC_BROWSE_NORMAL);
             {
                 const CChangeGuard other;
                 Click(sheet, IDC_BROWSE_ACTIVE);
             }
             EXPECT_EQ(8u, m_seen.size());
             EXPECT_EQ(converted, TextOf(GetDlgItem(PageOf(sheet, 1), IDC_NORMAL_WALLPAPER)));
         },
         [&](HWND sheet) {
             // The swatch's middle and its black frame.
             RECT swatch{};
             GetWindowRect(GetDlgItem(PageOf(sheet, 1), IDC_COLOR_SWATCH), &swatch);
             MapWindowPoints(nullptr, PageOf(sheet, 1), reinterpret_cast<POINT*>(&swatch), 2);
             for (const auto& [colour, stored] : colours) {
                 g_colour = colour;
                 Click(sheet, IDC_CHANGE_COLOR);
                 EXPECT_EQ(previous, g_preselected) << stored;
                 EXPECT_EQ(colour, GetSysColor(COLOR_BACKGROUND)) << stored;
                 EXPECT_EQ(stored, GetRegString(HKEY_CURRENT_USER, kColorsKey, "Background").value_or(""));
                 const PrintedClient printed(PageOf(sheet, 1), RGB(1, 2, 3));
                 EXPECT_EQ(colour, printed.At((swatch.left + swatch.right) / 2, (swatch.top + swatch.bottom) / 2));
                 EXPECT_EQ(RGB(1, 2, 3), printed.At(swatch.left, swatch.top)) << "painted over the frame";
                 previous = colour;
             }
             // A colour the system refuses is not stored.
             ASSERT_TRUE(PatchImport("SetSysColors", reinterpret_cast<void*>(RefuseSysColors), &g_setSysColors));
             g_colour = RGB(10, 20, 30);
             Click(sheet, IDC_CHANGE_COLOR);
             PatchImport("SetSysColors", reinterpret_cast<void*>(g_setSysColors), &g_setSysColors);
             EXPECT_EQ("0 0 255", GetRegString(HKEY_CURRENT_USER, kColorsKey, "Background").value_or(""));
         }});
    EXPECT_EQ(11u, m_seen.size());
}
