#include "engine/JpegCheck.h"

#include <cstdint>

#include "engine/BitmapCheck.h"

bool IsOversizedJpeg(const void* bytes, size_t size)
{
    const unsigned char* data = static_cast<const unsigned char*>(bytes);
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    // Segments up to the first frame header: 0xFF, a marker, a big-endian length.
    size_t at = 2;
    while (size - at >= 4) {
        if (data[at] != 0xFF)
            return false;
        const unsigned char marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)  // end of image, or the scan before any frame
            return false;
        const size_t length = static_cast<size_t>(data[at + 2]) << 8 | data[at + 3];
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (size - at < 9)
                return false;
            const uint64_t height = static_cast<uint64_t>(data[at + 5]) << 8 | data[at + 6];
            const uint64_t width = static_cast<uint64_t>(data[at + 7]) << 8 | data[at + 8];
            return width > TPX_MAX_PICTURE_SIDE || height > TPX_MAX_PICTURE_SIDE ||
                   width * height > TPX_MAX_PICTURE_PIXELS;
        }
        if (length < 2)
            return false;
        at += 2 + length;
        if (at > size)
            return false;
    }
    return false;
}
