// The About page of the settings sheet, driven from inside the sheet's modal
// loop: the links' look and cursor (before any click, which may bring the
// starting-program cursor) and their clicks (through file associations whose
// command echoes its target into a file, never the host's browser).

#include "MainDialogSheet.h"

#include <algorithm>
#include <cstdlib>

#include "controls/HyperlinkLabel.h"
#include "engine/WallpaperChanger.h"

using namespace tpx::test;

CWallpaperChanger theWallpaperChanger;

namespace {

// The label's ink as the user sees it: blue, or blue blended into the white
// behind it, and one row (the underline) across the whole text.  Every paint
// makes its font and lets it go again.
void ExpectBlueUnderlinedInkAndNoFontLeft(HWND label)
{
    const PrintedClient shown(label, RGB(255, 255, 255));
    int left = shown.width, right = -1, blue = 0, other = 0, widestRow = 0;
    for (int y = 0; y < shown.height; ++y) {
        int row = 0;
        for (int x = 0; x < shown.width; ++x) {
            const COLORREF p = shown.At(x, y);
            if (p == RGB(255, 255, 255))
                continue;
            ++(GetBValue(p) >= 250 && std::abs(GetRValue(p) - GetGValue(p)) <= 16 ? blue : other);
            left = std::min(left, x);
            right = std::max(right, x);
            ++row;
        }
        widestRow = std::max(widestRow, row);
    }
    EXPECT_GT(blue, 50);
    EXPECT_EQ(0, other) << "ink that is not blue";
    EXPECT_GE(widestRow, (right - left) * 9 / 10) << "no underline across the text";
    PumpMessages(200);
    const int before = CountGdiObjects();
    ASSERT_GT(before, 0) << "the GDI handle table could not be read";
    for (int i = 0; i < 100; ++i) {
        RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        const PrintedClient again(label, RGB(255, 255, 255));
    }
    EXPECT_LE(std::abs(CountGdiObjects() - before), 2) << "objects before 200 paints: " << before;
}

class AboutPage : public MainDialogSheet {
protected:
    int Answer(HWND dialog) override
    {
        // The message box's icon control.
        m_icon = reinterpret_cast<HICON>(SendDlgItemMessageA(dialog, 0x440, STM_GETICON, 0, 0));
        return IDOK;
    }
    HICON m_icon = nullptr;
};

}  // namespace

TEST_F(AboutPage, LinksShowBlueUnderlinedWithTheHandAndHandTheirTargetsToTheShell)
{
    // The website through a scheme of the test's own, the addresses through
    // the mail association, both pointed at cmd's echo for the test's length.
    TempDir dir;
    const std::string opened = dir / "opened.txt";
    const std::string command = "cmd.exe /c echo %1>\"" + opened + "\"";
    RegistrySnapshot mailto(HKEY_CLASSES_ROOT, "mailto");
    RegistrySnapshot scheme(HKEY_CLASSES_ROOT, "tpxlink");
    ASSERT_TRUE(SetRegString(HKEY_CLASSES_ROOT, "tpxlink", "URL Protocol", ""));
    for (const char* key : {"tpxlink\\shell\\open\\command", "mailto\\shell\\open\\command"})
        ASSERT_TRUE(SetRegString(HKEY_CLASSES_ROOT, key, "", command));
    const std::string unclaimed = dir / "notes.tpxnone";   // no program takes this type
    ASSERT_TRUE(WriteFileText(unclaimed, "nothing"));
    m_registry.Set("CompanyURL", "tpxlink:tapestrix.example/news?from=about");
    m_registry.Set("SupportEmail", "help@tapestrix.example");

    // Right of the label's left edge, or left of it over the page.  The
    // pointer is put there, and the window under it asked for its cursor as
    // the system asks at a move: the display's own move event may come late
    // on a loaded machine.
    auto cursorAt = [](int dx, HCURSOR expected) {
        return [=](HWND sheet) {
            SetForegroundWindow(sheet);
            RECT r{};
            GetWindowRect(GetDlgItem(PageOf(sheet, 0), IDC_LINK_WEBSITE), &r);
            const POINT pt{r.left + dx, (r.top + r.bottom) / 2};
            SetCursorPos(pt.x, pt.y);
            PumpMessages(100);
            const HWND under = WindowFromPoint(pt);
            const LRESULT hit = SendMessageA(under, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
            SendMessageA(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(hit, WM_MOUSEMOVE));
            EXPECT_EQ(expected, GetCursor()) << dx;
        };
    };
    // A click as the mouse gives it; the static control reports it on the press.
    auto click = [](HWND label) {
        PostMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        PostMessageA(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    };
    auto openedText = [&] {
        const std::vector<uint8_t> bytes = ReadFileBytes(opened);
        return std::string(bytes.begin(), bytes.end());
    };
    auto clickOpens = [&](int id, std::string target) {
        return [&, id, target](HWND sheet) {
            DeleteFileA(opened.c_str());
            click(GetDlgItem(PageOf(sheet, 0), id));
            EXPECT_TRUE(WaitFor([&] { return openedText().find('\n') != std::string::npos; }, 15000)) << target;
            EXPECT_EQ(target + "\r\n", openedText());
            EXPECT_TRUE(m_seen.empty());
        };
    };
    Run({[](HWND sheet) { ExpectBlueUnderlinedInkAndNoFontLeft(GetDlgItem(PageOf(sheet, 0), IDC_LINK_SUPPORT)); },
         cursorAt(3, LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_LINK_HAND))),
         cursorAt(-4, LoadCursorA(nullptr, IDC_ARROW)),
         clickOpens(IDC_LINK_WEBSITE, "tpxlink:tapestrix.example/news?from=about"),
         clickOpens(IDC_LINK_SUPPORT, "mailto:help@tapestrix.example"),
         clickOpens(IDC_LINK_COMMENTS, "mailto:comments@brindlecourt.example"),   // nothing stored
         [&](HWND sheet) {
             const HWND website = GetDlgItem(PageOf(sheet, 0), IDC_LINK_WEBSITE);
             dynamic_cast<CHyperlinkLabel*>(CWnd::FromHandlePermanent(website))->m_strLink = unclaimed.c_str();
             click(website);
             EXPECT_TRUE(WaitFor([&] { return !m_seen.empty(); }, 15000));
         },
         [&](HWND sheet) {
             ASSERT_EQ(1u, m_seen.size());
             EXPECT_EQ("Unable to go to link", m_seen[0].text);
             EXPECT_EQ("Tapestrix", m_seen[0].caption);
             EXPECT_EQ(sheet, m_owners[0]);
             EXPECT_EQ(LoadIconA(nullptr, IDI_HAND), m_icon);
         }});
}
