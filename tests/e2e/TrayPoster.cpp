// tpx_post: plays the shell for a running Tapestrix, for demonstrations.
//   tpx_post       a double-click on the tray icon
//   tpx_post ID    the tray menu's command ID (32781 New Wallpaper, ...)
#include <windows.h>

#include <cstdio>
#include <cstdlib>

// The hidden main dialog; the program's message boxes have its title too.
static BOOL CALLBACK FindMainDialog(HWND hwnd, LPARAM found)
{
    char className[16] = {};
    char title[16] = {};
    GetClassNameA(hwnd, className, sizeof className);
    GetWindowTextA(hwnd, title, sizeof title);
    if (lstrcmpA(className, "#32770") || lstrcmpA(title, "Tapestrix") || IsWindowVisible(hwnd))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

int main(int argc, char** argv)
{
    HWND dialog = nullptr;
    EnumWindows(FindMainDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog)
        std::fprintf(stderr, "tpx_post: Tapestrix is not running\n");
    else if (argc > 1)
        return !PostMessageA(dialog, WM_COMMAND, std::strtoul(argv[1], nullptr, 10), 0);
    else
        return !PostMessageA(dialog, WM_USER + 100, 128, WM_LBUTTONDBLCLK);
    return 1;
}
