// What the engine's tests need around CWallpaperChanger: an application
// object with a real main window (the owner of the engine's timer and
// message boxes), the two shell windows the engine looks for by class name
// ("Shell_TrayWnd", "Progman") as real windows of the test, and hooks that log
// the engine's side effects (sound, timers, posted commands, showing and
// hiding the desktop window) into the same call log as the recording Active
// Desktop object, so that one list shows the whole order.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "FakeActiveDesktop.h"
#include "ImportHook.h"
#include "TestSupport.h"
#include "framework/App.h"
#include "framework/Wnd.h"

namespace tpx::test {

// The main window: records the timers it receives.
class RecordingMainWnd : public CWnd {
public:
    struct TimerTick {
        UINT_PTR id;
        DWORD tick;
    };
    std::vector<TimerTick> timers;

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

class TestApplication : public CWinApp {
public:
    TestApplication();
    ~TestApplication() override;
    RecordingMainWnd mainWnd;
};

// A top-level window of a given class that records the commands posted to it.
class ShellWindow {
public:
    ShellWindow(const char* className, bool visible);
    ~ShellWindow();
    ShellWindow(const ShellWindow&) = delete;
    ShellWindow& operator=(const ShellWindow&) = delete;

    HWND Handle() const { return m_hwnd; }
    void Destroy();
    std::vector<WPARAM> commands;   // WM_COMMAND wParams received

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    std::string m_class;
    HWND m_hwnd = nullptr;
};

// Logs PlaySoundA, SetTimer / KillTimer, PostMessageA to the taskbar window
// and ShowWindow on the desktop window into `log` while it exists; every call
// is passed on to the real function.
class SideEffectRecorder {
public:
    SideEffectRecorder(std::vector<AdCall>* log, HWND mainWindow, HWND taskbar, HWND desktop);
    ~SideEffectRecorder();
    SideEffectRecorder(const SideEffectRecorder&) = delete;
    SideEffectRecorder& operator=(const SideEffectRecorder&) = delete;
    bool Installed() const;

private:
    std::unique_ptr<ImportHook> m_playSound, m_setTimer, m_killTimer, m_postMessage, m_showWindow;
};

// The program's key, emptied (and created) for one test, and the shell's
// Internet Explorer desktop key (created when missing), both restored
// exactly afterwards.  These are the only keys the engine writes.
class EngineRegistryScope {
public:
    EngineRegistryScope();
    void Set(const std::string& name, DWORD value) const;
    void Set(const std::string& name, const std::string& value) const;

private:
    RegistrySnapshot m_app{HKEY_CURRENT_USER, kAppKey};
    RegistrySnapshot m_general{HKEY_CURRENT_USER, kGeneralKey};
};

// Counts RegOpenKeyExA calls of the program while it exists.
class RegistryOpenCounter {
public:
    RegistryOpenCounter();
    ~RegistryOpenCounter();
    RegistryOpenCounter(const RegistryOpenCounter&) = delete;
    RegistryOpenCounter& operator=(const RegistryOpenCounter&) = delete;
    bool Installed() const { return m_hook.Installed(); }
    int Count() const;

private:
    ImportHook m_hook;
};

}  // namespace tpx::test
