#include "engine/Thumbnail.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <FreeImage.h>  // after windows.h: it defines windows.h's own guard

#include "engine/BitmapCheck.h"
#include "engine/Conversion.h"
#include "engine/JpegCheck.h"
#include "engine/Picture.h"
#include "framework/Gdi.h"

namespace {

// The largest file a picture within the limits can need: a 32-bit bitmap of
// the most pixels allowed, with room for its headers and colour table.
const ULONGLONG kMaxPictureFileBytes = TPX_MAX_PICTURE_PIXELS * 4 + 0x10000;
// What the signature and the first frame header of a JPEG or GIF usually
// fit in (a JPEG's header segments are at most 64 KB each).
const DWORD kHeadBytes = 0x10000;

enum PictureKind { KIND_NONE, KIND_BITMAP, KIND_JPEG, KIND_GIF };

PictureKind JudgeFile(const CString& path)
{
    CFileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 ||
        static_cast<ULONGLONG>(size.QuadPart) > kMaxPictureFileBytes)
        return KIND_NONE;
    std::vector<BYTE> head(static_cast<size_t>(std::min<ULONGLONG>(size.QuadPart, kHeadBytes)));
    DWORD read = 0;
    if (!ReadFile(file.Get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr) || read < 4)
        return KIND_NONE;
    const BYTE* bytes = head.data();
    if (bytes[0] == 'B' && bytes[1] == 'M') {
        // The bitmap's headers may point anywhere in the file: judged whole.
        file.Reset();
        WCHAR wide[MAX_PATH * 2];
        if (!MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH * 2))
            return KIND_NONE;
        return CheckBitmapFile(wide) == BITMAP_SOUND ? KIND_BITMAP : KIND_NONE;
    }
    if (bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
        return IsOversizedJpeg(bytes, read) ? KIND_NONE : KIND_JPEG;
    if (bytes[0] == 'G' && bytes[1] == 'I' && bytes[2] == 'F' && bytes[3] == '8')
        return IsOversizedGif(bytes, read) ? KIND_NONE : KIND_GIF;
    return KIND_NONE;
}

int OriginalJpegSide(FIBITMAP* dib, const char* key, int scaled)
{
    FITAG* tag = nullptr;
    if (FreeImage_GetMetadata(FIMD_COMMENTS, dib, key, &tag) && tag && FreeImage_GetTagValue(tag))
        return std::atoi(static_cast<const char*>(FreeImage_GetTagValue(tag)));
    return scaled;
}

}  // namespace

void CThumbnail::Free()
{
    m_bitmap.Reset();
    m_nWidth = m_nHeight = m_cx = m_cy = 0;
}

BOOL CThumbnail::Make(const CString& path, int cx, int cy, COLORREF background)
{
    Free();
    if (cx <= 0 || cy <= 0)
        return FALSE;
    const PictureKind kind = JudgeFile(path);
    if (kind == KIND_NONE)
        return FALSE;

    HDC screen = GetDC(nullptr);
    CBitmapHandle bitmap(CreateCompatibleBitmap(screen, cx, cy));
    ReleaseDC(nullptr, screen);
    CDCHandle dc(CreateCompatibleDC(nullptr));
    if (!bitmap || !dc)
        return FALSE;
    CSelectObjectGuard select(dc.Get(), bitmap.Get());
    const RECT area = {0, 0, cx, cy};
    CBrushHandle brush(CreateSolidBrush(background));
    FillRect(dc.Get(), &area, brush.Get());

    int width = 0, height = 0;
    if (kind == KIND_JPEG) {
        EnsureFreeImage();
        // The size hint makes the codec scale by 1/2, 1/4 or 1/8 while it
        // decodes, never below the hint: a 3840 x 2160 picture costs what a
        // 480 x 270 one does.
        FIBITMAP* dib = FreeImage_Load(FIF_JPEG, path, JPEG_DEFAULT | (std::max(cx, cy) << 16));
        if (!dib)
            return FALSE;
        width = OriginalJpegSide(dib, "OriginalJPEGWidth", static_cast<int>(FreeImage_GetWidth(dib)));
        height = OriginalJpegSide(dib, "OriginalJPEGHeight", static_cast<int>(FreeImage_GetHeight(dib)));
        SetStretchBltMode(dc.Get(), HALFTONE);
        SetBrushOrgEx(dc.Get(), 0, 0, nullptr);
        const int drawn = StretchDIBits(dc.Get(), 0, 0, cx, cy, 0, 0, static_cast<int>(FreeImage_GetWidth(dib)),
                                        static_cast<int>(FreeImage_GetHeight(dib)), FreeImage_GetBits(dib),
                                        FreeImage_GetInfo(dib), DIB_RGB_COLORS, SRCCOPY);
        FreeImage_Unload(dib);
        if (drawn <= 0)
            return FALSE;
    } else {
        CPicture picture;
        if (!picture.Load(path))
            return FALSE;
        CDC target(dc.Get());
        if (!picture.Draw(&target, area))
            return FALSE;
        width = picture.m_nWidth;
        height = picture.m_nHeight;
    }
    GdiFlush();
    m_bitmap = std::move(bitmap);
    m_cx = cx;
    m_cy = cy;
    m_nWidth = width;
    m_nHeight = height;
    return TRUE;
}

BOOL CThumbnail::Draw(HDC dc, int x, int y) const
{
    if (!m_bitmap)
        return FALSE;
    CDCHandle source(CreateCompatibleDC(dc));
    if (!source)
        return FALSE;
    CSelectObjectGuard select(source.Get(), m_bitmap.Get());
    return BitBlt(dc, x, y, m_cx, m_cy, source.Get(), 0, 0, SRCCOPY);
}
