// The one judge of Windows bitmap files before any loader sees them.  The
// system's bitmap loaders (LoadImage, the OLE picture service, and through
// LoadImage Wine's desktop) trust a file's headers and read wherever they
// point; a damaged file makes them read past its end.  So every bitmap is
// checked here first: headers complete, offsets, sizes and the palette inside
// the file, dimensions sane, RLE streams walked with bounds, and only the
// bit counts and compressions the desktop draws.  GIFs get the one check
// their decoders lack: the size of the image they are about to allocate.
//
// Win32, the standard library and the header-only handle owners: the Active
// Desktop object (activedesktop/, a DLL without the framework library)
// compiles this file too.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Largest picture any part of the program decodes: 64 megapixels, no side
// beyond 65536.  Larger is treated as damage, never allocated.
constexpr uint64_t TPX_MAX_PICTURE_PIXELS = 64ull * 1024 * 1024;
constexpr uint32_t TPX_MAX_PICTURE_SIDE = 1u << 16;

enum BitmapVerdict {
    BITMAP_NOT_A_BITMAP,  // no "BM" signature (or no file): another kind of picture, if any
    BITMAP_DAMAGED,       // says it is a bitmap, but no loader may be trusted with it
    BITMAP_SOUND,         // complete, and of a kind the desktop draws
};

// Judges a whole file held in memory.
BitmapVerdict CheckBitmapBytes(const void* bytes, size_t size);

// Judges a file on disk, reading only what the judgement needs.  A file that
// cannot be opened or is empty is BITMAP_NOT_A_BITMAP.
BitmapVerdict CheckBitmapFile(LPCWSTR path);

// True for a GIF whose first image announces more pixels than the limit:
// GIF decoders allocate the whole image before they read a pixel.  Anything
// else, a GIF cut short included, is left to its decoder: false.
bool IsOversizedGif(const void* bytes, size_t size);
bool IsOversizedGifFile(LPCWSTR path);
