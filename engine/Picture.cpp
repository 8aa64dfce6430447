#include "engine/Picture.h"

#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "engine/BitmapCheck.h"
#include "engine/JpegCheck.h"
#include "framework/App.h"
#include "framework/File.h"
#include "framework/Handles.h"

namespace {

const char kNoMemory[] = "Can not allocate enough memory\t";
const char kNoInterface[] = "IPicture interface is not supported\t";

void ShowPictureError(LPCSTR text)
{
    CWnd* mainWnd = AfxGetMainWnd();
    TpxMessageBoxEx(mainWnd ? mainWnd->GetSafeHwnd() : nullptr, text, "CPicture Error", MB_OK | MB_ICONHAND,
                    MAKELANGID(LANG_ENGLISH, SUBLANG_NEUTRAL));
}

void ShowFileError(const CFileException& error)
{
    // Room for the system's text around a path of MAX_PATH characters.
    char text[TPX_MAX_PATH_BYTES + 256] = "";
    error.GetErrorMessage(text, sizeof text);
    ShowPictureError(text);
}

// The picture service measures in HIMETRIC (0.01 mm); sizes are reported at a
// fixed 96 pixels per inch, whatever the screen says.
int HimetricToPixels(long himetric)
{
    return MulDiv(static_cast<int>(himetric), 96, 2540);
}

}  // namespace

CPicture::CPicture() : m_pPicture(nullptr), m_nHeight(0), m_nSize(0), m_nWidth(0) {}

CPicture::~CPicture()
{
    if (m_pPicture)
        FreePicture();
}

void CPicture::FreePicture()
{
    if (m_pPicture) {
        m_pPicture->Release();
        m_pPicture = nullptr;
    }
    m_nHeight = 0;
    m_nSize = 0;
    m_nWidth = 0;
}

BOOL CPicture::Load(CString path)
{
    if (m_pPicture)
        FreePicture();

    BOOL loaded = FALSE;
    int length = 0;
    CFile file;
    CFileException error;
    if (!file.Open(path, CFile::modeRead | CFile::typeBinary, &error)) {
        ShowFileError(error);
    } else {
        // The whole file goes through memory twice; a file beyond what an int
        // can count is refused as too large rather than cut short.
        const ULONGLONG fileLength = file.GetLength();
        if (fileLength > static_cast<ULONGLONG>(INT_MAX)) {
            ShowPictureError(kNoMemory);
        } else if (fileLength > 0) {
            length = static_cast<int>(fileLength);
            std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[static_cast<size_t>(length)]);
            if (!buffer) {
                ShowPictureError(kNoMemory);
            } else {
                const UINT read = file.Read(buffer.get(), static_cast<UINT>(length));
                if (read > 0)
                    loaded = LoadFromBuffer(buffer.get(), static_cast<int>(read));
            }
        }
        file.Close();
    }
    m_nSize = length;

    if (!m_pPicture) {
        m_nHeight = 0;
        m_nWidth = 0;
        return FALSE;
    }
    OLE_YSIZE_HIMETRIC height = 0;
    OLE_XSIZE_HIMETRIC width = 0;
    m_pPicture->get_Height(&height);
    m_pPicture->get_Width(&width);
    m_nHeight = HimetricToPixels(height);
    m_nWidth = HimetricToPixels(width);
    return loaded;
}

BOOL CPicture::LoadFromBuffer(BYTE* bytes, int size)
{
    if (!bytes || size <= 0)
        return FALSE;
    // The picture service reads a bitmap wherever its headers point: a
    // damaged one is refused here, silently, like any picture it cannot read.
    // It decodes a JPEG whole at the size its header announces: a giant is
    // refused the same way.
    if (CheckBitmapBytes(bytes, static_cast<size_t>(size)) == BITMAP_DAMAGED ||
        IsOversizedJpeg(bytes, static_cast<size_t>(size))) {
        if (m_pPicture) {
            m_pPicture->Release();
            m_pPicture = nullptr;
        }
        return FALSE;
    }

    CGlobalHandle memory(GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size)));
    void* copy = memory ? GlobalLock(memory.Get()) : nullptr;
    if (!copy) {
        ShowPictureError(kNoMemory);
        return FALSE;
    }
    std::memcpy(copy, bytes, static_cast<size_t>(size));
    GlobalUnlock(memory.Get());

    CComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(memory.Get(), TRUE, stream.Receive())))
        return FALSE;
    memory.Release();  // the stream frees it now

    if (m_pPicture) {
        m_pPicture->Release();
        m_pPicture = nullptr;
    }
    const HRESULT result = OleLoadPicture(stream.Get(), size, FALSE, IID_IPicture,
                                          reinterpret_cast<void**>(&m_pPicture));
    if (FAILED(result))
        m_pPicture = nullptr;
    if (result == E_NOINTERFACE) {
        ShowPictureError(kNoInterface);
        return FALSE;
    }
    // Any other failure leaves no picture, which Load reports as FALSE.
    return TRUE;
}

BOOL CPicture::Draw(CDC* dc, RECT rect)
{
    if (!dc || !m_pPicture)
        return FALSE;
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    m_pPicture->get_Width(&width);
    m_pPicture->get_Height(&height);
    // HIMETRIC runs upwards: start at the bottom edge with a negative height.
    const HRESULT result = m_pPicture->Render(dc->GetSafeHdc(), rect.left, rect.top, rect.right - rect.left,
                                              rect.bottom - rect.top, 0, height, width, -height, &rect);
    if (FAILED(result)) {
        ShowPictureError(kNoMemory);
        return FALSE;
    }
    return TRUE;
}

// The picture service would save a picture read from a JPEG or GIF as those
// same JPEG or GIF bytes, which is no bitmap.  So the picture is rendered at
// its pixel size into a 24-bit device-independent bitmap, and that is written
// as a Windows bitmap file.
BOOL CPicture::SaveToFile(CString path)
{
    if (!m_pPicture)
        return FALSE;

    // A bitmap picture is written at its own pixel size; other kinds (icons,
    // metafiles) at their size at 96 per inch.
    int width = m_nWidth;
    int height = m_nHeight;
    SHORT type = PICTYPE_UNINITIALIZED;
    OLE_HANDLE handle = 0;
    if (SUCCEEDED(m_pPicture->get_Type(&type)) && type == PICTYPE_BITMAP &&
        SUCCEEDED(m_pPicture->get_Handle(&handle))) {
        BITMAP bitmap = {};
        if (GetObjectA(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), sizeof bitmap, &bitmap)) {
            width = bitmap.bmWidth;
            height = bitmap.bmHeight < 0 ? -bitmap.bmHeight : bitmap.bmHeight;
        }
    }
    if (width <= 0 || height <= 0)
        return FALSE;

    const ULONGLONG stride = (static_cast<ULONGLONG>(width) * 3 + 3) & ~3ULL;
    const ULONGLONG imageSize = stride * static_cast<ULONGLONG>(height);
    const ULONGLONG headersSize = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    if (imageSize + headersSize > static_cast<ULONGLONG>(INT_MAX)) {
        ShowPictureError(kNoMemory);
        return FALSE;
    }

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as bitmap files usually are
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(imageSize);
    void* bits = nullptr;
    CBitmapHandle dib(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    CDCHandle dc(CreateCompatibleDC(nullptr));
    if (!dib || !bits || !dc) {
        ShowPictureError(kNoMemory);
        return FALSE;
    }
    {
        CSelectObjectGuard select(dc.Get(), dib.Get());
        // Transparent parts of a picture come out white.
        PatBlt(dc.Get(), 0, 0, width, height, WHITENESS);
        OLE_XSIZE_HIMETRIC himetricWidth = 0;
        OLE_YSIZE_HIMETRIC himetricHeight = 0;
        m_pPicture->get_Width(&himetricWidth);
        m_pPicture->get_Height(&himetricHeight);
        const RECT bounds = {0, 0, width, height};
        if (FAILED(m_pPicture->Render(dc.Get(), 0, 0, width, height, 0, himetricHeight, himetricWidth,
                                      -himetricHeight, &bounds)))
            return FALSE;
        GdiFlush();
    }

    BITMAPFILEHEADER fileHeader = {};
    fileHeader.bfType = 0x4D42;  // "BM"
    fileHeader.bfSize = static_cast<DWORD>(headersSize + imageSize);
    fileHeader.bfOffBits = static_cast<DWORD>(headersSize);

    CFile file;
    CFileException error;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::typeBinary, &error)) {
        ShowFileError(error);
        return FALSE;
    }
    const BOOL written = file.Write(&fileHeader, sizeof fileHeader) &&
                         file.Write(&info.bmiHeader, sizeof info.bmiHeader) &&
                         file.Write(bits, static_cast<UINT>(imageSize));
    file.Close();
    return written;
}
