// Pictures for tests: solid-colour files of each format the program reads,
// bitmaps read back the way the desktop reads them, and damaged bitmaps,
// JPEGs and GIFs made in memory (never stored in the repository).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tpx::test {

// A picture of one colour, its format chosen by the name's ending: .bmp
// (24-bit bottom-up, our own writer), .jpg/.jpeg, .gif or .png (WIC);
// any other ending is written as a bitmap.
bool WritePicture(const std::string& path, int width, int height, COLORREF colour);
// Writes a 24-bit bottom-up Windows bitmap filled by `pixel(x, y)`.
bool WriteBmp(const std::string& path, int width, int height,
              const std::function<COLORREF(int x, int y)>& pixel);
// Reads a bitmap file the way the desktop would (LoadImageA) and samples it.
struct BitmapInfo {
    bool ok = false;
    int width = 0;
    int height = 0;
};
BitmapInfo ReadBmpInfo(const std::string& path);
COLORREF ReadBmpPixel(const std::string& path, int x, int y);  // CLR_INVALID on failure
// True when two colours differ by at most `tolerance` in every channel.
bool ColourNear(COLORREF a, COLORREF b, int tolerance);

// A bitmap file's bytes, made here and never stored, and whether a careful
// reader may hand it to the system's loaders.
struct BitmapCase {
    std::string name;
    std::vector<uint8_t> bytes;
    bool sound = false;
};
// One bent header field per case, the hardest of each kind (an offset, a
// header, a palette and an RLE stream past the end, sizes that overflow),
// with sound bitmaps of each kind beside them.
std::vector<BitmapCase> BitmapHeaderCases();
// The same kinds of damage in a JPEG and a GIF made from `jpeg` and `gif`
// (whole pictures): cut after the headers, sizes bent to absurd, a GIF's
// screen bent to absurd and its image placed far outside it.  Names end in
// .jpg or .gif; the order is fixed, so callers may pair them with
// expectations.
std::vector<BitmapCase> DamagedJpegsAndGifs(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& gif);

}  // namespace tpx::test
