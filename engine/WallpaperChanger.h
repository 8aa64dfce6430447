// CWallpaperChanger: the program's one way to touch the desktop.  It wraps the
// shell's Active Desktop object (IActiveDesktop) and adds the program's own
// side effects around a change: minimising all windows, the change sound,
// hiding the desktop icons for a while, and keeping the Active Desktop
// wallpaper value apart from the normal wallpaper.  It also picks the next
// wallpaper from a candidate list (random or sequential) and runs the manual
// choice through the open-file dialogs.
//
// One global instance, theWallpaperChanger, lives for the whole run; it is
// defined by the application right after the application object, so it is
// constructed second and destroyed before it.
#pragma once

#include <windows.h>
#include <wininet.h>  // before <shlobj.h>, which declares IActiveDesktop only then
#include <shlobj.h>

#include "framework/String.h"

// Enough for this header when a file had included <shlobj.h> before
// <wininet.h>; such a file cannot call the interface itself.
struct IActiveDesktop;

// Program display styles; also the item order of the style menu and list.
enum {
    DISPLAY_STYLE_TILE = 0,
    DISPLAY_STYLE_CENTER = 1,
    DISPLAY_STYLE_STRETCH = 2
};

// Timers on the main window: the one that shows the desktop icons again,
// and the periodic change.
#define IDT_SHOW_DESKTOP_ITEMS 100
#define IDT_AUTO_CHANGE 101

// The period of a timer stored as a number of seconds.  At least one second:
// a stored 0 would fire as fast as the system allows.  At most the longest
// period a timer holds: beyond it, 32-bit milliseconds wrap to short ones.
UINT TimerPeriodMs(DWORD seconds);

// The change sound, resource type "WAVE".
#define IDR_CHANGE_SOUND 157

class CWallpaperChanger {
public:
    CWallpaperChanger();
    virtual ~CWallpaperChanger();

    CWallpaperChanger(const CWallpaperChanger&) = delete;
    CWallpaperChanger& operator=(const CWallpaperChanger&) = delete;

    // Lifecycle.
    BOOL Initialize();
    void Shutdown();

    // Queries and settings of the shell.
    BOOL IsActiveDesktopEnabled();
    BOOL EnableActiveDesktop(BOOL enable);
    BOOL SetDisplayStyle(int style);
    int GetDisplayStyle();

    // Changing the wallpaper.
    BOOL SetNormalWallpaper(CString path);
    BOOL SetActiveDesktopWallpaper(CString path);
    BOOL RefreshWallpaper();
    // The tail every normal-desktop change shares after its conversion
    // (`conversion` is the converter's result for `path`): nothing for an
    // unusable picture, the change with its failure message, and a refresh
    // after a conversion rewrote the bitmap the shell already shows.  TRUE
    // when `path` is now the normal wallpaper.  The message is modal over
    // `messageOwner`'s top-level window (a settings page's sheet), over the
    // main window when it is null.
    BOOL SetConvertedNormalWallpaper(CString path, int conversion, HWND messageOwner = nullptr);
    void SelectWallpaperManually();

    // Side effects of a change.
    void MinimizeAll(int minimize);
    BOOL ShowDesktopItems(int show);

    // The periodic change on the main window, every "AutoChangeTimer"
    // seconds (30 when none is stored).  Every start goes through here, so
    // none escapes the bounds of TimerPeriodMs.  FALSE without a main window.
    BOOL SetAutoChangeTimer();
    void KillAutoChangeTimer();

    // TRUE while a change holds a CChangeGuard: it may be waiting in a file
    // dialog or a message box whose loop delivers further ticks and clicks.
    BOOL IsChanging() const { return m_bChanging; }

    // Choosing from a candidate list (see WallpaperSelection.h for the scan).
    BOOL ChangeWallpaper(CStringArray* list);
    BOOL AutoChangeWallpaper(CStringArray* list);
    void ChangeToRandomWallpaper(CStringArray* list);
    void ChangeToNextWallpaper(CStringArray* list);

    // Hands the engine an Active Desktop object obtained elsewhere (tests use
    // it to put a recording object in place).  Takes its own reference and
    // releases the one held before.  The program itself only uses Initialize.
    BOOL Attach(IActiveDesktop* activeDesktop);

protected:
    IActiveDesktop* m_pActiveDesktop;

private:
    friend class CChangeGuard;
    BOOL m_bChanging = FALSE;

    // Applies one chosen entry to whichever desktop is active; shared tail of
    // the random and the sequential choice.
    void ApplyChosenWallpaper(CString path);
    void PlayChangeSound();
};

extern CWallpaperChanger theWallpaperChanger;

// One change at a time.  Every path that changes the wallpaper on the user's
// behalf (tray commands, timer ticks, the settings pages) claims the engine
// for the change's whole run; while it is claimed a second change is skipped,
// so a failing automatic change cannot stack one message box per period.
// The claim ends with the guard, on every way out.
class CChangeGuard {
public:
    explicit CChangeGuard(CWallpaperChanger& changer = theWallpaperChanger);
    ~CChangeGuard();
    CChangeGuard(const CChangeGuard&) = delete;
    CChangeGuard& operator=(const CChangeGuard&) = delete;

    // FALSE when another change held the engine already: do nothing.
    BOOL IsClaimed() const { return m_pChanger != nullptr; }

private:
    CWallpaperChanger* m_pChanger;
};
