// The desktop state the shell keeps for every program: the wallpaper values
// under "Control Panel\Desktop" and the Active Desktop's
// "Software\Microsoft\Internet Explorer\Desktop\General", the Active Desktop
// switch in the Explorer "ShellState", and the step that makes Wine's
// desktop window show what was saved.  Every function reads or writes the
// registry at the moment it is called; nothing is cached here.
#pragma once

#include <windows.h>
#include <wininet.h>
#include <shlobj.h>

namespace activedesktop {

// WPSTYLE_CENTER .. WPSTYLE_SPAN: the styles of every shell version, whatever
// version the headers were set to.
constexpr DWORD kStyleKeepAspect = 3;
constexpr DWORD kStyleCropToFit = 4;
constexpr DWORD kStyleSpan = 5;
constexpr DWORD kStyleCount = 6;

// fEnableComponents and fActiveDesktop as the shell has them now.
COMPONENTSOPT ReadItemOptions();
HRESULT WriteItemOptions(const COMPONENTSOPT& options);

// The wallpaper and style a new object starts from: what was last saved for
// the desktop that is on now.  `path` holds MAX_PATH characters.
void ReadSavedWallpaper(LPWSTR path, DWORD* style);

// Records `path` and `style` as the wallpaper of the desktop that is on now
// and makes Wine's desktop show it.  `path` may be empty (no wallpaper).
HRESULT SaveWallpaper(LPCWSTR path, DWORD style);

// Makes the desktop load the saved bitmap again.
HRESULT ShowSavedWallpaper();

}  // namespace activedesktop
