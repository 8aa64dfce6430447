// Live GDI objects of this process, for tests that repaint many times and
// must end with what they started with.  GetGuiResources answers 0 under
// Wine, so the count is read from the process's GDI handle table.
#pragma once

namespace tpx::test {

// Live GDI objects of this process (fonts, brushes, DCs, ...); -1 when the
// table cannot be read.
int CountGdiObjects();

}  // namespace tpx::test
