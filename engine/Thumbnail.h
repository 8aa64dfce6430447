// CThumbnail: a picture file drawn once at the size of the Wallpaper
// Browser's preview and kept as a bitmap of that size, so that painting the
// preview again is a copy.
//
// A file is judged by its first bytes before anything else reads it: only a
// sound bitmap, a JPEG or a GIF within the picture limits goes on, and no
// file larger than the biggest picture those limits allow is read.  A JPEG
// is decoded at reduced scale (the codec's DCT scaling to no less than the
// preview's size); bitmaps and GIFs go through CPicture, as the wallpaper's
// fallback converter does.
#pragma once

#include <windows.h>

#include "framework/Handles.h"
#include "framework/String.h"

class CThumbnail {
public:
    // Replaces the thumbnail with `path` drawn stretched to cx x cy pixels
    // over `background`; FALSE (and no thumbnail) when the file is no
    // picture the preview may read.
    BOOL Make(const CString& path, int cx, int cy, COLORREF background);
    void Free();
    BOOL IsEmpty() const { return !m_bitmap; }
    // Copies the thumbnail to (x, y); nothing without one.
    BOOL Draw(HDC dc, int x, int y) const;

    int m_nWidth = 0;   // the picture's own size, in pixels
    int m_nHeight = 0;

private:
    CBitmapHandle m_bitmap;
    int m_cx = 0;
    int m_cy = 0;
};
