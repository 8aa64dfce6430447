// CWallpaperChanger: the program's one way to touch the desktop.  It wraps the
// shell's Active Desktop object (IActiveDesktop) and adds the program's own
// side effects around a change: minimising all windows, the change sound and
// keeping the Active Desktop wallpaper value apart from the normal wallpaper.
// It also picks the next wallpaper from a candidate list (random or
// sequential).  It takes paths and returns results: it asks the user
// nothing, shows nothing and owns no timer (the change flow, flow/, does).
// A change that fails at any step leaves the shell as it was: Active Desktop
// on or off, the desktop items and the shell's "Wallpaper" value.
//
// One global instance, theWallpaperChanger, lives for the whole run; it is
// defined by the application right after the application object, so it is
// constructed second and destroyed before it.
#pragma once

#include <windows.h>
#include <wininet.h>  // before <shlobj.h>, which declares IActiveDesktop only then
#include <shlobj.h>

#include "framework/Handles.h"
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

// What a change from a candidate list came to.
enum EChangeResult {
    CHANGE_DONE = 0,
    CHANGE_NOTHING_TO_DO = 1,   // no candidate, an unusable picture, no such mode
    CHANGE_NEEDS_CHOICE = 2,    // the manual mode: the user picks the file
    CHANGE_NORMAL_FAILED = 3,   // the normal desktop refused it (shell as before)
    CHANGE_ACTIVE_FAILED = 4    // the Active Desktop refused it (shell as before)
};

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
    // unusable picture (CHANGE_NOTHING_TO_DO), the change, and a refresh
    // after a conversion rewrote the bitmap the shell already shows.
    int SetConvertedNormalWallpaper(CString path, int conversion);

    // Side effects of a change.
    void MinimizeAll(int minimize);
    BOOL ShowDesktopItems(int show);

    // TRUE while a change holds a CChangeGuard: it may be waiting in a file
    // dialog or a message box whose loop delivers further ticks and clicks.
    BOOL IsChanging() const { return m_bChanging; }

    // Choosing from a candidate list (see WallpaperSelection.h for the
    // scan); each returns an EChangeResult.
    int ChangeWallpaper(CStringArray* list);
    int AutoChangeWallpaper(CStringArray* list);
    int ChangeToRandomWallpaper(CStringArray* list);
    int ChangeToNextWallpaper(CStringArray* list);

    // Hands the engine an Active Desktop object obtained elsewhere (tests use
    // it to put a recording object in place).  Takes its own reference and
    // releases the one held before.  The program itself only uses Initialize.
    BOOL Attach(IActiveDesktop* activeDesktop);

protected:
    CComPtr<IActiveDesktop> m_pActiveDesktop;

private:
    friend class CChangeGuard;
    BOOL m_bChanging = FALSE;

    // Applies one chosen entry to whichever desktop is active; shared tail of
    // the random and the sequential choice.
    int ApplyChosenWallpaper(CString path);
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
