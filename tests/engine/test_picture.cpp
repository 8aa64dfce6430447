// CPicture::Draw, through which the Wallpaper Browser page shows its
// thumbnails: the whole picture, the right way up, stretched over exactly
// the rectangle it is given.
#include "EngineTest.h"
#include "engine/Picture.h"
#include "framework/Handles.h"

namespace tpx::test {
namespace {

TEST(PictureDraw, WholePictureTheRightWayUpOverTheWholeRectangle)
{
    TempDir dir;
    ASSERT_TRUE(WriteBmp(dir / "q.bmp", 20, 10, [](int x, int y) { return Quarters(20, 10, x, y); }));
    CPicture picture;
    ASSERT_TRUE(picture.Load((dir / "q.bmp").c_str()));

    // A grey canvas; the 2:1 picture drawn into a square at (10, 20).
    const COLORREF grey = RGB(128, 128, 128);
    const HDC screen = GetDC(nullptr);
    CDCHandle memory(CreateCompatibleDC(screen));
    CBitmapHandle canvas(CreateCompatibleBitmap(screen, 100, 100));
    ReleaseDC(nullptr, screen);
    CSelectObjectGuard select(memory.Get(), canvas.Get());
    CBrushHandle brush(CreateSolidBrush(grey));
    const RECT all = {0, 0, 100, 100}, rect = {10, 20, 70, 80};
    FillRect(memory.Get(), &all, brush.Get());
    CDC dc(memory.Get());
    EXPECT_TRUE(picture.Draw(&dc, rect));

    // Each corner of the rectangle shows the picture's corner; just outside, the canvas.
    const struct {
        int x, y;
        COLORREF colour;
    } pixels[] = {{10, 20, kRed}, {69, 20, Quarters(2, 2, 1, 0)}, {10, 79, Quarters(2, 2, 0, 1)}, {69, 79, kYellow},
                  {9, 20, grey}, {10, 19, grey}, {70, 79, grey}, {69, 80, grey}};
    for (const auto& p : pixels)
        EXPECT_TRUE(ColourNear(GetPixel(memory.Get(), p.x, p.y), p.colour, 8))
            << p.x << "," << p.y << ": " << std::hex << GetPixel(memory.Get(), p.x, p.y);

    CPicture empty;
    EXPECT_FALSE(empty.Draw(&dc, rect) || picture.Draw(nullptr, rect));
}

}  // namespace
}  // namespace tpx::test
