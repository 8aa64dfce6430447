// CPicture: loads a picture file (bitmap, JPEG, GIF and whatever else the
// OLE picture service reads) for the wallpaper preview and as the fallback
// converter, reports its size in pixels at 96 per inch, draws it stretched
// into a rectangle and writes it out as a Windows bitmap file.
// Problems are reported in message boxes captioned "CPicture Error".
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "framework/String.h"
#include "framework/Gdi.h"

class CPicture {
public:
    CPicture();
    virtual ~CPicture();

    CPicture(const CPicture&) = delete;
    CPicture& operator=(const CPicture&) = delete;

    BOOL Load(CString path);
    BOOL LoadFromBuffer(BYTE* bytes, int size);
    BOOL Draw(CDC* dc, RECT rect);
    BOOL SaveToFile(CString path);
    void FreePicture();

    IPicture* m_pPicture;  // null when nothing is loaded
    int m_nHeight;         // pixels at 96 per inch
    int m_nSize;           // bytes of the file last opened by Load
    int m_nWidth;          // pixels at 96 per inch
};
