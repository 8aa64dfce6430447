// The size a JPEG announces, judged before a decoder sees it: the OLE picture
// service decodes the whole picture at once, so a 20000 x 20000 JPEG of a
// few megabytes would cost seconds and gigabytes before it could be refused.
#pragma once

#include <cstddef>

// True for a JPEG whose frame header announces more pixels, or a longer
// side, than any part of the program decodes (TPX_MAX_PICTURE_PIXELS,
// TPX_MAX_PICTURE_SIDE).  Anything else, a JPEG without a frame header
// included, is left to its decoder: false.
bool IsOversizedJpeg(const void* bytes, size_t size);
