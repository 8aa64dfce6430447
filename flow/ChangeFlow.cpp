#include "flow/ChangeFlow.h"

#include <utility>

#include "engine/Conversion.h"
#include "engine/WallpaperChanger.h"
#include "engine/WallpaperSelection.h"
#include "framework/App.h"
#include "framework/CommonDialogs.h"
#include "framework/Wnd.h"
#include "settings/Settings.h"

CChangeFlow theChangeFlow;

namespace {

// What each desktop's chooser offers and says.
const char kNormalFilter[] = "Picture Files (*.bmp, *.jpg, *.gif)|*.bmp;*.jpg;*.gif||";
const char kActiveFilter[] =
    "Picture Files (*.bmp, *.jpg, *.gif)|*.bmp;*.jpg;*.gif|HTML Files (*.html, *.htm)|*.html;*.htm||";
const char kNormalTitle[] = "Select normal desktop wallpaper";
const char kActiveTitle[] = "Select active desktop wallpaper";

const char kConvertQuestion[] =
    "This is not a windows bitmap. Convert it so that you can display on your normal desktop?";
const char kNormalFailed[] = "Unable to set normal desktop wallpaper";
const char kActiveSetFailed[] = "Unable to set active desktop wallpaper";
const char kActiveChangeFailed[] = "Unable to change active desktop wallpaper";

HWND MainWindow()
{
    CWnd* mainWnd = AfxGetMainWnd();
    return mainWnd ? mainWnd->GetSafeHwnd() : nullptr;
}

// The wallpaper folder's files for the desktop now shown; FALSE for none.
BOOL CollectCandidates(CStringArray* list)
{
    CollectWallpapers(ReadAppString(AppSetting::WallpaperFolder), list, theWallpaperChanger.IsActiveDesktopEnabled());
    return !list->IsEmpty();
}

// A box over a page goes over its sheet, with the sheet's look; one for the
// tray goes over the main window.
int AskOrTell(CWnd* owner, LPCSTR text, UINT type)
{
    if (!owner || !owner->GetSafeHwnd())
        return AfxMessageBox(text, type);
    CWinApp* app = AfxGetApp();
    return TpxMessageBoxEx(::GetAncestor(owner->GetSafeHwnd(), GA_ROOT), text,
                           app ? app->m_pszAppName : "Tapestrix", type, LANG_NEUTRAL);
}

// The window a waiting change shows: a visible, enabled top-level window of
// this thread other than the hidden main window (the sheet under a modal
// box is disabled).
struct WaitingWindow {
    HWND main;
    HWND found = nullptr;
    static BOOL CALLBACK Visit(HWND window, LPARAM data)
    {
        auto* self = reinterpret_cast<WaitingWindow*>(data);
        if (window == self->main || !::IsWindowVisible(window) || !::IsWindowEnabled(window))
            return TRUE;
        self->found = window;
        return FALSE;
    }
    static HWND Find()
    {
        WaitingWindow seek{MainWindow()};
        ::EnumThreadWindows(::GetCurrentThreadId(), Visit, reinterpret_cast<LPARAM>(&seek));
        return seek.found;
    }
};

}  // namespace

// One claimed change: the engine's guard, and on its end the message an
// Exit asked for meanwhile.
class CFlowScope {
public:
    explicit CFlowScope(CChangeFlow& flow) : m_flow(flow) {}
    ~CFlowScope()
    {
        if (!m_guard.IsClaimed())
            return;
        m_flow.m_bCancelled = FALSE;
        if (const HWND window = std::exchange(m_flow.m_hPostWindow, nullptr))
            ::PostMessageA(window, m_flow.m_nPostMessage, m_flow.m_postWParam, m_flow.m_postLParam);
    }
    CFlowScope(const CFlowScope&) = delete;
    CFlowScope& operator=(const CFlowScope&) = delete;
    BOOL IsClaimed() const { return m_guard.IsClaimed(); }

private:
    CChangeFlow& m_flow;
    const CChangeGuard m_guard;
};

UINT TimerPeriodMs(DWORD seconds)
{
    const ULONGLONG shortest = 1000;
    const ULONGLONG ms = static_cast<ULONGLONG>(seconds) * 1000;
    if (ms < shortest)
        return static_cast<UINT>(shortest);
    return ms > USER_TIMER_MAXIMUM ? USER_TIMER_MAXIMUM : static_cast<UINT>(ms);
}

// ---------------------------------------------------------------- the ways in

BOOL CChangeFlow::NewWallpaper()
{
    const CFlowScope change(*this);
    if (!change.IsClaimed())
        return FALSE;
    CStringArray list;
    if (!CollectCandidates(&list))
        return TRUE;
    const int result = theWallpaperChanger.ChangeWallpaper(&list);
    if (result != CHANGE_NEEDS_CHOICE) {
        ReportListResult(result);
        return TRUE;
    }
    const BOOL active = theWallpaperChanger.IsActiveDesktopEnabled();
    CString path;
    if (!PickPicture(nullptr, active, &path))
        return TRUE;
    if (active)
        SetActive(nullptr, path, kActiveSetFailed);
    else
        SetNormal(nullptr, &path);
    return TRUE;
}

BOOL CChangeFlow::AutoChange()
{
    const CFlowScope change(*this);
    if (!change.IsClaimed())
        return FALSE;
    CStringArray list;
    if (CollectCandidates(&list))
        ReportListResult(theWallpaperChanger.AutoChangeWallpaper(&list));
    return TRUE;
}

BOOL CChangeFlow::BrowseAndSet(CWnd* owner, BOOL active, CString* shown)
{
    // The change holds the engine from the chooser on, so no timer tick
    // changes the wallpaper under it.
    const CFlowScope change(*this);
    if (!change.IsClaimed())
        return FALSE;
    CString path;
    if (!PickPicture(owner, active, &path))
        return FALSE;
    const int result = active ? SetActive(owner, path, kActiveSetFailed) : SetNormal(owner, &path);
    if (result != CHANGE_DONE)
        return FALSE;
    if (shown)
        *shown = path;
    return TRUE;
}

BOOL CChangeFlow::SetPicture(CWnd* owner, BOOL active, CString path, LPCSTR activeFailure)
{
    const CFlowScope change(*this);
    if (!change.IsClaimed())
        return FALSE;
    const int result = active ? SetActive(owner, path, activeFailure) : SetNormal(owner, &path);
    return result == CHANGE_DONE;
}

// ---------------------------------------------------------------- the steps

BOOL CChangeFlow::PickPicture(CWnd* owner, BOOL active, CString* path)
{
    CFileDialog dialog(TRUE, nullptr, nullptr,
                       OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST,
                       active ? kActiveFilter : kNormalFilter, owner);
    dialog.m_ofn.lpstrTitle = active ? kActiveTitle : kNormalTitle;
    if (dialog.DoModal() != IDOK || m_bCancelled)
        return FALSE;
    *path = dialog.GetPathName();
    return TRUE;
}

int CChangeFlow::SetNormal(CWnd* owner, CString* path)
{
    BOOL agreed = FALSE;
    if (IsConversionAsked(*path)) {
        agreed = AskOrTell(owner, kConvertQuestion, MB_YESNO | MB_ICONQUESTION) == IDYES;
        if (!agreed || m_bCancelled)
            return CHANGE_NOTHING_TO_DO;
    }
    const int conversion = ConvertToBitmap(*path, agreed);
    const int result = theWallpaperChanger.SetConvertedNormalWallpaper(*path, conversion);
    if (result == CHANGE_NORMAL_FAILED)
        Report(owner, kNormalFailed);
    else if (result == CHANGE_DONE)
        ChangeDone(TRUE);
    return result;
}

int CChangeFlow::SetActive(CWnd* owner, const CString& path, LPCSTR failure)
{
    if (!theWallpaperChanger.SetActiveDesktopWallpaper(path)) {
        Report(owner, failure);
        return CHANGE_ACTIVE_FAILED;
    }
    ChangeDone(FALSE);
    return CHANGE_DONE;
}

void CChangeFlow::ChangeDone(BOOL normal)
{
    // The icons are hidden only after a change the normal desktop shows, and
    // only where the timer on the main window can bring them back.  A
    // pending timer is replaced, so they come back one full period after
    // the last change.
    const HWND mainWindow = MainWindow();
    if (normal && mainWindow && ReadAppDword(AppSetting::HideDesktopItems) == 1 &&
        !theWallpaperChanger.IsActiveDesktopEnabled()) {
        ::KillTimer(mainWindow, IDT_SHOW_DESKTOP_ITEMS);
        if (theWallpaperChanger.ShowDesktopItems(0))
            ::SetTimer(mainWindow, IDT_SHOW_DESKTOP_ITEMS,
                       TimerPeriodMs(ReadAppDword(AppSetting::HideItemTimer)), nullptr);
    }
    if (mainWindow)
        ::SendMessageA(mainWindow, WM_WALLPAPER_CHANGED, 0, 0);
}

void CChangeFlow::Report(CWnd* owner, LPCSTR text)
{
    // A wait ended by Exit says nothing more.
    if (!m_bCancelled)
        AskOrTell(owner, text, owner ? MB_OK | MB_ICONEXCLAMATION : MB_OK);
}

void CChangeFlow::ReportListResult(int result)
{
    if (result == CHANGE_DONE)
        ChangeDone(!theWallpaperChanger.IsActiveDesktopEnabled());
    else if (result == CHANGE_NORMAL_FAILED)
        Report(nullptr, kNormalFailed);
    else if (result == CHANGE_ACTIVE_FAILED)
        Report(nullptr, kActiveChangeFailed);
}

// ---------------------------------------------------------------- the guard

BOOL CChangeFlow::IsChanging() const
{
    return theWallpaperChanger.IsChanging();
}

BOOL CChangeFlow::BringWaitingWindowToFront() const
{
    if (!IsChanging())
        return FALSE;
    if (const HWND waiting = WaitingWindow::Find())
        ::SetForegroundWindow(waiting);
    return TRUE;
}

BOOL CChangeFlow::EndWaitThenPost(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsChanging())
        return FALSE;
    m_bCancelled = TRUE;
    m_hPostWindow = window;
    m_nPostMessage = message;
    m_postWParam = wParam;
    m_postLParam = lParam;
    // A chooser or a message box: each is a dialog its own loop ends.
    if (const HWND waiting = WaitingWindow::Find())
        ::EndDialog(waiting, IDCANCEL);
    return TRUE;
}

// ---------------------------------------------------------------- the timers

void CChangeFlow::StartAutoChangeTimer()
{
    if (ReadAppDword(AppSetting::EnableAutoChange) != 0)
        SetAutoChangeTimer();
}

BOOL CChangeFlow::SetAutoChangeTimer()
{
    const HWND mainWindow = MainWindow();
    if (!mainWindow)
        return FALSE;
    return ::SetTimer(mainWindow, IDT_AUTO_CHANGE, TimerPeriodMs(ReadAppDword(AppSetting::AutoChangeTimer)),
                      nullptr) != 0;
}

void CChangeFlow::KillAutoChangeTimer()
{
    if (const HWND mainWindow = MainWindow())
        ::KillTimer(mainWindow, IDT_AUTO_CHANGE);
}

void CChangeFlow::OnTimer(UINT_PTR timerId)
{
    if (timerId == IDT_SHOW_DESKTOP_ITEMS) {
        // One shot per change: the icons come back once.
        if (const HWND mainWindow = MainWindow())
            ::KillTimer(mainWindow, IDT_SHOW_DESKTOP_ITEMS);
        theWallpaperChanger.ShowDesktopItems(1);
    } else if (timerId == IDT_AUTO_CHANGE) {
        // The timer keeps running; a refused tick waits for the next period.
        AutoChange();
    }
}

void CChangeFlow::ShowHiddenDesktopItems()
{
    // Timer 100 is pending exactly while a change keeps the icons hidden;
    // icons hidden by anyone else are left alone.
    const HWND mainWindow = MainWindow();
    if (mainWindow && ::KillTimer(mainWindow, IDT_SHOW_DESKTOP_ITEMS))
        theWallpaperChanger.ShowDesktopItems(1);
}
