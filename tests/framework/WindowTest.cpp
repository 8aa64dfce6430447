// Windows and dialogs: the object link made at WM_NCCREATE / WM_INITDIALOG
// and cut at WM_NCDESTROY, message maps with default processing, the main
// window ending the loop, modal and modeless dialogs from templates.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "TestSupport.h"
#include "framework/App.h"
#include "framework/Wnd.h"

using namespace tpx::test;

namespace {

const UINT IDD_PLAIN = 200;
const UINT WM_ANSWER = WM_APP + 1;
const UINT WM_THROW = WM_APP + 2;
const UINT WM_END_WITH = WM_APP + 3;

RECT SmallRect()
{
    return RECT{10, 10, 110, 60};
}

class CRecordingWnd : public CWnd {
public:
    std::vector<UINT> seen;
    bool linkedAtNcCreate = false;
    bool linkedAtDestroy = false;
    bool postNcDestroyRan = false;
    HWND hwndAtPostNcDestroy = reinterpret_cast<HWND>(1);
    std::vector<UINT_PTR> timers;

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        seen.push_back(message);
        if (message == WM_NCCREATE)
            linkedAtNcCreate = m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this;
        if (message == WM_DESTROY)
            linkedAtDestroy = FromHandlePermanent(m_hWnd) == this;
        if (message == WM_ANSWER) {
            *result = 42 + static_cast<LRESULT>(wParam);
            return TRUE;
        }
        if (message == WM_THROW)
            throw std::runtime_error("handler failure");
        if (message == WM_TIMER)
            timers.push_back(wParam);
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
    void PostNcDestroy() override
    {
        postNcDestroyRan = true;
        hwndAtPostNcDestroy = m_hWnd;
    }
};

}  // namespace

TEST(CWnd, LinkIsMadeAtNcCreateAndCutAtNcDestroy)
{
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "rec", WS_POPUP, SmallRect(), nullptr, 0));
    const HWND hwnd = wnd.GetSafeHwnd();
    ASSERT_NE(nullptr, hwnd);
    EXPECT_TRUE(wnd.linkedAtNcCreate);
    ASSERT_FALSE(wnd.seen.empty());
    // Messages before WM_NCCREATE get default processing; the map sees the
    // window from WM_NCCREATE on.
    EXPECT_EQ(static_cast<UINT>(WM_NCCREATE), wnd.seen.front());
    EXPECT_EQ(&wnd, CWnd::FromHandlePermanent(hwnd));

    EXPECT_TRUE(wnd.DestroyWindow());
    EXPECT_TRUE(wnd.linkedAtDestroy);
    EXPECT_TRUE(wnd.postNcDestroyRan);
    EXPECT_EQ(nullptr, wnd.hwndAtPostNcDestroy);
    EXPECT_EQ(nullptr, wnd.GetSafeHwnd());
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(static_cast<UINT>(WM_NCDESTROY), wnd.seen.back());
    EXPECT_FALSE(wnd.DestroyWindow());   // nothing left to destroy
}

TEST(CWnd, ForeignWindowsHaveNoObject)
{
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(nullptr));
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(GetDesktopWindow()));
    HWND plain = CreateWindowExA(0, "STATIC", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(plain));
    DestroyWindow(plain);
}

TEST(CWnd, MapAnswersAndDefaultProcessingDoesTheRest)
{
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "caption", WS_POPUP, SmallRect(), nullptr, 0));
    EXPECT_EQ(45, wnd.SendMessage(WM_ANSWER, 3));
    // Not in the map: the system's default handling still works.
    wnd.SetWindowText("new caption");
    EXPECT_STREQ("new caption", wnd.GetWindowText());
    RECT client;
    wnd.GetClientRect(&client);
    EXPECT_EQ(100, client.right - client.left);
}

TEST(CWnd, AHandlerThatThrowsDoesNotTakeTheProgramDown)
{
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "t", WS_POPUP, SmallRect(), nullptr, 0));
    EXPECT_EQ(0, wnd.SendMessage(WM_THROW));
    EXPECT_EQ(42, wnd.SendMessage(WM_ANSWER));   // the window still works
}

TEST(CWnd, DestructionDestroysALiveWindow)
{
    HWND hwnd = nullptr;
    {
        CRecordingWnd wnd;
        ASSERT_TRUE(wnd.CreateEx(0, nullptr, "t", WS_POPUP, SmallRect(), nullptr, 0));
        hwnd = wnd.GetSafeHwnd();
        EXPECT_TRUE(IsWindow(hwnd));
    }
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(CWnd, TimersArriveAsMessages)
{
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "t", WS_POPUP, SmallRect(), nullptr, 0));
    EXPECT_NE(0u, wnd.SetTimer(7, 20));
    EXPECT_TRUE(WaitFor([&] { return !wnd.timers.empty(); }, 3000));
    EXPECT_EQ(7u, wnd.timers.front());
    EXPECT_TRUE(wnd.KillTimer(7));
    EXPECT_FALSE(wnd.KillTimer(7));
    PumpMessages(50);
    wnd.timers.clear();
    PumpMessages(100);
    EXPECT_TRUE(wnd.timers.empty());

    CWnd windowless;
    EXPECT_EQ(0u, windowless.SetTimer(1, 10));
    EXPECT_FALSE(windowless.KillTimer(1));
}

TEST(CWnd, DestroyingTheMainWindowEndsTheLoop)
{
    CWinApp app("Loop");
    CRecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, "main", WS_POPUP, SmallRect(), nullptr, 0));
    app.m_pMainWnd = &wnd;
    EXPECT_EQ(&wnd, AfxGetMainWnd());
    wnd.DestroyWindow();
    EXPECT_EQ(nullptr, AfxGetMainWnd());
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, msg.wParam);

    // Any other window going away does not end anything.
    CRecordingWnd other;
    ASSERT_TRUE(other.CreateEx(0, nullptr, "other", WS_POPUP, SmallRect(), nullptr, 0));
    other.DestroyWindow();
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

namespace {

class CPlainDialog : public CDialog {
public:
    CPlainDialog() : CDialog(IDD_PLAIN) {}
    int initCount = 0;
    bool linkedAtInit = false;
    bool hadControlsAtInit = false;
    UINT postAtInit = 0;
    WPARAM postParam = 0;
    bool postNcDestroyRan = false;

protected:
    BOOL OnInitDialog() override
    {
        ++initCount;
        linkedAtInit = m_hWnd && FromHandlePermanent(m_hWnd) == this;
        hadControlsAtInit = GetDlgItem(1001) != nullptr;
        if (postAtInit)
            PostMessage(postAtInit, postParam);
        return CDialog::OnInitDialog();
    }
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message == WM_ANSWER) {
            *result = 1234;
            return TRUE;
        }
        if (message == WM_END_WITH) {
            EndDialog(static_cast<int>(wParam));
            return TRUE;
        }
        if (message == WM_CTLCOLORDLG) {
            *result = reinterpret_cast<LRESULT>(GetStockObject(GRAY_BRUSH));
            return TRUE;
        }
        if (message == WM_THROW)
            throw std::bad_alloc();
        return CDialog::OnWndMsg(message, wParam, lParam, result);
    }
    void PostNcDestroy() override { postNcDestroyRan = true; }
};

}  // namespace

TEST(CDialog, ModelessFromTemplateIsLinkedAtInitDialog)
{
    CPlainDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_PLAIN));
    const HWND hwnd = dlg.GetSafeHwnd();
    EXPECT_EQ(1, dlg.initCount);
    EXPECT_TRUE(dlg.linkedAtInit);
    EXPECT_TRUE(dlg.hadControlsAtInit);
    EXPECT_FALSE(dlg.IsModal());
    EXPECT_FALSE(dlg.Create(IDD_PLAIN));   // one window per object

    // Results: through DWLP_MSGRESULT, or directly for the few messages
    // that answer through the procedure's return value.
    EXPECT_EQ(1234, dlg.SendMessage(WM_ANSWER));
    EXPECT_EQ(reinterpret_cast<LRESULT>(GetStockObject(GRAY_BRUSH)), dlg.SendMessage(WM_CTLCOLORDLG));
    EXPECT_EQ(0, dlg.SendMessage(WM_THROW));

    // Cancel (Escape, the close box) does not end a modeless dialog.
    dlg.SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_TRUE(IsWindow(hwnd));

    dlg.DestroyWindow();
    EXPECT_TRUE(dlg.postNcDestroyRan);
    EXPECT_EQ(nullptr, dlg.GetSafeHwnd());
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hwnd));
}

TEST(CDialog, ModelessDialogGetsKeyboardNavigationFromTheLoop)
{
    CPlainDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_PLAIN));
    MSG tab{dlg.GetDlgItem(1001), WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    EXPECT_TRUE(AfxPreTranslateMessage(&tab));
    MSG paint{dlg.GetDlgItem(1001), WM_PAINT, 0, 0, 0, {0, 0}};
    EXPECT_FALSE(AfxPreTranslateMessage(&paint));
}

TEST(CDialog, ModalEndsWithTheValueGiven)
{
    CPlainDialog ok;
    ok.postAtInit = WM_COMMAND;
    ok.postParam = IDOK;
    EXPECT_EQ(IDOK, ok.DoModal());
    EXPECT_TRUE(ok.linkedAtInit);
    EXPECT_EQ(nullptr, ok.GetSafeHwnd());
    EXPECT_FALSE(ok.IsModal());

    CPlainDialog cancel;
    cancel.postAtInit = WM_COMMAND;
    cancel.postParam = IDCANCEL;
    EXPECT_EQ(IDCANCEL, cancel.DoModal());

    CPlainDialog custom;
    custom.postAtInit = WM_END_WITH;
    custom.postParam = 42;
    EXPECT_EQ(42, custom.DoModal());
    EXPECT_TRUE(custom.postNcDestroyRan);
}

TEST(CDialog, MissingTemplateFailsCleanly)
{
    CDialog missing(999);
    EXPECT_EQ(-1, missing.DoModal());
    EXPECT_FALSE(missing.Create(999));
    EXPECT_EQ(nullptr, missing.GetSafeHwnd());
}
