// The fixture of the tests that drive the program's hidden main dialog in
// this process (and the settings sheet it opens): the dialog with its tray
// icon, an empty application key, and every message box or common dialog
// recorded with its owner and answered through Answer.
#pragma once

#include <gtest/gtest.h>

#include "SheetDriver.h"
#include "TestSupport.h"

#include "app/TapestrixDlg.h"
#include "framework/App.h"
#include "res/resource.h"

namespace tpx::test {

template <class Dialog = CTapestrixDlg>
class MainDialogFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dlg.Create(IDD_TAPESTRIX_DIALOG));
        m_app.m_pMainWnd = &m_dlg;
        m_dlg.InitTrayIconData();
        m_dlg.AddTrayIcon();
        m_answerer.SetHandler([this](HWND dialog, const DialogSeen& seen) {
            if (CWnd::FromHandlePermanent(dialog))
                return 0;   // the sheet and the main dialog themselves
            m_seen.push_back(seen);
            m_owners.push_back(GetWindow(dialog, GW_OWNER));
            return Answer(dialog);
        });
    }
    void TearDown() override
    {
        if (m_dlg.GetSafeHwnd()) {
            m_dlg.RemoveTrayIcon();
            m_dlg.DestroyWindow();
        }
        MSG quit;   // posted as the main window went
        PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        m_app.m_pMainWnd = nullptr;
    }
    virtual int Answer(HWND) { return IDOK; }

    // Opens the sheet as the tray menu does and plays `steps` in it.
    void Run(std::vector<SheetStep> steps)
    {
        PlayInSheet(std::move(steps), [this] { SendMessageA(m_dlg.GetSafeHwnd(), WM_COMMAND, ID_OPEN_SETTINGS, 0); });
    }
    void Send(UINT message, WPARAM wParam, LPARAM lParam = 0)
    {
        SendMessageA(m_dlg.GetSafeHwnd(), message, wParam, lParam);
    }

    AppRegistryScope m_registry;
    CWinApp m_app{"Tapestrix"};
    Dialog m_dlg;
    DialogAnswerer m_answerer;
    std::vector<DialogSeen> m_seen;
    std::vector<HWND> m_owners;
};

using MainDialogSheet = MainDialogFixture<>;

}  // namespace tpx::test
