// tpx_post: plays the shell for a running Tapestrix from the command line,
// for demonstrations and screenshots.
//
//   tpx_post            a double-click on the tray icon
//   tpx_post ID         the tray menu's command ID (32781 New Wallpaper, ...)
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    // The hidden main dialog is the only dialog titled "Tapestrix".
    const HWND dialog = FindWindowA("#32770", "Tapestrix");
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
