// How many GDI and USER objects a process holds (this one unless told), for
// tests that check a window gives back everything it took and for the long
// run of the program.  GetGuiResources answers 0 under Wine; there the GDI
// handle table the process's PEB points to is counted (every bitmap, font,
// brush, DC, region... and the bitmaps behind each icon, so a leaked icon
// shows here too).  USER objects are counted as the process's windows,
// top-level, message-only and children.
#pragma once

#include <windows.h>

namespace tpx::test {

int CountGdiObjects(HANDLE process = GetCurrentProcess());  // -1 when the table cannot be read
int CountUserObjects(DWORD pid = GetCurrentProcessId());

}  // namespace tpx::test
