#include "engine/Conversion.h"

#include <windows.h>
#include <mbstring.h>

#include <cstring>

#include <FreeImage.h>  // after windows.h: it defines windows.h's own guard

#include "engine/BitmapCheck.h"
#include "engine/Picture.h"
#include "settings/Settings.h"

void EnsureFreeImage()
{
    struct Library {
        Library() { FreeImage_Initialise(TRUE); }
        ~Library() { FreeImage_DeInitialise(); }
    };
    static Library library;
}

namespace {

// Folder part of a path, with its backslash; "." for a bare file name.
CString FolderOf(const CString& path)
{
    const int slash = path.ReverseFind('\\');
    return slash < 0 ? CString(".") : path.Left(slash + 1);
}

// The desktop may be showing the target file, and every conversion rewrites
// it: write the new bitmap into a fresh file beside it and let it replace the
// target only once it is complete, so a failed or cut-off save never leaves
// a broken wallpaper behind.
class CReplacementFile {
public:
    explicit CReplacementFile(const CString& target) : m_target(target)
    {
        // Named in UTF-16: the A function cuts the name it gives back at
        // MAX_PATH bytes, which a folder named in UTF-8 may exceed.
        WCHAR name[MAX_PATH];
        if (!target.IsEmpty() && GetTempFileNameW(AnsiToWide(FolderOf(target)).c_str(), L"tpx", 0, name) &&
            !WideToAnsi(name, -1, &m_temp))
            DeleteFileW(name);
    }
    ~CReplacementFile()
    {
        if (!m_temp.IsEmpty())
            DeleteFileA(m_temp);
    }
    CReplacementFile(const CReplacementFile&) = delete;
    CReplacementFile& operator=(const CReplacementFile&) = delete;

    BOOL IsUsable() const { return !m_temp.IsEmpty(); }
    const CString& Path() const { return m_temp; }

    BOOL Commit()
    {
        if (!MoveFileExA(m_temp, m_target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return FALSE;
        m_temp.Empty();
        return TRUE;
    }

private:
    CString m_target;
    CString m_temp;
};

// A JPEG of 20000 x 20000 pixels fits in 5 MB and would become a bitmap of
// 1.2 GB that no desktop shows: a picture whose header announces more than
// the picture limits is refused, its header read alone.
BOOL HasSaneHeaderSize(FREE_IMAGE_FORMAT format, const CString& source)
{
    if (!FreeImage_FIFSupportsNoPixels(format))
        return TRUE;
    FIBITMAP* header = FreeImage_Load(format, source, FIF_LOAD_NOPIXELS);
    if (!header)
        return FALSE;
    const unsigned long long width = FreeImage_GetWidth(header), height = FreeImage_GetHeight(header);
    FreeImage_Unload(header);
    return width > 0 && height > 0 && width <= TPX_MAX_PICTURE_SIDE && height <= TPX_MAX_PICTURE_SIDE &&
           width * height <= TPX_MAX_PICTURE_PIXELS;
}

// The library's GIF reader allocates the whole first image, whatever size
// it announces, and then decodes for as long as that takes: such a GIF is
// refused before it is handed over.
BOOL HasSaneSize(FREE_IMAGE_FORMAT format, const CString& source)
{
    if (format != FIF_GIF)
        return HasSaneHeaderSize(format, source);
    const std::wstring wide = AnsiToWide(source);
    return !wide.empty() && !IsOversizedGifFile(wide.c_str());
}

BOOL WriteWithFreeImage(FREE_IMAGE_FORMAT format, const CString& source, const CString& target)
{
    EnsureFreeImage();
    if (!HasSaneSize(format, source))
        return FALSE;
    FIBITMAP* picture = FreeImage_Load(format, source, 0);
    if (!picture)
        return FALSE;
    const BOOL saved = FreeImage_Save(FIF_BMP, picture, target, 0);
    FreeImage_Unload(picture);
    return saved;
}

BOOL WriteWithPictureLoader(const CString& source, const CString& target)
{
    CPicture picture;
    if (!picture.Load(source))
        return FALSE;
    const BOOL saved = picture.SaveToFile(target);
    picture.FreePicture();
    return saved;
}

int Convert(CString& path)
{
    const CString target = ReadAppString(AppSetting::ConvertedBmpPath);
    CReplacementFile replacement(target);
    if (!replacement.IsUsable())
        return CONVERT_NOT_USABLE;

    EnsureFreeImage();
    const FREE_IMAGE_FORMAT format = FreeImage_GetFIFFromFilename(path);
    const BOOL written = format != FIF_UNKNOWN ? WriteWithFreeImage(format, path, replacement.Path())
                                               : WriteWithPictureLoader(path, replacement.Path());
    if (!written || !replacement.Commit())
        return CONVERT_NOT_USABLE;

    // Recorded only now that the bitmap is complete: the sequential choice
    // continues after this picture while the bitmap is the wallpaper.
    WriteAppString(AppSetting::BmpConvertedFrom, path);
    path = target;
    return CONVERT_DONE;
}

BOOL IsConvertible(const CString& path)
{
    return HasFileEnding(path, ".jpg") || HasFileEnding(path, ".gif");
}

BOOL ConversionSwitchedOn()
{
    return ReadAppDword(AppSetting::ConvertToBmp) != 0;
}

}  // namespace

BOOL HasFileEnding(LPCSTR path, LPCSTR ending)
{
    // The last four bytes, as the framework's Right(4) gives them.
    const size_t length = std::strlen(path);
    const LPCSTR tail = length > 4 ? path + length - 4 : path;
    return _mbsicmp(reinterpret_cast<const unsigned char*>(tail),
                    reinterpret_cast<const unsigned char*>(ending)) == 0;
}

int ConvertToBitmap(CString& path, BOOL agreed)
{
    if (HasFileEnding(path, ".bmp"))
        return CONVERT_IS_BITMAP;
    if (!IsConvertible(path) || (!agreed && !ConversionSwitchedOn()))
        return CONVERT_NOT_USABLE;
    return Convert(path);
}

BOOL IsConversionAsked(const CString& path)
{
    return IsConvertible(path) && !ConversionSwitchedOn();
}
