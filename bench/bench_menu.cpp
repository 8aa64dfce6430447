// bench_menu: how long the tray menu takes to appear.  From the moment the
// right-button-up notification is posted to the owner until the menu's
// window is visible and painted (its window and its items), for the gradient
// menu against the system's TrackPopupMenu showing the same menu (resource
// 134 with its seven item bitmaps) in the same run.  Target: at most 1.5
// times the system menu, and under 16 ms (one frame at 60 Hz).
//
// The two sides alternate; each figure is the median of the runs after one
// warm-up run of each.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/BenchSupport.h"
#include "controls/GradientMenu.h"
#include "framework/Handles.h"
#include "res/resource.h"

namespace {

const UINT WM_BENCH_TRAY = WM_APP + 1;

// What the hooks watch for in the current run.  Kinds of window: 1 the
// menu's window, 2 the gradient menu's item bar.
struct Run {
    bool system = false;
    bool pending[3] = {};   // a paint taken from the queue, not yet dispatched
    bool done[3] = {};      // a paint completed
    double shown = 0;       // when the menu had painted, 0 until then
    HWND owner = nullptr;
} g_run;

const UINT WM_BENCH_PAINTED = WM_APP + 2;

int KindOf(HWND hwnd)
{
    char cls[32] = "";
    GetClassNameA(hwnd, cls, sizeof cls);
    if (g_run.system)
        return lstrcmpA(cls, "#32768") == 0 ? 1 : 0;
    if (lstrcmpA(cls, "BitmapMenu") == 0)
        return 1;
    return lstrcmpA(cls, "TpxToolBar") == 0 ? 2 : 0;
}

void PaintDone(int kind)
{
    if (g_run.shown != 0 || kind == 0)
        return;
    g_run.done[kind] = true;
    if (!g_run.done[1] || (!g_run.system && !g_run.done[2]))
        return;
    g_run.shown = Now();
    if (g_run.system)
        EndMenu();
    else if (HWND open = FindWindowA("BitmapMenu", nullptr))
        PostMessageA(open, WM_KEYDOWN, VK_ESCAPE, 0);
}

// A paint sent straight to a window (UpdateWindow) is done when the window
// procedure returns.
LRESULT CALLBACK AfterWindowProc(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* ret = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && ret->message == WM_PAINT)
        PaintDone(KindOf(ret->hwnd));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A paint taken from the queue (by the system menu's loop or the gradient
// menu's alike) is done when the loop takes the marker posted behind it.
LRESULT CALLBACK OnGetMessage(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && g_run.shown == 0) {
        const int kind = msg->message == WM_PAINT ? KindOf(msg->hwnd) : 0;
        if (kind != 0 && !g_run.pending[kind] && !g_run.done[kind]) {
            g_run.pending[kind] = true;
            PostMessageA(g_run.owner, WM_BENCH_PAINTED, static_cast<WPARAM>(kind), 0);
        } else if (msg->message == WM_BENCH_PAINTED && wParam == PM_REMOVE) {
            PaintDone(static_cast<int>(msg->wParam));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The owner: opens one menu or the other on the tray notification.
class COwner : public CWnd {
public:
    CGradientMenu menu{24, FALSE};
    HMENU items = nullptr;
    bool closed = false;

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message == WM_BENCH_TRAY) {
            SetForegroundWindow();
            SetTimer(1, 5000);   // a menu that never paints is closed anyway
            if (g_run.system)
                TrackPopupMenu(items, TPM_LEFTALIGN | TPM_RIGHTBUTTON, 400, 300, 0, m_hWnd, nullptr);
            else
                menu.TrackMenu(0, 400, 300, this, nullptr);
            KillTimer(1);
            closed = true;
            return TRUE;
        }
        if (message == WM_BENCH_PAINTED)
            return TRUE;
        if (message == WM_TIMER) {
            EndMenu();
            if (HWND open = FindWindowA("BitmapMenu", nullptr))
                ::SendMessageA(open, WM_CANCELMODE, 0, 0);
            return TRUE;
        }
        return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
};

double OpenOnce(COwner& owner, bool system)
{
    g_run = Run{};
    g_run.system = system;
    g_run.owner = owner.GetSafeHwnd();
    owner.closed = false;
    const double start = Now();
    owner.PostMessage(WM_BENCH_TRAY, 0, 0);
    MSG msg;
    while (!owner.closed && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return g_run.shown == 0 ? -1 : g_run.shown - start;
}

}  // namespace

int main()
{
    const HINSTANCE module = GetModuleHandleA(nullptr);
    COwner owner;
    const RECT none{};
    if (!owner.CreateEx(0, nullptr, "bench", WS_POPUP, none, nullptr, 0))
        return 1;
    // One menu for both sides, with the tray's bitmaps on its items.
    HMENU items = LoadMenuA(module, MAKEINTRESOURCEA(IDR_TRAY_MENU));
    if (!items || !owner.menu.Attach(items))
        return 1;
    owner.items = items;
    owner.menu.SetBandText("Tapestrix");
    owner.menu.SetBandColors(RGB(255, 255, 255), RGB(255, 255, 0), RGB(0, 0, 0));
    const struct {
        UINT item, by, bitmap;
    } pictures[] = {{ID_EXIT, MF_BYCOMMAND, IDB_MENU_EXIT},
                    {ID_HELP_TOPICS, MF_BYCOMMAND, IDB_MENU_HELP_TOPICS},
                    {ID_OPEN_SETTINGS, MF_BYCOMMAND, IDB_MENU_TAPESTRIX},
                    {ID_NEW_WALLPAPER, MF_BYCOMMAND, IDB_MENU_NEW_WALLPAPER},
                    {ID_WALLPAPER_FOLDER, MF_BYCOMMAND, IDB_MENU_WALLPAPER_FOLDER},
                    {TRAY_MENU_POS_DISPLAY_STYLES, MF_BYPOSITION, IDB_MENU_DISPLAY_STYLES},
                    {TRAY_MENU_POS_SELECTION_OPTIONS, MF_BYPOSITION, IDB_MENU_SELECTION_OPTIONS}};
    std::vector<CBitmapHandle> bitmaps;
    for (const auto& p : pictures) {
        bitmaps.emplace_back(LoadBitmapA(module, MAKEINTRESOURCEA(p.bitmap)));
        SetMenuItemBitmaps(items, p.item, p.by, bitmaps.back().Get(), bitmaps.back().Get());
    }
    CHookHandle queued(SetWindowsHookExA(WH_GETMESSAGE, OnGetMessage, nullptr, GetCurrentThreadId()));
    CHookHandle sent(SetWindowsHookExA(WH_CALLWNDPROCRET, AfterWindowProc, nullptr, GetCurrentThreadId()));

    const int runs = 31;
    OpenOnce(owner, false);
    OpenOnce(owner, true);
    std::vector<double> ours, system;
    for (int i = 0; i < runs; ++i) {
        ours.push_back(OpenOnce(owner, false));
        system.push_back(OpenOnce(owner, true));
    }
    if (std::count(ours.begin(), ours.end(), -1.0) || std::count(system.begin(), system.end(), -1.0)) {
        std::printf("bench_menu: a menu did not show within 5 s (%s)\n",
                    std::count(ours.begin(), ours.end(), -1.0) ? "gradient menu" : "system menu");
        return 1;
    }
    const double a = Median(ours);
    const double b = Median(system);
    std::printf("tray menu, right-button-up to visible and painted (median of %d runs)\n", runs);
    std::printf("  gradient menu (CGradientMenu::TrackMenu) %8.2f ms\n", a);
    std::printf("  system menu (TrackPopupMenu)             %8.2f ms\n", b);
    std::printf("  ratio %.2f (target <= 1.50), %s 16 ms (one frame at 60 Hz)\n", a / b, a < 16 ? "under" : "NOT under");
    for (const auto& p : pictures)
        SetMenuItemBitmaps(items, p.item, p.by, nullptr, nullptr);
    owner.DestroyWindow();
    return 0;
}
