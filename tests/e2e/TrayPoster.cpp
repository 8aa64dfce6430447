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

int main(int argc, char** argv)
{
    // The hidden main dialog; the program's message boxes have its title too.
    HWND dialog = nullptr;
    while ((dialog = FindWindowExA(nullptr, dialog, "#32770", "Tapestrix")) != nullptr && IsWindowVisible(dialog)) {
    }
    if (!dialog) {
        std::fprintf(stderr, "tpx_post: Tapestrix is not running\n");
        return 1;
    }
    if (argc > 1 && std::strcmp(argv[1], "menu") == 0) {
        // The notification area: the right end of the taskbar (the screen's
        // bottom right corner when there is none).
        RECT area{0, GetSystemMetrics(SM_CYSCREEN) - 24, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        GetWindowRect(FindWindowA("Shell_TrayWnd", nullptr), &area);
        SetCursorPos(area.right - 12, (area.top + area.bottom) / 2);
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
