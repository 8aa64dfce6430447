// The pages' custom controls on a plain window of this test: what the
// caption frame shows (rendered through WM_PRINTCLIENT) and the read-only
// edit against every way of editing.
#include <gtest/gtest.h>

#include "SheetDriver.h"
#include "TestSupport.h"

#include "controls/CaptionFrame.h"
#include "controls/ReadOnlyEdit.h"

using namespace tpx::test;

namespace {

class Controls : public ::testing::Test {
protected:
    void TearDown() override { DestroyWindow(m_parent); }
    // A shown child of the test's plain window.
    HWND Child(const char* kind, DWORD style, int width, int height) const
    {
        return CreateWindowExA(0, kind, "Caption", WS_CHILD | WS_VISIBLE | style, 10, 10, width, height, m_parent,
                               nullptr, nullptr, nullptr);
    }

    const HWND m_parent =
        CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 200, nullptr, nullptr, nullptr, nullptr);
};

}  // namespace

TEST_F(Controls, CaptionFrameDrawsAnEtchedFrameBrokenByItsCaptionAndLeavesNoFontBehind)
{
    const HWND box = Child("BUTTON", BS_GROUPBOX, 300, 120);
    CCaptionFrame frame;
    ASSERT_TRUE(frame.SubclassWindow(box));
    // Distinct colours, so every line can be told apart.
    frame.m_crShadow = RGB(0, 0, 160);
    frame.m_crHighlight = RGB(0, 160, 0);
    frame.m_crShadowDisabled = RGB(160, 0, 0);
    frame.m_crHighlightDisabled = RGB(160, 160, 0);
    const struct {
        BOOL enabled;
        COLORREF dark, light;
    } looks[] = {{TRUE, RGB(0, 0, 160), RGB(0, 160, 0)}, {FALSE, RGB(160, 0, 0), RGB(160, 160, 0)}};
    for (const auto& look : looks) {
        EnableWindow(box, look.enabled);
        const PrintedClient r(box, RGB(255, 255, 255));
        // A dark rectangle with a light line inside its top and left edges,
        // both broken where the caption stands, after its indent; the
        // caption's ink black only while enabled.
        const RECT all{0, 0, r.width, r.height};
        EXPECT_GT(r.Count(all, look.dark), 2 * (r.width + r.height) - 100) << look.enabled;
        EXPECT_GT(r.Count(all, look.light), r.width + r.height - 80) << look.enabled;
        int y = 0;
        while (y < r.height && r.At(r.width - 20, y) != look.dark)
            ++y;
        EXPECT_EQ(0, r.Count(RECT{9, y, 40, y + 1}, look.dark)) << look.enabled;
        EXPECT_EQ(look.enabled != FALSE, r.Count(RECT{8, 0, r.width / 2, y + 4}, RGB(0, 0, 0)) > 0) << look.enabled;
    }
    PumpMessages(100);
    const int before = CountGdiObjects();
    for (int i = 0; i < 100; ++i)
        const PrintedClient again(box, RGB(255, 255, 255));
    EXPECT_LE(CountGdiObjects(), before + 2);
}

TEST_F(Controls, ReadOnlyEditRefusesEveryEditButTakesTheProgramsText)
{
    const HWND field = Child("EDIT", WS_BORDER | ES_AUTOHSCROLL, 200, 20);
    CReadOnlyEdit edit;
    ASSERT_TRUE(edit.SubclassWindow(field));
    const std::string path = "C:\\Wallpapers\\a very long folder name\\that scrolls\\picture.bmp";
    SetWindowTextA(field, path.c_str());   // the program's own text goes in
    // Something on the clipboard to paste, as another field's copy puts it.
    const HWND source = Child("EDIT", 0, 50, 20);
    SendMessageA(source, EM_SETSEL, 0, -1);
    SendMessageA(source, WM_COPY, 0, 0);

    SetFocus(field);
    const struct {
        UINT message;
        WPARAM wParam;
    } edits[] = {{WM_CHAR, 'a'}, {WM_KEYDOWN, VK_DELETE}, {WM_CUT, 0},  {WM_PASTE, 0},
                 {WM_CLEAR, 0},  {WM_UNDO, 0},             {EM_UNDO, 0}};
    for (const auto& e : edits) {
        SendMessageA(field, EM_SETSEL, 0, -1);
        SendMessageA(field, e.message, e.wParam, 0);
        EXPECT_EQ(path, TextOf(field)) << std::hex << e.message << " " << e.wParam;
    }
    // A context menu (asked for from the keyboard) would take the Escape
    // posted before it.
    PostMessageA(field, WM_KEYDOWN, VK_ESCAPE, 0);
    SendMessageA(field, WM_CONTEXTMENU, 0, -1);
    MSG escape;
    EXPECT_TRUE(PeekMessageA(&escape, field, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE)) << "a context menu opened";

    // The field holds the focus, yet has no caret to hide.
    EXPECT_EQ(field, GetFocus());
    EXPECT_FALSE(HideCaret(field));
}
