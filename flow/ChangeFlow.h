// CChangeFlow: the one road of a wallpaper change on the user's behalf, from
// every way in (the tray's double-click and "New Wallpaper", the periodic
// timer, the settings pages' Browse and Set buttons).  It is the only place
// that asks the user anything about a change (the file chooser, the
// conversion question, the failure messages) and the only owner of the main
// window's two timers; the engine underneath takes paths and returns results.
//
// One change at a time: every way in claims the engine (CChangeGuard) for
// the change's whole run, waits included.  While a change waits for the
// user, another way in is refused; the tray brings the waiting window to the
// front instead, and Exit ends the wait first and exits once the change has
// unwound.  A completed change tells the main window (WM_WALLPAPER_CHANGED),
// which tells an open settings sheet's pages.
#pragma once

#include <windows.h>

#include "framework/String.h"

class CWnd;

// Timers on the main window: the one that shows the desktop icons again,
// and the periodic change.
#define IDT_SHOW_DESKTOP_ITEMS 100
#define IDT_AUTO_CHANGE 101

// Sent to the main window after every completed change or style change.
#define WM_WALLPAPER_CHANGED (WM_APP + 0x19)
// The main window hands it on to the open sheet's pages as PSM_QUERYSIBLINGS
// with this code in wParam.
#define TPX_SIBLINGS_WALLPAPER_CHANGED 0x7019

// The period of a timer stored as a number of seconds.  At least one second:
// a stored 0 would fire as fast as the system allows.  At most the longest
// period a timer holds: beyond it, 32-bit milliseconds wrap to short ones.
UINT TimerPeriodMs(DWORD seconds);

class CChangeFlow {
public:
    CChangeFlow() = default;
    CChangeFlow(const CChangeFlow&) = delete;
    CChangeFlow& operator=(const CChangeFlow&) = delete;

    // ---- the ways in; each returns FALSE when another change holds the engine

    // "New Wallpaper" (tray double-click, menu command): by "Selection", the
    // file chooser for the manual mode.
    BOOL NewWallpaper();
    // One tick of the periodic change: by "AutoChangeSelection", silent
    // about a refusal (the tick waits for its next period).
    BOOL AutoChange();
    // A settings page's Browse: the chooser of that desktop, then the change.
    // *shown gets what the desktop now shows (a converted picture's bitmap).
    BOOL BrowseAndSet(CWnd* owner, BOOL active, CString* shown);
    // A settings page's Set: `path` on that desktop.  `activeFailure` is the
    // message when the Active Desktop refuses it.
    BOOL SetPicture(CWnd* owner, BOOL active, CString path, LPCSTR activeFailure);

    // ---- the guard

    BOOL IsChanging() const;
    // Brings the window the waiting change shows to the front; FALSE when no
    // change waits.
    BOOL BringWaitingWindowToFront() const;
    // When a change waits: ends the wait (nothing more is applied or asked),
    // and posts the message once the change has unwound; TRUE then.  FALSE
    // when no change runs: the caller goes on at once.
    BOOL EndWaitThenPost(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // ---- the timers

    // Starts the periodic change when "EnableAutoChange" is on.
    void StartAutoChangeTimer();
    // Every start goes through here, so none escapes TimerPeriodMs' bounds.
    BOOL SetAutoChangeTimer();
    void KillAutoChangeTimer();
    // The main window's WM_TIMER for the two timers.
    void OnTimer(UINT_PTR timerId);
    // Shows the desktop icons if a change hid them and their timer is pending.
    void ShowHiddenDesktopItems();

private:
    friend class CFlowScope;
    // The steps under a claimed change.
    BOOL PickPicture(CWnd* owner, BOOL active, CString* path);
    int SetNormal(CWnd* owner, CString* path);
    int SetActive(CWnd* owner, const CString& path, LPCSTR failure);
    void ChangeDone(BOOL normal);
    void Report(CWnd* owner, LPCSTR text);
    void ReportListResult(int result);

    BOOL m_bCancelled = FALSE;
    HWND m_hPostWindow = nullptr;
    UINT m_nPostMessage = 0;
    WPARAM m_postWParam = 0;
    LPARAM m_postLParam = 0;
};

extern CChangeFlow theChangeFlow;
