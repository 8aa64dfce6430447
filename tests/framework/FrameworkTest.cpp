// The framework's promises that the program leans on: double-byte paths in
// CString, and the window-object link and its lifetime.  (Message boxes are checked where the program shows them.)
#include <gtest/gtest.h>

#include <mbctype.h>

#include <stdexcept>
#include <vector>

#include "TestSupport.h"
#include "framework/String.h"
#include "framework/Wnd.h"

using namespace tpx::test;

// ---------------------------------------------------------------- CString

// In code page 932 a trail byte may equal '\\' (0x5C) or an ASCII letter; it
// must never be taken for a separator nor folded to another case.
TEST(DoubleByteText, TrailBytesAreNeitherSeparatorsNorLetters)
{
    const int previous = _getmbcp();
    if (_setmbcp(932) != 0)
        GTEST_SKIP() << "code page 932 is not available";
    const CString path("C:\\\x95\x5c\\x.bmp");   // "C:\" + 0x95 0x5C + "\x.bmp"
    EXPECT_EQ(5, path.Find('\\', 3));
    EXPECT_EQ(-1, CString("\x95\x5c").ReverseFind('\\'));
    EXPECT_EQ(5, path.Find("\\x."));

    EXPECT_EQ(0, CString("C:\\\x83\x41\\A.BMP").CompareNoCase("c:\\\x83\x41\\a.bmp"));
    EXPECT_NE(0, CString("C:\\\x83\x41\\A.BMP").CompareNoCase("c:\\\x83\x61\\a.bmp"));
    _setmbcp(previous);
}

// ---------------------------------------------------------------- windows

namespace {

const UINT WM_ANSWER = WM_APP + 1;
const UINT WM_THROW = WM_APP + 2;
const RECT kRect{10, 10, 110, 60};

// Records, for every message its map sees, whether the object was linked.
template <class Base>
class CRecording : public Base {
public:
    using Base::Base;
    std::vector<UINT> seen;
    std::vector<bool> linked;
    bool postNcDestroyRan = false;

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        seen.push_back(message);
        linked.push_back(this->m_hWnd && CWnd::FromHandlePermanent(this->m_hWnd) == this);
        if (message == WM_ANSWER) {
            *result = 42;
            return TRUE;
        }
        if (message == WM_THROW)
            throw std::runtime_error("handler failure");
        return Base::OnWndMsg(message, wParam, lParam, result);
    }
    void PostNcDestroy() override { postNcDestroyRan = this->m_hWnd == nullptr; }
};
using CRecordingWnd = CRecording<CWnd>;
using CRecordingDialog = CRecording<CDialog>;   // of template 200

// Linked from the first message its map sees to WM_NCDESTROY; a throwing
// handler answers 0 and the window goes on (a dialog answers through
// DWLP_MSGRESULT).
template <class T>
void ExpectLinkedLifetime(T& wnd, UINT first)
{
    const HWND hwnd = wnd.GetSafeHwnd();
    ASSERT_FALSE(wnd.seen.empty());
    EXPECT_EQ(first, wnd.seen.front());
    EXPECT_TRUE(wnd.linked.front());
    EXPECT_EQ(&wnd, CWnd::FromHandlePermanent(hwnd));
    EXPECT_EQ(0, wnd.SendMessage(WM_THROW));
    EXPECT_EQ(42, wnd.SendMessage(WM_ANSWER));   // still working
    wnd.DestroyWindow();
    EXPECT_EQ(static_cast<UINT>(WM_NCDESTROY), wnd.seen.back());
    EXPECT_TRUE(wnd.linked.back());   // still linked while WM_NCDESTROY runs
    EXPECT_TRUE(wnd.postNcDestroyRan);
    EXPECT_EQ(nullptr, wnd.GetSafeHwnd());
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hwnd));
}

}  // namespace

TEST(CWnd, WindowsAndDialogsAreLinkedFromCreationToNcDestroyAndSurviveAThrowingHandler)
{
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "rec", WS_POPUP, kRect, nullptr, 0));   // WM_NCCREATE's default processing
    ExpectLinkedLifetime(wnd, WM_NCCREATE);

    CRecordingDialog dlg(200);
    ASSERT_TRUE(dlg.Create(200));
    dlg.SendMessage(WM_COMMAND, IDOK);   // ends only a modal dialog
    EXPECT_TRUE(IsWindow(dlg.GetSafeHwnd()));
    ExpectLinkedLifetime(dlg, WM_INITDIALOG);
}
