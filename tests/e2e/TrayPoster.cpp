// tpx_post: plays the shell for a running Tapestrix, for demonstrations.
//   tpx_post       a double-click on the tray icon
//   tpx_post menu  a right-click on the tray icon: the cursor goes to the
//                  notification area first, where the menu then opens
//   tpx_post ID    the tray menu's command ID (32781 New Wallpaper, ...)
//   tpx_post keys down|up|left|right|enter|escape ...
//                  keys pressed in the open tray menu
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// The hidden main dialog; the program's message boxes have its title too.
static HWND FindMainDialog()
{
    HWND dialog = nullptr;
    while ((dialog = FindWindowExA(nullptr, dialog, "#32770", "Tapestrix")) != nullptr && IsWindowVisible(dialog)) {
    }
    return dialog;
}

// Where the shell's notification area is: the right end of its taskbar, or
// the bottom right of the screen when there is none.
static POINT NotificationArea()
{
    RECT area{};
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    HWND notify = tray ? FindWindowExA(tray, nullptr, "TrayNotifyWnd", nullptr) : nullptr;
    if (notify && GetWindowRect(notify, &area))
        return {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
    if (tray && IsWindowVisible(tray) && GetWindowRect(tray, &area))
        return {area.right - 12, (area.top + area.bottom) / 2};
    return {GetSystemMetrics(SM_CXSCREEN) - 12, GetSystemMetrics(SM_CYSCREEN) - 12};
}

int main(int argc, char** argv)
{
    const HWND dialog = FindMainDialog();
    if (!dialog) {
        std::fprintf(stderr, "tpx_post: Tapestrix is not running\n");
        return 1;
    }
    if (argc > 1 && std::strcmp(argv[1], "menu") == 0) {
        const POINT at = NotificationArea();
        SetCursorPos(at.x, at.y);
        // The shell lets the icon's program take the foreground.
        DWORD pid = 0;
        GetWindowThreadProcessId(dialog, &pid);
        AllowSetForegroundWindow(pid);
        return !PostMessageA(dialog, WM_USER + 100, 128, WM_RBUTTONUP);
    }
    if (argc > 1 && std::strcmp(argv[1], "keys") == 0) {
        HWND menu = FindWindowA("BitmapMenu", nullptr);
        if (!menu || !IsWindowVisible(menu)) {   // the closed menu's window is kept, hidden
            std::fprintf(stderr, "tpx_post: the menu is not open\n");
            return 1;
        }
        static const struct {
            const char* name;
            UINT vk;
        } keys[] = {{"down", VK_DOWN}, {"up", VK_UP}, {"left", VK_LEFT}, {"right", VK_RIGHT},
                    {"enter", VK_RETURN}, {"escape", VK_ESCAPE}};
        for (int i = 2; i < argc; ++i) {
            for (const auto& key : keys) {
                if (std::strcmp(argv[i], key.name) == 0)
                    PostMessageA(menu, WM_KEYDOWN, key.vk, 0);
            }
            Sleep(150);   // each key sees the menu painted
        }
        return 0;
    }
    if (argc > 1)
        return !PostMessageA(dialog, WM_COMMAND, std::strtoul(argv[1], nullptr, 10), 0);
    return !PostMessageA(dialog, WM_USER + 100, 128, WM_LBUTTONDBLCLK);
}
