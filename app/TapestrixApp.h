// CTapestrixApp: the application object.  Start-up lets only one copy run,
// connects the wallpaper engine to the Active Desktop, creates the hidden
// main window and puts the tray icon up (or first opens the settings).
#pragma once

#include "framework/App.h"
#include "framework/Handles.h"

class CTapestrixApp : public CWinApp {
public:
    CTapestrixApp();
    ~CTapestrixApp() override;

    BOOL InitInstance() override;

    // The single-instance marker; it lives until the very end of the process.
    CKernelHandle m_hMutex;
};

extern CTapestrixApp theApp;
