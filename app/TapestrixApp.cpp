#include "app/TapestrixApp.h"

#include "app/TapestrixDlg.h"
#include "engine/WallpaperChanger.h"
#include "res/resource.h"
#include "settings/Settings.h"

// The three long-lived objects come to life in this order: the application,
// the engine (defined right after it, so constructed second and destroyed
// before it), and the main window on the first pass through InitInstance
// (destroyed first).
CTapestrixApp theApp;
CWallpaperChanger theWallpaperChanger;

namespace {

const char kAppName[] = "Tapestrix";
const char kMutexName[] = "Tapestrix Application";

}  // namespace

CTapestrixApp::CTapestrixApp() = default;

// The mutex owner closes the handle after everything else is gone.
CTapestrixApp::~CTapestrixApp() = default;

BOOL CTapestrixApp::InitInstance()
{
    // Only the mutex's existence matters: it is never owned or waited on.
    HANDLE mutex = ::CreateMutexA(nullptr, FALSE, kMutexName);
    const DWORD error = ::GetLastError();
    m_hMutex.Reset(mutex);
    if (mutex && error == ERROR_ALREADY_EXISTS)
        return FALSE;   // another copy runs; leave it alone, say nothing

    SetAppName(kAppName);

    if (!theWallpaperChanger.Initialize()) {
        AfxMessageBox("Unable to setup COM library or active desktop interface");
        return FALSE;
    }

    static CTapestrixDlg dlg;
    m_pMainWnd = &dlg;
    if (!dlg.Create(IDD_TAPESTRIX_DIALOG)) {
        AfxMessageBox("Error starting application");
        return FALSE;
    }

    dlg.InitTrayIconData();
    dlg.StartAutoChangeTimer();

    if (ReadAppDword(AppSetting::MinimizeOnStartup) != 0)
        dlg.AddTrayIcon();
    else
        dlg.ShowSettingsSheet();
    return TRUE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR cmdLine, int cmdShow)
{
    return AfxWinMain(instance, previous, cmdLine, cmdShow);
}
