#include "PictureFiles.h"

#include <FreeImage.h>  // after windows.h

namespace tpx::test {

namespace {

FIBITMAP* Paint(int width, int height, const PixelFunction& pixel)
{
    FreeImage_Initialise(TRUE);  // counted by the library; harmless when repeated
    FIBITMAP* picture = FreeImage_Allocate(width, height, 24);
    if (!picture)
        return nullptr;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixel(x, y);
            RGBQUAD q = {GetBValue(c), GetGValue(c), GetRValue(c), 0};
            // FreeImage counts rows from the bottom.
            FreeImage_SetPixelColor(picture, static_cast<unsigned>(x), static_cast<unsigned>(height - 1 - y), &q);
        }
    }
    return picture;
}

}  // namespace

bool WriteJpeg(const std::string& path, int width, int height, const PixelFunction& pixel)
{
    FIBITMAP* picture = Paint(width, height, pixel);
    if (!picture)
        return false;
    const bool ok = FreeImage_Save(FIF_JPEG, picture, path.c_str(), JPEG_QUALITYSUPERB) != FALSE;
    FreeImage_Unload(picture);
    return ok;
}

bool WriteGif(const std::string& path, int width, int height, const PixelFunction& pixel)
{
    FIBITMAP* picture = Paint(width, height, pixel);
    if (!picture)
        return false;
    FIBITMAP* palettised = FreeImage_ColorQuantize(picture, FIQ_WUQUANT);
    FreeImage_Unload(picture);
    if (!palettised)
        return false;
    const bool ok = FreeImage_Save(FIF_GIF, palettised, path.c_str(), 0) != FALSE;
    FreeImage_Unload(palettised);
    return ok;
}

COLORREF Quadrants(int width, int height, int x, int y)
{
    const bool left = x < width / 2;
    const bool top = y < height / 2;
    if (top)
        return left ? kRed : kBlue;
    return left ? kGreen : kYellow;
}

}  // namespace tpx::test
