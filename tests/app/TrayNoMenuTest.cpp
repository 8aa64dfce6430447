// The main dialog in a program whose resources lack the tray menu: the
// right button explains itself instead of opening a menu; the double-click
// still works.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/TapestrixDlg.h"
#include "engine/WallpaperChanger.h"
#include "framework/App.h"
#include "res/resource.h"

using namespace tpx::test;

// The engine the dialog's commands would use; never connected here.
CWallpaperChanger theWallpaperChanger;

namespace {

class CCountingDlg : public CTapestrixDlg {
public:
    int newWallpaperCalls = 0;
    int trayMenuCalls = 0;

protected:
    void OnNewWallpaper() override { ++newWallpaperCalls; }
    void ShowTrayMenu() override { ++trayMenuCalls; }
};

}  // namespace

TEST(MainDialogWithoutMenu, RightClickSaysTheMenuIsNotAvailable)
{
    CWinApp app("Tapestrix");
    CCountingDlg dlg;
    EXPECT_FALSE(dlg.IsMenuLoaded());
    ASSERT_TRUE(dlg.Create(IDD_TAPESTRIX_DIALOG));
    app.m_pMainWnd = &dlg;

    DialogAnswerer answerer;
    HWND owner = nullptr;
    answerer.SetHandler([&](HWND box, const DialogSeen& seen) {
        if (box == dlg.GetSafeHwnd())
            return 0;   // the hidden main dialog itself is left alone
        owner = GetWindow(box, GW_OWNER);
        return seen.text.empty() ? 0 : IDOK;
    });
    SendMessageA(dlg.GetSafeHwnd(), WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_RBUTTONDOWN);
    EXPECT_TRUE(answerer.Seen().empty());
    SendMessageA(dlg.GetSafeHwnd(), WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_RBUTTONUP);
    ASSERT_FALSE(answerer.Seen().empty());
    EXPECT_EQ("Tapestrix", answerer.Seen()[0].caption);
    EXPECT_EQ("Popup menu not available due to error occured during loading", answerer.Seen()[0].text);
    EXPECT_EQ(dlg.GetSafeHwnd(), owner);
    EXPECT_EQ(0, dlg.trayMenuCalls);

    SendMessageA(dlg.GetSafeHwnd(), WM_TRAY_NOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
    EXPECT_EQ(1, dlg.newWallpaperCalls);

    app.m_pMainWnd = nullptr;
    dlg.DestroyWindow();
}
