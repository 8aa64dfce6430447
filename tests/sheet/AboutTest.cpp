// The About page of the settings sheet, driven from inside the sheet's modal
// loop: the links' look and cursor (before any click, which may bring the
// starting-program cursor) and their clicks (through file associations that
// start link_recorder, never the host's browser).
#include <gtest/gtest.h>

#include "GuiCounts.h"
#include "MainDialogSheet.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "controls/HyperlinkLabel.h"
#include "engine/WallpaperChanger.h"

using namespace tpx::test;

CWallpaperChanger theWallpaperChanger;

namespace {

HWND About(HWND sheet)
{
    return PageOf(sheet, 0);
}

CHyperlinkLabel* LabelOf(HWND sheet, int id)
{
    return dynamic_cast<CHyperlinkLabel*>(CWnd::FromHandlePermanent(GetDlgItem(About(sheet), id)));
}

// A click as the mouse gives it; the static control reports it on the press.
void Click(HWND sheet, int id)
{
    const HWND label = GetDlgItem(About(sheet), id);
    PostMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageA(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

class AboutPage : public MainDialogSheet {
protected:
    int Answer(HWND dialog) override
    {
        // The message box's icon control.
        m_icons.push_back(reinterpret_cast<HICON>(SendDlgItemMessageA(dialog, 0x440, STM_GETICON, 0, 0)));
        return IDOK;
    }
    std::vector<HICON> m_icons;
};

}  // namespace

TEST_F(AboutPage, ALinkShowsBlueUnderlinedTextAndTheHandAndLeavesNoFontBehind)
{
    int left = INT_MAX, right = -1, blue = 0, other = 0, widestRow = 0, before = 0, after = 0;
    HCURSOR overLink = nullptr, beside = nullptr;
    const HCURSOR hand = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_LINK_HAND));
    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    // Right of the label's left edge, or left of it over the page.  The
    // pointer is put there, and the window under it asked for its cursor as
    // the system asks at a move: the display's own move event may come late
    // on a loaded machine.
    auto pointAt = [](int dx, HCURSOR* seen) {
        return [=](HWND sheet) {
            SetForegroundWindow(sheet);
            RECT r{};
            GetWindowRect(GetDlgItem(About(sheet), IDC_LINK_WEBSITE), &r);
            const POINT pt{r.left + dx, (r.top + r.bottom) / 2};
            SetCursorPos(pt.x, pt.y);
            PumpMessages(100);
            const HWND under = WindowFromPoint(pt);
            const LRESULT hit = SendMessageA(under, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
            SendMessageA(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(hit, WM_MOUSEMOVE));
            *seen = GetCursor();
        };
    };
    Run({[&](HWND sheet) {
             const HWND label = GetDlgItem(About(sheet), IDC_LINK_SUPPORT);
             const PrintedClient shown(label, RGB(255, 255, 255));
             for (int y = 0; y < shown.height; ++y) {
                 int row = 0;
                 for (int x = 0; x < shown.width; ++x) {
                     const COLORREF p = shown.At(x, y);
                     if (p == RGB(255, 255, 255))
                         continue;
                     // Blue, or blue blended into the white behind it.
                     ++(GetBValue(p) >= 250 && std::abs(GetRValue(p) - GetGValue(p)) <= 16 ? blue : other);
                     left = std::min(left, x);
                     right = std::max(right, x);
                     ++row;
                 }
                 widestRow = std::max(widestRow, row);
             }
             // Every paint makes its font and lets it go again.
             PumpMessages(200);
             before = CountGdiObjects();
             for (int i = 0; i < 100; ++i) {
                 RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
                 const PrintedClient again(label, RGB(255, 255, 255));
             }
             after = CountGdiObjects();
         },
         pointAt(3, &overLink), pointAt(-4, &beside)});

    EXPECT_GT(blue, 50);
    EXPECT_EQ(0, other) << "ink that is not blue";
    EXPECT_GE(widestRow, (right - left) * 9 / 10) << "no underline across the text";
    ASSERT_GT(before, 0) << "the GDI handle table could not be read";
    EXPECT_LE(std::abs(after - before), 2) << before << " objects before 200 paints, " << after << " after";
    EXPECT_EQ(hand, overLink);
    EXPECT_EQ(arrow, beside);
}

TEST_F(AboutPage, LinksHandTheirTargetsToTheShellAndSayWhenNothingTakesThem)
{
    // The website through a scheme of the test's own, the addresses through
    // the mail association pointed at the recorder for the test's length.
    TempDir dir;
    const std::string opened = dir / "opened.txt";
    const std::string command = "\"" + ExeDir() + "\\link_recorder.exe\" \"" + opened + "\" \"%1\"";
    RegistrySnapshot mailto(HKEY_CLASSES_ROOT, "mailto");
    RegistrySnapshot scheme(HKEY_CLASSES_ROOT, "tpxlink");
    ASSERT_TRUE(SetRegString(HKEY_CLASSES_ROOT, "tpxlink", "URL Protocol", ""));
    for (const char* key : {"tpxlink\\shell\\open\\command", "mailto\\shell\\open\\command"})
        ASSERT_TRUE(SetRegString(HKEY_CLASSES_ROOT, key, "", command));
    const std::string unclaimed = dir / "notes.tpxnone";   // no program takes this type
    ASSERT_TRUE(WriteFileText(unclaimed, "nothing"));
    m_registry.Set("CompanyURL", "tpxlink:tapestrix.example/news?from=about");
    m_registry.Set("SupportEmail", "help@tapestrix.example");

    auto openedText = [&] {
        const std::vector<uint8_t> bytes = ReadFileBytes(opened);
        return std::string(bytes.begin(), bytes.end());
    };
    auto clickOpens = [&](int id, std::string target) {
        return [&, id, target](HWND sheet) {
            DeleteFileA(opened.c_str());
            Click(sheet, id);
            EXPECT_TRUE(WaitFor([&] { return !openedText().empty(); }, 15000)) << target;   // readable once whole
            EXPECT_EQ(target, openedText());
            EXPECT_TRUE(m_seen.empty());
        };
    };
    Run({clickOpens(IDC_LINK_WEBSITE, "tpxlink:tapestrix.example/news?from=about"),
         clickOpens(IDC_LINK_SUPPORT, "mailto:help@tapestrix.example"),
         clickOpens(IDC_LINK_COMMENTS, "mailto:comments@brindlecourt.example"),   // nothing stored
         [&](HWND sheet) {
             LabelOf(sheet, IDC_LINK_WEBSITE)->m_strLink = unclaimed.c_str();
             Click(sheet, IDC_LINK_WEBSITE);
             EXPECT_TRUE(WaitFor([&] { return !m_seen.empty(); }, 15000));
         },
         [&](HWND sheet) {
             ASSERT_EQ(1u, m_seen.size());
             EXPECT_EQ("Unable to go to link", m_seen[0].text);
             EXPECT_EQ("Tapestrix", m_seen[0].caption);
             EXPECT_EQ(sheet, m_owners[0]);
             EXPECT_EQ(LoadIconA(nullptr, IDI_HAND), m_icons[0]);
             EXPECT_TRUE(IsWindowVisible(sheet));
         }});
}
