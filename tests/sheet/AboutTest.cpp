// The About page in a settings sheet of its own, driven from inside the
// sheet's modal loop: the version and the links it shows, the links' look,
// cursor and clicks (through file associations that start link_recorder,
// never the host's browser).
#include <gtest/gtest.h>

#include "GuiCounts.h"
#include "SheetDriver.h"
#include "TestSupport.h"
#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "controls/HyperlinkLabel.h"
#include "framework/App.h"
#include "TapestrixVersion.h"
#include "res/resource.h"
#include "sheet/AboutPage.h"
#include "sheet/TapestrixSheet.h"

using namespace tpx::test;

namespace {

using Step = std::function<void(HWND sheet, HWND page)>;

CHyperlinkLabel* LabelOf(HWND page, int id)
{
    return dynamic_cast<CHyperlinkLabel*>(CWnd::FromHandlePermanent(GetDlgItem(page, id)));
}

// A click as the mouse gives it; the static control reports it on the press.
void Click(HWND page, int id)
{
    const HWND label = GetDlgItem(page, id);
    PostMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageA(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

class AboutSheet : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_answerer.SetHandler([this](HWND dialog, const DialogSeen& seen) {
            if (CWnd::FromHandlePermanent(dialog))
                return 0;   // the sheet itself
            m_seen.push_back(seen);
            m_owners.push_back(GetWindow(dialog, GW_OWNER));
            // The message box's icon control.
            m_icons.push_back(reinterpret_cast<HICON>(SendDlgItemMessageA(dialog, 0x440, STM_GETICON, 0, 0)));
            return IDOK;
        });
    }

    // Opens a sheet with the About page alone and plays `steps` in it.
    void Run(std::vector<Step> steps)
    {
        CTapestrixSheet sheet("Tapestrix - About", nullptr, 0);
        CAboutTapestrixPage about;
        sheet.AddPage(&about);
        std::vector<SheetStep> played;
        for (Step& step : steps)
            played.push_back([step](HWND window) { step(window, PageOf(window, 0)); });
        PlayInSheet(std::move(played), [&] { sheet.DoModal(); });
    }

    AppRegistryScope m_registry;
    CWinApp m_app{"Tapestrix"};
    DialogAnswerer m_answerer;
    std::vector<DialogSeen> m_seen;
    std::vector<HWND> m_owners;
    std::vector<HICON> m_icons;
};

}  // namespace

TEST_F(AboutSheet, ShowsTheVersionAndTheLinksOfTheSettingsOrItsOwn)
{
    const struct {
        const char* version;
        const char* url;
        const char* support;
        const char* caption;
        const char* website;
        const char* supportText;
    } cases[] = {
        // Nothing stored: the version resource, made from the project's version.
        {nullptr, nullptr, nullptr, "Tapestrix - Version " TPX_VERSION_TEXT, "http://www.brindlecourt.example/tapestrix/",
         "support@brindlecourt.example"},
        {"4.2 beta (build 7)", "any text at all", "help@tapestrix.example", "Tapestrix - Version 4.2 beta (build 7)",
         "any text at all", "help@tapestrix.example"},
    };
    for (const auto& c : cases) {
        AppRegistryScope registry;
        registry.Set("CurrentActivePage", 2);
        if (c.version) {
            registry.Set("Version", c.version);
            registry.Set("CompanyURL", c.url);
            registry.Set("SupportEmail", c.support);
        }
        Run({[&](HWND, HWND page) {
            EXPECT_EQ(c.caption, TextOf(GetDlgItem(page, IDC_FRAME_VERSION)));
            EXPECT_EQ("Contact information", TextOf(GetDlgItem(page, IDC_FRAME_CONTACT)));
            EXPECT_EQ(c.website, TextOf(GetDlgItem(page, IDC_LINK_WEBSITE)));
            EXPECT_EQ(c.supportText, TextOf(GetDlgItem(page, IDC_LINK_SUPPORT)));
            EXPECT_EQ("comments@brindlecourt.example", TextOf(GetDlgItem(page, IDC_LINK_COMMENTS)));
            EXPECT_EQ(std::string(c.website), static_cast<LPCSTR>(LabelOf(page, IDC_LINK_WEBSITE)->m_strLink));
            EXPECT_EQ("mailto:" + std::string(c.supportText),
                      static_cast<LPCSTR>(LabelOf(page, IDC_LINK_SUPPORT)->m_strLink));
            EXPECT_EQ(std::string("mailto:comments@brindlecourt.example"),
                      static_cast<LPCSTR>(LabelOf(page, IDC_LINK_COMMENTS)->m_strLink));
        }});
        EXPECT_EQ(0u, GetRegDword(HKEY_CURRENT_USER, kAppKey, "CurrentActivePage"));
    }
    EXPECT_TRUE(m_seen.empty());
}

TEST_F(AboutSheet, LinksHandTheirTargetsToTheShellAndSayWhenNothingTakesThem)
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
        return [&, id, target](HWND, HWND page) {
            DeleteFileA(opened.c_str());
            Click(page, id);
            EXPECT_TRUE(WaitFor([&] { return !openedText().empty(); }, 15000)) << target;   // readable once whole
            EXPECT_EQ(target, openedText());
            EXPECT_TRUE(m_seen.empty());
        };
    };
    Run({clickOpens(IDC_LINK_WEBSITE, "tpxlink:tapestrix.example/news?from=about"),
         clickOpens(IDC_LINK_SUPPORT, "mailto:help@tapestrix.example"),
         [&](HWND, HWND page) {
             DeleteFileA(opened.c_str());
             LabelOf(page, IDC_LINK_WEBSITE)->m_strLink = "";
             Click(page, IDC_LINK_WEBSITE);
             PumpMessages(1500);
             EXPECT_TRUE(m_seen.empty()) << m_seen[0].text;
             EXPECT_FALSE(FileExists(opened));

             LabelOf(page, IDC_LINK_WEBSITE)->m_strLink = unclaimed.c_str();
             Click(page, IDC_LINK_WEBSITE);
             EXPECT_TRUE(WaitFor([&] { return !m_seen.empty(); }, 15000));
         },
         [&](HWND sheet, HWND) {
             ASSERT_EQ(1u, m_seen.size());
             EXPECT_EQ("Unable to go to link", m_seen[0].text);
             EXPECT_EQ("Tapestrix", m_seen[0].caption);
             EXPECT_EQ(sheet, m_owners[0]);
             EXPECT_EQ(LoadIconA(nullptr, IDI_HAND), m_icons[0]);
             EXPECT_TRUE(IsWindowVisible(sheet));
         }});
}

TEST_F(AboutSheet, LinkTextIsBlueUnderlinedArialInTheDialogFontsSizeAndLeavesNoFontBehind)
{
    // A large bold dialog font of a face measured wider than Arial: the
    // link's ink has to span the text's width in bold Arial of that size.
    const char text[] = "help@tapestrix.example";
    auto font = [](const char* face) {
        return CreateFontA(-22, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, face);
    };
    auto widthIn = [&](HFONT f) {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, f);
        SIZE size{};
        GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
        SelectObject(dc, old);
        DeleteDC(dc);
        return static_cast<int>(size.cx);
    };
    HFONT arial = font("Arial");
    const int arialWidth = widthIn(arial);
    DeleteObject(arial);
    HFONT dialogFont = font("Courier New");
    ASSERT_GT(widthIn(dialogFont), arialWidth + 20) << "the dialog face is measured like Arial";

    struct Ink {
        int left = INT_MAX, right = -1, blue = 0, other = 0, widestRow = 0;
    } ink;
    int before = 0, after = 0;
    Run({[&](HWND, HWND page) {
        const HWND label = GetDlgItem(page, IDC_LINK_SUPPORT);
        SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont), FALSE);
        SetWindowTextA(label, text);
        SetWindowPos(label, nullptr, 0, 0, 400, 40, SWP_NOMOVE | SWP_NOZORDER);
        const PrintedClient shown(label, RGB(255, 255, 255));
        for (int y = 0; y < shown.height; ++y) {
            int row = 0;
            for (int x = 0; x < shown.width; ++x) {
                const COLORREF p = shown.At(x, y);
                if (p == RGB(255, 255, 255))
                    continue;
                // Blue, or blue blended into the white behind it.
                ++(GetBValue(p) >= 250 && std::abs(GetRValue(p) - GetGValue(p)) <= 16 ? ink.blue : ink.other);
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ++row;
            }
            ink.widestRow = std::max(ink.widestRow, row);
        }
        // Every paint makes its font and lets it go again.
        PumpMessages(200);
        before = CountGdiObjects();
        for (int i = 0; i < 100; ++i) {
            RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            const PrintedClient again(label, RGB(255, 255, 255));
        }
        after = CountGdiObjects();
    }});
    DeleteObject(dialogFont);

    EXPECT_GT(ink.blue, 50);
    EXPECT_EQ(0, ink.other) << "ink that is not blue";
    EXPECT_NEAR(arialWidth, ink.right - ink.left + 1, 2);
    // The underline: one row inked across the text.
    EXPECT_GE(ink.widestRow, (ink.right - ink.left) * 9 / 10);
    ASSERT_GT(before, 0) << "the GDI handle table could not be read";
    EXPECT_LE(std::abs(after - before), 2) << before << " objects before 200 paints, " << after << " after";
}

TEST_F(AboutSheet, TheHandShowsOverALinkAndTheArrowBesideIt)
{
    const HCURSOR hand = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_LINK_HAND));
    ASSERT_TRUE(hand);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(hand, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(5u, info.xHotspot);
    EXPECT_EQ(0u, info.yHotspot);
    DeleteObject(info.hbmMask);
    DeleteObject(info.hbmColor);

    auto pointAt = [](int id, bool over) {
        return [id, over](HWND sheet, HWND page) {
            SetForegroundWindow(sheet);
            RECT r{};
            GetWindowRect(GetDlgItem(page, id), &r);
            // Over the label, or just left of it over the page itself.
            SetCursorPos(over ? (r.left + 3) : (r.left - 4), (r.top + r.bottom) / 2);
            PumpMessages(300);
        };
    };
    HCURSOR overLink = nullptr, beside = nullptr;
    Run({pointAt(IDC_LINK_WEBSITE, true), [&](HWND, HWND) { overLink = GetCursor(); },
         pointAt(IDC_LINK_WEBSITE, false), [&](HWND, HWND) { beside = GetCursor(); }});
    EXPECT_EQ(hand, overLink);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), beside);
}
