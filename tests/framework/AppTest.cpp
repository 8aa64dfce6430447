// The application object's run (start-up, loop, exit) and the one door for
// message boxes: its title, owner, default icons and answer.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "framework/App.h"
#include "framework/Wnd.h"

using namespace tpx::test;

namespace {

class CMainWnd : public CWnd {};

class CTestApp : public CWinApp {
public:
    explicit CTestApp(BOOL succeed) : CWinApp("Tester"), m_succeed(succeed) {}
    CMainWnd mainWnd;
    int initCalls = 0;
    int exitCalls = 0;
    HWND mainHwnd = nullptr;
    UINT quitCode = 0;

    BOOL InitInstance() override
    {
        ++initCalls;
        RECT rect{0, 0, 50, 50};
        if (mainWnd.CreateEx(0, nullptr, "main", WS_POPUP, rect, nullptr, 0)) {
            mainHwnd = mainWnd.GetSafeHwnd();
            m_pMainWnd = &mainWnd;
        }
        if (m_succeed) {
            if (quitCode)
                PostQuitMessage(static_cast<int>(quitCode));
            else
                mainWnd.PostMessage(WM_CLOSE);   // default handling destroys it
        }
        return m_succeed;
    }
    int ExitInstance() override
    {
        ++exitCalls;
        return CWinApp::ExitInstance() + 100;
    }

private:
    BOOL m_succeed;
};

bool HasIcon(HWND box)
{
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[32] = "";
        GetClassNameA(child, cls, sizeof(cls));
        if (_stricmp(cls, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            SendMessageA(child, STM_GETICON, 0, 0) != 0)
            return true;
    }
    return false;
}

}  // namespace

TEST(AfxWinMain, RunsInitInstanceThenTheLoopUntilTheMainWindowGoes)
{
    CTestApp app(TRUE);
    EXPECT_EQ(&app, AfxGetApp());
    HINSTANCE module = GetModuleHandleA(nullptr);
    EXPECT_EQ(100, AfxWinMain(module, nullptr, const_cast<char*>(""), SW_SHOW));
    EXPECT_EQ(1, app.initCalls);
    EXPECT_EQ(1, app.exitCalls);
    EXPECT_EQ(module, app.m_hInstance);
    EXPECT_EQ(module, AfxGetInstanceHandle());
    EXPECT_FALSE(IsWindow(app.mainHwnd));
    EXPECT_EQ(nullptr, AfxGetMainWnd());
}

TEST(AfxWinMain, TheQuitCodeBecomesTheExitCode)
{
    CTestApp app(TRUE);
    app.quitCode = 5;
    EXPECT_EQ(105, AfxWinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOW));
    EXPECT_EQ(1, app.exitCalls);
}

TEST(AfxWinMain, FailedStartUpDestroysTheMainWindowAndSkipsTheLoop)
{
    CTestApp app(FALSE);
    EXPECT_EQ(100, AfxWinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOW));
    EXPECT_EQ(1, app.initCalls);
    EXPECT_EQ(1, app.exitCalls);
    EXPECT_FALSE(IsWindow(app.mainHwnd));
    // No quit message is left behind for whoever pumps next.
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST(AfxWinMain, NoApplicationNoRun)
{
    ASSERT_EQ(nullptr, AfxGetApp());
    EXPECT_EQ(-1, AfxWinMain(GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOW));
}

TEST(CWinApp, NameDefaultsToTheProgramFileAndCanBeReplaced)
{
    CWinApp unnamed;
    EXPECT_STREQ("fw_windows", unnamed.m_pszAppName);
    unnamed.SetAppName("Tapestrix");
    EXPECT_STREQ("Tapestrix", unnamed.m_pszAppName);
    unnamed.SetAppName(unnamed.m_pszAppName);   // its own text again
    EXPECT_STREQ("Tapestrix", unnamed.m_pszAppName);
}

TEST(AfxMessageBox, TitledWithTheApplicationNameAndOwnedByTheMainWindow)
{
    CWinApp app("Tapestrix");
    CMainWnd main;
    RECT rect{0, 0, 50, 50};
    ASSERT_TRUE(main.CreateEx(0, nullptr, "main", WS_POPUP, rect, nullptr, 0));
    app.m_pMainWnd = &main;

    DialogAnswerer answerer;
    HWND owner = nullptr;
    bool icon = false;
    answerer.SetHandler([&](HWND box, const DialogSeen&) {
        owner = GetWindow(box, GW_OWNER);
        icon = HasIcon(box);
        return IDOK;
    });
    EXPECT_EQ(IDOK, AfxMessageBox("Unable to launch help file"));
    ASSERT_EQ(1u, answerer.Seen().size());
    EXPECT_EQ("Tapestrix", answerer.Seen()[0].caption);
    EXPECT_EQ("Unable to launch help file", answerer.Seen()[0].text);
    EXPECT_EQ(main.GetSafeHwnd(), owner);
    EXPECT_TRUE(icon);   // an OK box gets the exclamation mark

    app.m_pMainWnd = nullptr;
    main.DestroyWindow();
}

TEST(AfxMessageBox, ReturnsTheButtonPressedAndPicksIconsByButtons)
{
    CWinApp app("Tapestrix");
    DialogAnswerer answerer;
    bool icon = true;
    answerer.SetHandler([&](HWND box, const DialogSeen&) {
        icon = HasIcon(box);
        return IDNO;
    });
    EXPECT_EQ(IDNO, AfxMessageBox("Convert it?", MB_YESNO));
    EXPECT_TRUE(icon);
    answerer.SetHandler([&](HWND box, const DialogSeen&) {
        icon = HasIcon(box);
        return IDCANCEL;
    });
    EXPECT_EQ(IDCANCEL, AfxMessageBox("Again?", MB_RETRYCANCEL));
    EXPECT_FALSE(icon);
    // No main window: the box still shows, without an owner.
    EXPECT_EQ(nullptr, AfxGetMainWnd());
    EXPECT_EQ(2u, answerer.Seen().size());
}

TEST(AfxMessageBox, WithoutAnApplicationTheProgramNameIsTheTitle)
{
    ASSERT_EQ(nullptr, AfxGetApp());
    DialogAnswerer answerer;
    AfxMessageBox("hello");
    ASSERT_EQ(1u, answerer.Seen().size());
    EXPECT_EQ("fw_windows", answerer.Seen()[0].caption);
}

TEST(TpxMessageBoxEx, KeepsItsOwnCaptionAndSurvivesADeadOwner)
{
    CWinApp app("Tapestrix");
    HWND dead = CreateWindowExA(0, "STATIC", "x", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(dead);
    DialogAnswerer answerer;
    EXPECT_EQ(IDOK, TpxMessageBoxEx(dead, "Can not allocate enough memory\t", "CPicture Error",
                                    MB_OK | MB_ICONHAND, MAKELANGID(LANG_ENGLISH, SUBLANG_NEUTRAL)));
    ASSERT_EQ(1u, answerer.Seen().size());
    EXPECT_EQ("CPicture Error", answerer.Seen()[0].caption);
    EXPECT_EQ("Can not allocate enough memory\t", answerer.Seen()[0].text);
}
