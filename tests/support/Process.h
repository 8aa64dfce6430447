// Processes for tests: child programs, this program's own import slots, and
// Tapestrix.exe running as a child the way the user runs it, with what the
// shell sees of it (its hidden main dialog, its sheet, its tray icon).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "Files.h"
#include "Registry.h"

namespace tpx::test {

// Points this program's import of `function` (by name) at `replacement` and
// stores the previous target in *original; TRUE when the slot was found.
// Product code linked into a test program calls the system through these
// slots, so a test can record calls or play a file system Wine cannot be.
bool PatchImport(const char* function, const void* replacement, void* original);

// A child program; killed at destruction if it is still running.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Start(const std::string& exePath, const std::string& args = {});
    DWORD Pid() const { return m_pi.dwProcessId; }
    HANDLE Handle() const { return m_pi.hProcess; }
    bool IsRunning() const;
    // TRUE when the process ended within the time; its exit code in *code.
    bool WaitExit(DWORD timeoutMs, DWORD* code = nullptr);
    void Kill();

private:
    PROCESS_INFORMATION m_pi{};
};

// The program's hidden main dialog in process `pid` (its message boxes carry
// the same title but are shown); null while there is none.
HWND MainDialogOf(DWORD pid);
// The settings sheet process `pid` shows (the shown dialog with tabs); null
// while there is none.
HWND SettingsSheetOf(DWORD pid);
// Whether the shell holds the tray icon of `owner`, waiting up to timeoutMs:
// Wine's tray answers a NIM_MODIFY that changes nothing only for an icon it
// holds.  With 0 it asks once and pumps nothing.
bool TrayHasIcon(HWND owner, DWORD timeoutMs = 5000);
// The normal desktop's wallpaper as the shell recorded it.
std::string NormalWallpaper();

// Tapestrix.exe as the user runs it, a child of the test.  A window of the
// test's keeps Wine's desktop and its tray alive between programs; the
// program's key is emptied for the run and restored after, with the shell's
// values it touches (unless `ownSettings` is false: an installed copy keeps
// what setup wrote).  Still running at the end, it is asked to exit.
class RunningTapestrix {
public:
    explicit RunningTapestrix(bool ownSettings = true);
    ~RunningTapestrix();
    RunningTapestrix(const RunningTapestrix&) = delete;
    RunningTapestrix& operator=(const RunningTapestrix&) = delete;

    // The program's key (only with ownSettings).
    const AppRegistryScope& Settings() const { return *m_settings; }
    // Starts the program and waits for its hidden main dialog.
    bool Start(const std::string& exePath = ExeDir() + "\\Tapestrix.exe");
    // Exit from the tray menu: the program ends, and ends cleanly (code 0).
    bool Exit();
    void Command(WPARAM id) const { PostMessageA(m_dialog, WM_COMMAND, id, 0); }
    // The shell's relay of a double-click on the tray icon.
    void DoubleClick() const { PostMessageA(m_dialog, WM_USER + 100, 128, WM_LBUTTONDBLCLK); }
    // The sheet opened from the tray menu; null when it did not open.
    HWND OpenSettings(DWORD timeoutMs = 10000) const;

    HWND Dialog() const { return m_dialog; }
    DWORD Pid() const { return m_process.Pid(); }
    ChildProcess& Process() { return m_process; }

private:
    HWND m_keepAlive;
    std::optional<AppRegistryScope> m_settings;
    ChildProcess m_process;
    HWND m_dialog = nullptr;
};

}  // namespace tpx::test
