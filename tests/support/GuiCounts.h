// How many GDI and USER objects this process holds, for tests that check a
// window gives back everything it took.  GetGuiResources answers 0 under
// Wine; there the GDI handle table the process's PEB points to is counted
// (every bitmap, font, brush, DC, region... and the bitmaps behind each
// icon, so a leaked icon shows here too).  USER objects are counted as the
// process's windows, top-level and children.
#pragma once

namespace tpx::test {

int CountGdiObjects();
int CountUserObjects();

}  // namespace tpx::test
