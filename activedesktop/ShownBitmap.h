// The bitmap Wine's desktop shows for a wallpaper.  Wine's desktop draws only
// a Windows bitmap, tiled or centred at its own size; every other picture and
// every other style is turned into one bitmap file of the provider, which
// the desktop then shows centred.
#pragma once

#include <windows.h>

namespace activedesktop {

// Fills `shown` (MAX_PATH characters) with the file the desktop is to load
// for `wallpaper` drawn in `style`: the wallpaper itself when the desktop can
// draw it as it is, else the provider's bitmap, written afresh.  An empty
// `shown` means the plain desktop colour: no wallpaper, a page, or a file
// that is missing or no picture.  Fails only when a picture that could be
// shown could not be written.
HRESULT PrepareShownBitmap(LPCWSTR wallpaper, DWORD style, LPWSTR shown);

// True when `path` names the provider's own bitmap file.
bool IsProviderBitmap(LPCWSTR path);

}  // namespace activedesktop
