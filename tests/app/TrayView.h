// What Wine's notification area shows: tests look at the tray as the user
// would (the pixels of an icon) and click it as the user would (mouse
// messages to the tray window, which the shell relays to the icon's owner).
#pragma once

#include <windows.h>

#include <functional>

namespace tpx::test {

// The shell's taskbar window, or null while no program shows a tray icon.
HWND TrayWindow();
// TRUE when the tray shows `icon` (drawn at the small icon size) anywhere.
bool TrayShowsIcon(HICON icon);
// The point (tray client coordinates) of the icon whose owner reacts: for
// each icon place, a mouse move is posted to the tray and `reached` asked
// (after pumping this thread's messages) whether the owner got it.
bool FindTrayIcon(const std::function<bool()>& reached, POINT* where);
// Posts a mouse message at `where` to the tray; the shell relays it.
void ClickTray(POINT where, UINT mouseMessage);

}  // namespace tpx::test
