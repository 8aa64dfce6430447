// The fixture shared by the tests of the desktop service and the choice:
// an empty application key (it and the shell's desktop key restored
// afterwards), an
// application with a main window, the shell's taskbar and desktop windows,
// and a CWallpaperChanger holding a recording Active Desktop object, with its
// side effects logged into the same list.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineTestEnv.h"
#include "FakeActiveDesktop.h"
#include "TestSupport.h"
#include "engine/WallpaperChanger.h"

namespace tpx::test {

using Calls = std::vector<std::string>;

class ChangerFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(recorder.Installed());
        ASSERT_EQ(FindWindowA("Shell_TrayWnd", nullptr), taskbar.Handle());
        ASSERT_EQ(FindWindowA("Progman", nullptr), desktop.Handle());
        ASSERT_NE(app.mainWnd.GetSafeHwnd(), nullptr);
        ASSERT_EQ(AfxGetMainWnd(), &app.mainWnd);
        // The changer uninitialises COM once when it goes; it is attached,
        // not initialised, so the test initialises for it.
        CoInitialize(nullptr);
        changer.Attach(&fake);
    }

    void Set(const char* name, DWORD value) { registry.Set(name, value); }
    void Set(const char* name, const std::string& value) { registry.Set(name, value); }
    static std::optional<std::string> ShellWallpaper() { return GetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper"); }

    // Brief form of the calls logged so far (object calls and side effects).
    Calls Log() const { return fake.Briefs(); }
    bool Logged(const std::string& prefix) const
    {
        for (const std::string& call : Log())
            if (call.compare(0, prefix.size(), prefix) == 0)
                return true;
        return false;
    }

    EngineRegistryScope registry;
    TestApplication app;
    ShellWindow taskbar{"Shell_TrayWnd", false};
    ShellWindow desktop{"Progman", true};
    FakeActiveDesktop fake;
    SideEffectRecorder recorder{&fake.calls, app.mainWnd.GetSafeHwnd(), taskbar.Handle(), desktop.Handle()};
    CWallpaperChanger changer;
};

}  // namespace tpx::test
