// Tapestrix.exe as the user runs it, driven the way the shell drives it:
// the tray icon's callback and the tray menu's commands are posted to its
// hidden main dialog, and what the user would see is read back from the
// values the shell keeps, from Wine's desktop and from the message boxes.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "TestSupport.h"

namespace tpx::test {

inline constexpr char kExplorerKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";

// The running program.  Killed at destruction if a test did not end it.
class RunningTapestrix {
public:
    // Starts the program and waits until its hidden main dialog exists.
    bool Start();
    DWORD Pid() const { return m_process.Pid(); }
    HWND Dialog() const { return m_dialog; }
    bool IsRunning() const { return m_process.IsRunning(); }

    // What the shell sends for a double-click on the tray icon.
    void DoubleClickTray() const;
    // What the tray menu posts for a chosen item.
    void Command(UINT id) const;
    // Posts `marker` (a selection command) after whatever was posted
    // before and waits until it was handled: everything posted earlier has
    // been handled then, or is waiting in a dialog it opened.
    bool Flush(UINT marker = 32777) const;
    // The visible dialogs of the program (message boxes, file dialogs).
    std::vector<HWND> OpenDialogs() const;

    // Exit from the tray menu; true when the program ended cleanly.
    bool Exit();

private:
    ChildProcess m_process;
    HWND m_dialog = nullptr;
};

// The values a test reads to see which wallpaper the shell has.
std::optional<std::string> NormalWallpaper();  // "BackupWallpaper" of the Active Desktop
std::optional<std::string> ShownWallpaper();   // "Wallpaper" of "Control Panel\Desktop"

// Waits until the shell records `path` as the normal wallpaper.
bool WaitForNormalWallpaper(const std::string& path, DWORD timeoutMs = 8000);

// What Wine's desktop window shows at a point of the screen.
COLORREF DesktopPixel(int x, int y);
bool WaitForDesktopColour(int x, int y, COLORREF colour, int tolerance, DWORD timeoutMs = 8000);

// A solid JPEG picture (FreeImage).
bool WriteSolidJpeg(const std::string& path, int width, int height, COLORREF colour);

// The bitmap the Active Desktop object of the prefix writes for pictures
// the desktop cannot draw as they are; moved aside for one test and put
// back afterwards, and optionally replaced by a folder of that name, so
// the object cannot write it.
class ProviderBitmapScope {
public:
    explicit ProviderBitmapScope(bool block);
    ~ProviderBitmapScope();
    ProviderBitmapScope(const ProviderBitmapScope&) = delete;
    ProviderBitmapScope& operator=(const ProviderBitmapScope&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_saved;
};

// Everything a test of the running program changes, put back afterwards:
// the program's key (emptied), the shell's wallpaper values, and what the
// desktop shows.
class DesktopTestScope {
public:
    DesktopTestScope();
    ~DesktopTestScope();
    DesktopTestScope(const DesktopTestScope&) = delete;
    DesktopTestScope& operator=(const DesktopTestScope&) = delete;

    void Set(const std::string& name, DWORD value) const { m_registry.Set(name, value); }
    void Set(const std::string& name, const std::string& value) const { m_registry.Set(name, value); }

private:
    // Shows the restored wallpaper again once the values are back.
    struct ShowRestoredWallpaper {
        ~ShowRestoredWallpaper();
    } m_showRestored;
    AppRegistryScope m_registry;
    // A window of our own keeps Wine's desktop (and its tray) alive between
    // the programs a test starts.
    HWND m_keepAlive = nullptr;
};

// True when the shell has the Active Desktop switched off.
bool ActiveDesktopOff();

// A test of the running program: its own registry scope, a folder of
// pictures as the wallpaper folder, the converted bitmap beside it, the
// program starting in the tray, and no wallpaper on a tiling desktop (so
// any picture fills the screen).  The program is ended with Exit.
class TapestrixTest : public ::testing::Test {
protected:
    // A point of the desktop clear of the windows of the tests.
    static constexpr int kSampleX = 300;
    static constexpr int kSampleY = 200;

    void SetUp() override;
    void TearDown() override;

    std::string Picture(const std::string& name) const { return m_pictures / name; }
    void StartTapestrix();

    DesktopTestScope m_scope;
    TempDir m_pictures;
    TempDir m_work;
    std::string m_converted;
    RunningTapestrix m_tapestrix;
};

}  // namespace tpx::test
