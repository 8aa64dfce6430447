// The one writer of JPEG and GIF test pictures: FreeImage encodes them, so
// the decoders under test (the picture service, WIC) never read their own
// output.
#pragma once

#include <windows.h>

#include <FreeImage.h>  // after windows.h

#include <functional>
#include <string>

namespace tpx::test {

// A JPEG or GIF (by the name's ending) coloured by `pixel(x, y)`, top row first.
inline bool WritePicture(const std::string& path, int width, int height,
                         const std::function<COLORREF(int x, int y)>& pixel)
{
    FreeImage_Initialise(TRUE);  // counted by the library
    FIBITMAP* picture = FreeImage_Allocate(width, height, 24);
    for (int y = 0; picture && y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixel(x, y);
            RGBQUAD q = {GetBValue(c), GetGValue(c), GetRValue(c), 0};
            FreeImage_SetPixelColor(picture, x, height - 1 - y, &q);  // rows count from the bottom
        }
    const FREE_IMAGE_FORMAT format = FreeImage_GetFIFFromFilename(path.c_str());
    FIBITMAP* saved = format == FIF_GIF && picture ? FreeImage_ColorQuantize(picture, FIQ_WUQUANT) : picture;
    const bool ok = saved && FreeImage_Save(format, saved, path.c_str(), format == FIF_JPEG ? JPEG_QUALITYSUPERB : 0);
    if (saved != picture)
        FreeImage_Unload(saved);
    FreeImage_Unload(picture);
    return ok;
}

}  // namespace tpx::test
