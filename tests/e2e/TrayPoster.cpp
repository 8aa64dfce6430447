// tpx_post: plays the shell for a running Tapestrix from the command line,
// for demonstrations and screenshots.
//
//   tpx_post            a double-click on the tray icon
//   tpx_post ID         the tray menu's command ID (32781 New Wallpaper, ...)
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

// The hidden main dialog: a dialog titled "Tapestrix" that is never shown
// (the program's message boxes carry the same title but are visible).
BOOL CALLBACK FindMainDialog(HWND hwnd, LPARAM found)
{
    char className[16] = {};
    char title[16] = {};
    GetClassNameA(hwnd, className, sizeof className);
    GetWindowTextA(hwnd, title, sizeof title);
    if (lstrcmpA(className, "#32770") == 0 && lstrcmpA(title, "Tapestrix") == 0 && !IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int main(int argc, char** argv)
{
    HWND dialog = nullptr;
    EnumWindows(FindMainDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) {
        std::fprintf(stderr, "tpx_post: Tapestrix is not running\n");
        return 1;
    }
    BOOL posted;
    if (argc > 1)
        posted = PostMessageA(dialog, WM_COMMAND, static_cast<WPARAM>(std::strtoul(argv[1], nullptr, 10)), 0);
    else
        posted = PostMessageA(dialog, WM_USER + 100, 128, WM_LBUTTONDBLCLK);
    return posted ? 0 : 1;
}
