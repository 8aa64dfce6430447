#include "engine/BitmapCheck.h"

#include "framework/Handles.h"

#include <cstring>
#include <vector>

namespace {

constexpr size_t kFileHeaderSize = sizeof(BITMAPFILEHEADER);  // 14
// Headers, the three masks after a plain info header, and the largest palette.
constexpr size_t kMaxHeadBytes = kFileHeaderSize + sizeof(BITMAPV5HEADER) + 3 * sizeof(DWORD) + 256 * sizeof(RGBQUAD);

template <class T>
bool ReadAt(const BYTE* data, size_t size, size_t at, T* out)
{
    if (at > size || size - at < sizeof(T))
        return false;
    std::memcpy(out, data + at, sizeof(T));
    return true;
}

// Where a checked file keeps its pixels.
struct Layout {
    uint64_t offBits = 0;
    uint64_t rleBytes = 0;  // 0: uncompressed, already checked against the file
    uint32_t width = 0;
    uint32_t height = 0;
    bool rle4 = false;
};

// Judges the headers and the palette in `head` (the file's first bytes) for a
// file of `fileSize` bytes.
BitmapVerdict CheckHeaders(const BYTE* head, size_t headSize, uint64_t fileSize, Layout* layout)
{
    if (headSize < 2 || head[0] != 'B' || head[1] != 'M')
        return BITMAP_NOT_A_BITMAP;
    BITMAPFILEHEADER file;
    DWORD headerSize = 0;
    if (!ReadAt(head, headSize, 0, &file) || !ReadAt(head, headSize, kFileHeaderSize, &headerSize))
        return BITMAP_DAMAGED;

    int64_t width = 0, height = 0;
    uint32_t planes = 0, bits = 0, compression = BI_RGB, colours = 0, imageSize = 0;
    uint64_t entrySize = sizeof(RGBQUAD), masks = 0;
    if (headerSize == sizeof(BITMAPCOREHEADER)) {
        BITMAPCOREHEADER core;
        if (!ReadAt(head, headSize, kFileHeaderSize, &core))
            return BITMAP_DAMAGED;
        width = core.bcWidth;
        height = core.bcHeight;
        planes = core.bcPlanes;
        bits = core.bcBitCount;
        if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
            return BITMAP_DAMAGED;
        colours = bits <= 8 ? 1u << bits : 0;
        entrySize = sizeof(RGBTRIPLE);
    } else if (headerSize == sizeof(BITMAPINFOHEADER) || headerSize == 52 || headerSize == 56 ||
               headerSize == sizeof(BITMAPV4HEADER) || headerSize == sizeof(BITMAPV5HEADER)) {
        BITMAPINFOHEADER info;
        if (!ReadAt(head, headSize, kFileHeaderSize, &info) || headSize - kFileHeaderSize < headerSize)
            return BITMAP_DAMAGED;
        width = info.biWidth;
        height = info.biHeight;
        planes = info.biPlanes;
        bits = info.biBitCount;
        compression = info.biCompression;
        imageSize = info.biSizeImage;
        if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
            return BITMAP_DAMAGED;
        const bool fits = compression == BI_RGB || (compression == BI_RLE8 && bits == 8) ||
                          (compression == BI_RLE4 && bits == 4) ||
                          (compression == BI_BITFIELDS && (bits == 16 || bits == 32));
        if (!fits || info.biClrUsed > 256 || (bits <= 8 && info.biClrUsed > (1u << bits)))
            return BITMAP_DAMAGED;
        colours = info.biClrUsed ? info.biClrUsed : bits <= 8 ? 1u << bits : 0;
        // A plain info header is followed by the masks; later ones hold them.
        if (compression == BI_BITFIELDS && headerSize == sizeof(BITMAPINFOHEADER))
            masks = 3 * sizeof(DWORD);
        // Compressed rows are stored bottom-up only.
        if (height < 0 && compression != BI_RGB && compression != BI_BITFIELDS)
            return BITMAP_DAMAGED;
    } else {
        return BITMAP_DAMAGED;  // OS/2 2.x and unknown headers: the desktop draws none of them
    }

    const uint64_t rows = static_cast<uint64_t>(height < 0 ? -height : height);
    if (planes != 1 || width <= 0 || rows == 0 || static_cast<uint64_t>(width) > TPX_MAX_PICTURE_SIDE ||
        rows > TPX_MAX_PICTURE_SIDE || static_cast<uint64_t>(width) * rows > TPX_MAX_PICTURE_PIXELS)
        return BITMAP_DAMAGED;

    // Loaders copy the header and the whole palette; the pixels come after
    // the palette, or after the masks when the palette is only a hint.
    const uint64_t headersEnd = kFileHeaderSize + headerSize + masks;
    const uint64_t paletteEnd = headersEnd + colours * entrySize;
    const uint64_t pixelsFrom = bits <= 8 ? paletteEnd : headersEnd;
    if (paletteEnd > fileSize || paletteEnd > headSize || file.bfOffBits < pixelsFrom || file.bfOffBits > fileSize)
        return BITMAP_DAMAGED;
    const uint64_t available = fileSize - file.bfOffBits;

    layout->offBits = file.bfOffBits;
    layout->width = static_cast<uint32_t>(width);
    layout->height = static_cast<uint32_t>(rows);
    if (compression == BI_RLE8 || compression == BI_RLE4) {
        // The decoder takes the stream's length from the header.
        if (imageSize == 0 || imageSize > available)
            return BITMAP_DAMAGED;
        layout->rleBytes = imageSize;
        layout->rle4 = compression == BI_RLE4;
        return BITMAP_SOUND;
    }
    const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    return stride * rows <= available ? BITMAP_SOUND : BITMAP_DAMAGED;
}

// Follows an RLE4/RLE8 stream: no run, absolute block or delta may leave its
// row or the image, and no block may leave the stream.  It ends at the
// end-of-bitmap mark, or with the stream once every row is closed.
bool WalkRle(const BYTE* data, size_t size, uint32_t width, uint32_t height, bool rle4)
{
    uint64_t x = 0, y = 0;
    size_t at = 0;
    while (size - at >= 2) {
        const BYTE count = data[at], code = data[at + 1];
        at += 2;
        if (count) {  // a run of `count` pixels
            if (y >= height || x + count > width)
                return false;
            x += count;
        } else if (code == 0) {  // end of line
            x = 0;
            if (++y > height)
                return false;
        } else if (code == 1) {  // end of bitmap
            return true;
        } else if (code == 2) {  // delta right and up
            if (size - at < 2)
                return false;
            x += data[at];
            y += data[at + 1];
            at += 2;
            if (x > width || y >= height)
                return false;
        } else {  // `code` pixels stored as they are, padded to a word
            const size_t bytes = rle4 ? (code + 1u) / 2 : code;
            const size_t padded = (bytes + 1) & ~static_cast<size_t>(1);
            if (y >= height || x + code > width || size - at < padded)
                return false;
            x += code;
            at += padded;
        }
    }
    return y == height;
}

}  // namespace

BitmapVerdict CheckBitmapBytes(const void* bytes, size_t size)
{
    const BYTE* data = static_cast<const BYTE*>(bytes);
    if (!data)
        return BITMAP_NOT_A_BITMAP;
    Layout layout;
    const BitmapVerdict verdict = CheckHeaders(data, size, size, &layout);
    if (verdict != BITMAP_SOUND || !layout.rleBytes)
        return verdict;
    return WalkRle(data + layout.offBits, static_cast<size_t>(layout.rleBytes), layout.width, layout.height,
                   layout.rle4)
               ? BITMAP_SOUND
               : BITMAP_DAMAGED;
}

namespace {

bool ReadFully(HANDLE file, uint64_t offset, void* buffer, DWORD size)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    return ReadFile(file, buffer, size, &read, &at) && read == size;
}

}  // namespace

BitmapVerdict CheckBitmapFile(LPCWSTR path)
{
    const CFileHandle owner(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!owner.IsValid())
        return BITMAP_NOT_A_BITMAP;
    const HANDLE file = owner.Get();
    BitmapVerdict verdict = BITMAP_NOT_A_BITMAP;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
        const uint64_t fileSize = static_cast<uint64_t>(size.QuadPart);
        BYTE head[kMaxHeadBytes];
        const DWORD headSize = static_cast<DWORD>(fileSize < kMaxHeadBytes ? fileSize : kMaxHeadBytes);
        Layout layout;
        if (!ReadFully(file, 0, head, headSize)) {
            verdict = BITMAP_DAMAGED;  // shorter than it said a moment ago
        } else {
            verdict = CheckHeaders(head, headSize, fileSize, &layout);
            if (verdict == BITMAP_SOUND && layout.rleBytes) {
                // At most 64 megapixels of 8 bits, coded: bounded by the pixel limit.
                std::vector<BYTE> stream;
                verdict = BITMAP_DAMAGED;
                if (layout.rleBytes <= 2 * TPX_MAX_PICTURE_PIXELS + 2 * TPX_MAX_PICTURE_SIDE) {
                    stream.resize(static_cast<size_t>(layout.rleBytes));
                    if (ReadFully(file, layout.offBits, stream.data(), static_cast<DWORD>(stream.size())) &&
                        WalkRle(stream.data(), stream.size(), layout.width, layout.height, layout.rle4))
                        verdict = BITMAP_SOUND;
                }
            }
        }
    }
    return verdict;
}

bool IsOversizedGif(const void* bytes, size_t size)
{
    const BYTE* data = static_cast<const BYTE*>(bytes);
    if (!data || size < 13 || std::memcmp(data, "GIF", 3) != 0)
        return false;
    // Header and logical screen, then the global colour table if flagged.
    size_t at = 13 + ((data[10] & 0x80) ? 3u << ((data[10] & 7) + 1) : 0u);
    while (at < size) {
        if (data[at] == 0x21) {  // an extension: label, then sub-blocks up to an empty one
            at += 2;
            while (at < size && data[at] != 0)
                at += data[at] + 1u;
            ++at;
        } else if (data[at] == 0x2C) {  // the first image descriptor
            if (size - at < 9)
                return false;
            const uint32_t width = data[at + 5] | data[at + 6] << 8, height = data[at + 7] | data[at + 8] << 8;
            return static_cast<uint64_t>(width) * height > TPX_MAX_PICTURE_PIXELS;
        } else {
            return false;  // the trailer, or damage its decoder will see
        }
    }
    return false;
}

bool IsOversizedGifFile(LPCWSTR path)
{
    const CFileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    BYTE magic[3] = {};
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart < 13 ||
        !ReadFully(file.Get(), 0, magic, sizeof magic) || std::memcmp(magic, "GIF", 3) != 0)
        return false;
    // Extensions may come first, so the descriptor can be anywhere; a GIF
    // too large to read for this is too large to show.
    constexpr LONGLONG kMaxGifBytes = 64ll * 1024 * 1024;
    if (size.QuadPart > kMaxGifBytes)
        return true;
    std::vector<BYTE> bytes(static_cast<size_t>(size.QuadPart));
    return !ReadFully(file.Get(), 0, bytes.data(), static_cast<DWORD>(bytes.size())) ||
           IsOversizedGif(bytes.data(), bytes.size());
}
