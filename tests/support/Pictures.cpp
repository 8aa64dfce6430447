#include "Pictures.h"

#include "Files.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "framework/Handles.h"

namespace tpx::test {

namespace {

// A bitmap file built field by field: the file header, an info header,
// `palette` entries and `pixels`, with bfOffBits right after the palette.
struct BmpBuilder {
    BITMAPINFOHEADER info{sizeof(BITMAPINFOHEADER), 8, 4, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint8_t> palette;
    std::vector<uint8_t> pixels;

    std::vector<uint8_t> Bytes() const
    {
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;
        file.bfOffBits = static_cast<DWORD>(sizeof file + sizeof info + palette.size());
        file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
        std::vector<uint8_t> bytes(file.bfSize);
        std::memcpy(bytes.data(), &file, sizeof file);
        std::memcpy(bytes.data() + sizeof file, &info, sizeof info);
        std::copy(palette.begin(), palette.end(), bytes.begin() + sizeof file + sizeof info);
        std::copy(pixels.begin(), pixels.end(), bytes.begin() + file.bfOffBits);
        return bytes;
    }
};

template <class T>
void Poke(std::vector<uint8_t>& bytes, size_t at, T value)
{
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

// An 8 x 4 RLE bitmap (8 or 4 bits) of the stream `rle`.
BmpBuilder Rle(int bits, std::vector<uint8_t> rle)
{
    BmpBuilder b;
    b.info.biBitCount = static_cast<WORD>(bits);
    b.info.biCompression = bits == 8 ? BI_RLE8 : BI_RLE4;
    b.info.biSizeImage = static_cast<DWORD>(rle.size());
    b.palette.assign((1u << bits) * 4, 0x80);
    b.pixels = std::move(rle);
    return b;
}

// The bytes of a 24-bit bottom-up bitmap filled by `pixel(x, y)`.
std::vector<uint8_t> BmpBytes(int width, int height, const std::function<COLORREF(int, int)>& pixel)
{
    BmpBuilder b;
    b.info.biWidth = width;
    b.info.biHeight = height;
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
    b.info.biSizeImage = static_cast<DWORD>(stride * height);
    b.pixels.assign(stride * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixel(x, y);
            uint8_t* p = &b.pixels[(height - 1 - y) * stride + x * 3];
            p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
        }
    return b.Bytes();
}

HBITMAP LoadBmp(const std::string& path)
{
    return static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                           LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}

}  // namespace

bool WriteBmp(const std::string& path, int width, int height, const std::function<COLORREF(int, int)>& pixel)
{
    const std::vector<uint8_t> bytes = BmpBytes(width, height, pixel);
    return WriteFileBytes(path, bytes.data(), bytes.size());
}

BitmapInfo ReadBmpInfo(const std::string& path)
{
    BITMAP bm{};
    const CBitmapHandle bmp(LoadBmp(path));
    const bool ok = bmp && GetObjectA(bmp.Get(), sizeof bm, &bm);
    return {ok, bm.bmWidth, bm.bmHeight};
}

COLORREF ReadBmpPixel(const std::string& path, int x, int y)
{
    const CBitmapHandle bmp(LoadBmp(path));
    const CDCHandle dc(CreateCompatibleDC(nullptr));
    const CSelectObjectGuard select(dc.Get(), bmp.Get());
    return bmp ? GetPixel(dc.Get(), x, y) : CLR_INVALID;
}

bool ColourNear(COLORREF a, COLORREF b, int tolerance)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

std::vector<BitmapCase> BitmapHeaderCases()
{
    std::vector<BitmapCase> cases;
    auto add = [&](const char* name, const std::vector<uint8_t>& bytes, bool sound) {
        cases.push_back({name, bytes, sound});
    };
    auto bent = [&](const char* name, size_t at, auto value, const std::vector<uint8_t>& from) {
        std::vector<uint8_t> bytes = from;
        Poke(bytes, at, value);
        add(name, bytes, false);
    };
    const std::vector<uint8_t> plain = BmpBytes(8, 4, [](int, int) { return RGB(10, 200, 10); });
    const uint8_t rows8[] = {8, 1, 0, 0, 4, 2, 4, 3, 0, 0, 0, 3, 1, 2, 3, 0, 5, 1, 0, 0, 8, 4, 0, 1};
    const std::vector<uint8_t> rle8(rows8, rows8 + sizeof rows8);
    const uint8_t rows4[] = {8, 0x12, 0, 0, 0, 4, 0x12, 0x34, 0, 4, 0x56, 0x70, 0, 0, 0, 2, 1, 1, 6, 0x11, 0, 1};

    add("sound 24-bit", plain, true);
    bent("sound top-down", 22, LONG(-4), plain);
    cases.back().sound = true;
    add("sound RLE8", Rle(8, rle8).Bytes(), true);
    add("sound RLE4", Rle(4, {rows4, rows4 + sizeof rows4}).Bytes(), true);

    bent("offset 0x7FFFFFF0", 10, DWORD(0x7FFFFFF0), plain);
    bent("width x bits overflows 32 bits", 18, LONG(0x15555556), plain);  // x 24 bits wraps to 16
    bent("header size past the end", 14, DWORD(0x7FFFFFFF), plain);
    std::vector<uint8_t> cutPalette = Rle(8, rle8).Bytes();
    cutPalette.resize(14 + 40 + 100);  // 25 of the 256 colours the stream may use
    add("palette past the end", cutPalette, false);
    add("RLE8 run past the row", Rle(8, {9, 1, 0, 1}).Bytes(), false);
    add("RLE8 literal past the data", Rle(8, {0, 6, 1, 2}).Bytes(), false);
    bent("RLE size past the end", 34, DWORD(0x10000), Rle(8, rle8).Bytes());
    {
        // Ends at once: only the pixel limit stands between it and 4 GB.
        std::vector<uint8_t> b = Rle(8, {0, 1}).Bytes();
        Poke(b, 18, LONG(0x10000));
        Poke(b, 22, LONG(0x10000));
        add("RLE 65536 x 65536 in two bytes", b, false);
    }
    return cases;
}

std::vector<BitmapCase> DamagedJpegsAndGifs(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& gif)
{
    auto find = [](const std::vector<uint8_t>& bytes, std::initializer_list<uint8_t> marker) {
        return size_t(std::search(bytes.begin(), bytes.end(), marker.begin(), marker.end()) - bytes.begin());
    };
    auto bent = [](std::vector<uint8_t> bytes, size_t at, std::initializer_list<uint8_t> with) {
        if (at + with.size() <= bytes.size())
            std::copy(with.begin(), with.end(), bytes.begin() + at);
        return bytes;
    };
    auto cut = [](const std::vector<uint8_t>& bytes, size_t size) {
        return std::vector<uint8_t>(bytes.begin(), bytes.begin() + std::min(size, bytes.size()));
    };
    const size_t sof = find(jpeg, {0xFF, 0xC0}), sos = find(jpeg, {0xFF, 0xDA}), image = find(gif, {0x2C, 0, 0, 0, 0});
    return {
        {"cut.jpg", cut(jpeg, sos + 12)},
        {"huge.jpg", bent(jpeg, sof + 5, {0xFF, 0xF0, 0xFF, 0xF0})},
        {"cut.gif", cut(gif, image + 10)},
        {"screen.gif", bent(gif, 6, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"huge.gif", bent(gif, image + 5, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"outside.gif", bent(gif, image + 1, {0xF0, 0xFF, 0xF0, 0xFF})},
    };
}

}  // namespace tpx::test
