#include "activedesktop/ShownBitmap.h"

#include "activedesktop/DesktopState.h"
#include "engine/BitmapCheck.h"
#include "framework/Handles.h"

#include <shlobj.h>
#include <wincodec.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <vector>

namespace activedesktop {

namespace {

// Pictures beyond this are refused rather than decoded into memory whole.
constexpr uint64_t kMaxSourcePixels = TPX_MAX_PICTURE_PIXELS;
constexpr UINT kMaxSide = TPX_MAX_PICTURE_SIDE;
// Rows converted per step: the output is written in bands, never held whole.
constexpr size_t kBandBytes = 4u * 1024 * 1024;

HRESULT LastError()
{
    const DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// "<local application data>\Microsoft\Wallpaper1.bmp", where the shell keeps
// the bitmap it made from a wallpaper.  `create` makes the folder.
bool GetProviderBitmapPath(LPWSTR path, bool create)
{
    WCHAR folder[MAX_PATH];
    const int flags = CSIDL_LOCAL_APPDATA | (create ? CSIDL_FLAG_CREATE : 0);
    if (FAILED(SHGetFolderPathW(nullptr, flags, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return false;
    static const WCHAR kSubFolder[] = L"\\Microsoft";
    static const WCHAR kFileName[] = L"\\Wallpaper1.bmp";
    if (wcslen(folder) + wcslen(kSubFolder) + wcslen(kFileName) >= MAX_PATH)
        return false;
    wcscat(folder, kSubFolder);
    if (create && !CreateDirectoryW(folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    wcscpy(path, folder);
    wcscat(path, kFileName);
    return true;
}

// The kinds the platform's imaging decodes with its own bounds (libjpeg,
// libpng, a GIF reader); bitmaps go through the checker instead, and no other
// kind (icons, TIFF, ...) reaches a decoder at all.
bool IsDecodablePicture(LPCWSTR path)
{
    const CFileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BYTE magic[8] = {};
    DWORD read = 0;
    if (!file.IsValid() || !ReadFile(file.Get(), magic, sizeof magic, &read, nullptr) || read != sizeof magic)
        return false;
    static const BYTE kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return (magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF) || memcmp(magic, "GIF87a", 6) == 0 ||
           memcmp(magic, "GIF89a", 6) == 0 || memcmp(magic, kPng, 8) == 0;
}

// Where the picture lands in the bitmap: scaled to scaledWidth x scaledHeight,
// of which `crop` is kept.
struct Geometry {
    UINT scaledWidth;
    UINT scaledHeight;
    WICRect crop;
};

UINT ScaleSide(UINT side, UINT numerator, UINT denominator)
{
    const uint64_t scaled = (static_cast<uint64_t>(side) * numerator + denominator / 2) / denominator;
    return scaled < 1 ? 1 : scaled > kMaxSide ? kMaxSide : static_cast<UINT>(scaled);
}

Geometry ComputeGeometry(UINT width, UINT height, DWORD style, UINT screenWidth, UINT screenHeight)
{
    Geometry g{width, height, {0, 0, 0, 0}};
    // Which side of the picture meets the screen first when it grows.
    const bool heightLimits =
        static_cast<uint64_t>(width) * screenHeight <= static_cast<uint64_t>(screenWidth) * height;
    switch (style) {
    case WPSTYLE_STRETCH:
        g.scaledWidth = screenWidth;
        g.scaledHeight = screenHeight;
        break;
    case kStyleKeepAspect:
        if (heightLimits) {
            g.scaledHeight = screenHeight;
            g.scaledWidth = ScaleSide(width, screenHeight, height);
        } else {
            g.scaledWidth = screenWidth;
            g.scaledHeight = ScaleSide(height, screenWidth, width);
        }
        break;
    case kStyleCropToFit:
    case kStyleSpan:
        if (heightLimits) {
            g.scaledWidth = screenWidth;
            g.scaledHeight = ScaleSide(height, screenWidth, width);
        } else {
            g.scaledHeight = screenHeight;
            g.scaledWidth = ScaleSide(width, screenHeight, height);
        }
        break;
    default:  // centre and tile: the picture at its own size
        break;
    }
    g.crop.Width = static_cast<INT>(g.scaledWidth);
    g.crop.Height = static_cast<INT>(g.scaledHeight);
    if (style == kStyleCropToFit || style == kStyleSpan) {
        g.crop.Width = static_cast<INT>(g.scaledWidth < screenWidth ? g.scaledWidth : screenWidth);
        g.crop.Height = static_cast<INT>(g.scaledHeight < screenHeight ? g.scaledHeight : screenHeight);
        g.crop.X = static_cast<INT>((g.scaledWidth - g.crop.Width) / 2);
        g.crop.Y = static_cast<INT>((g.scaledHeight - g.crop.Height) / 2);
    }
    return g;
}

bool WriteAll(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

// Writes `source`'s `crop` as a 24-bit bottom-up Windows bitmap.  The
// picture is converted band by band, top to bottom, each row put in its
// place in the file.
HRESULT WriteBitmapFile(IWICBitmapSource* source, const WICRect& crop, HANDLE file)
{
    const UINT width = static_cast<UINT>(crop.Width);
    const UINT height = static_cast<UINT>(crop.Height);
    const DWORD rowBytes = (width * 3 + 3) & ~3u;
    const uint64_t imageBytes = static_cast<uint64_t>(rowBytes) * height;
    if (imageBytes > 0x7FFFFFFFull)
        return E_OUTOFMEMORY;

    BITMAPFILEHEADER fileHeader{};
    BITMAPINFOHEADER infoHeader{};
    infoHeader.biSize = sizeof infoHeader;
    infoHeader.biWidth = static_cast<LONG>(width);
    infoHeader.biHeight = static_cast<LONG>(height);
    infoHeader.biPlanes = 1;
    infoHeader.biBitCount = 24;
    infoHeader.biCompression = BI_RGB;
    infoHeader.biSizeImage = static_cast<DWORD>(imageBytes);
    infoHeader.biXPelsPerMeter = infoHeader.biYPelsPerMeter = 3780;  // 96 per inch
    fileHeader.bfType = 0x4D42;  // "BM"
    fileHeader.bfOffBits = sizeof fileHeader + sizeof infoHeader;
    fileHeader.bfSize = fileHeader.bfOffBits + static_cast<DWORD>(imageBytes);
    if (!WriteAll(file, &fileHeader, sizeof fileHeader) || !WriteAll(file, &infoHeader, sizeof infoHeader))
        return LastError();

    const UINT stride = width * 4;
    UINT bandRows = static_cast<UINT>(kBandBytes / stride);
    if (bandRows < 1)
        bandRows = 1;
    if (bandRows > height)
        bandRows = height;
    std::vector<BYTE> band(static_cast<size_t>(stride) * bandRows);
    std::vector<BYTE> row(rowBytes, 0);
    for (UINT top = 0; top < height; top += bandRows) {
        const UINT rows = height - top < bandRows ? height - top : bandRows;
        const WICRect rect{crop.X, crop.Y + static_cast<INT>(top), crop.Width, static_cast<INT>(rows)};
        HRESULT hr = source->CopyPixels(&rect, stride, stride * rows, band.data());
        if (FAILED(hr))
            return hr;
        for (UINT r = 0; r < rows; ++r) {
            const BYTE* bgrx = band.data() + static_cast<size_t>(r) * stride;
            for (UINT x = 0; x < width; ++x)
                memcpy(&row[x * 3], bgrx + x * 4, 3);
            LARGE_INTEGER at;
            at.QuadPart = fileHeader.bfOffBits + static_cast<LONGLONG>(height - 1 - (top + r)) * rowBytes;
            if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) || !WriteAll(file, row.data(), rowBytes))
                return LastError();
        }
    }
    return S_OK;
}

// Replaces `target` in one step: the desktop may be reading the old file at
// this moment, and must never see a half-written one.
HRESULT MoveIntoPlace(LPCWSTR temporary, LPCWSTR target)
{
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(temporary, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return S_OK;
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || attempt == 40)
            return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
        Sleep(25);  // the desktop holds the old file only while it loads it
    }
}

// S_FALSE when `picture` is no picture the platform's imaging can read.
HRESULT WriteProviderBitmap(LPCWSTR picture, DWORD style, LPCWSTR target)
{
    CComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, factory.ReceiveVoid());
    if (FAILED(hr))
        return hr;
    CComPtr<IWICBitmapDecoder> decoder;
    CComPtr<IWICBitmapFrameDecode> frame;
    UINT width = 0, height = 0;
    if (FAILED(factory->CreateDecoderFromFilename(picture, nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, decoder.Receive())) ||
        FAILED(decoder->GetFrame(0, frame.Receive())) || FAILED(frame->GetSize(&width, &height)) ||
        width == 0 || height == 0 || width > kMaxSide || height > kMaxSide ||
        static_cast<uint64_t>(width) * height > kMaxSourcePixels)
        return S_FALSE;

    CComPtr<IWICFormatConverter> converter;
    hr = factory->CreateFormatConverter(converter.Receive());
    if (SUCCEEDED(hr))
        hr = converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr,
                                   0.0, WICBitmapPaletteTypeCustom);
    if (FAILED(hr))
        return S_FALSE;  // a pixel format nobody can convert: no picture to us

    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (screenWidth <= 0 || screenHeight <= 0)
        screenWidth = static_cast<int>(width), screenHeight = static_cast<int>(height);
    const Geometry g = ComputeGeometry(width, height, style, static_cast<UINT>(screenWidth),
                                       static_cast<UINT>(screenHeight));
    IWICBitmapSource* source = converter.Get();
    CComPtr<IWICBitmapScaler> scaler;
    if (g.scaledWidth != width || g.scaledHeight != height) {
        hr = factory->CreateBitmapScaler(scaler.Receive());
        if (SUCCEEDED(hr))
            hr = scaler->Initialize(converter.Get(), g.scaledWidth, g.scaledHeight,
                                    WICBitmapInterpolationModeFant);
        if (FAILED(hr))
            return hr;
        source = scaler.Get();
    }

    // The temporary file lives beside the target, so that the final move
    // is a rename on one volume.
    WCHAR folder[MAX_PATH];
    wcscpy(folder, target);
    if (WCHAR* slash = wcsrchr(folder, L'\\'))
        *slash = L'\0';
    WCHAR temporary[MAX_PATH];
    if (!GetTempFileNameW(folder, L"wpb", 0, temporary))
        return LastError();
    CFileHandle file(CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    hr = file.IsValid() ? WriteBitmapFile(source, g.crop, file.Get()) : LastError();
    // A failed close may mean the bitmap never reached the disk.
    if (file.IsValid() && !CloseHandle(file.Release()) && SUCCEEDED(hr))
        hr = LastError();
    // The picture is read to the end: let go of it before the target is
    // replaced, which may be the very file the picture came from.
    scaler.Reset();
    converter.Reset();
    frame.Reset();
    decoder.Reset();
    if (SUCCEEDED(hr))
        hr = MoveIntoPlace(temporary, target);
    if (FAILED(hr))
        DeleteFileW(temporary);
    return hr;
}

}  // namespace

HRESULT PrepareShownBitmap(LPCWSTR wallpaper, DWORD style, LPWSTR shown)
{
    shown[0] = L'\0';
    if (!wallpaper[0])
        return S_OK;
    // Wine's desktop loads what it is given with a loader that believes the
    // file's headers: only a checked bitmap may go there as it is.  A damaged
    // one is shown like a missing file, as the plain desktop.
    const BitmapVerdict verdict = CheckBitmapFile(wallpaper);
    const bool ownSize = style == WPSTYLE_CENTER || style == WPSTYLE_TILE;
    if (verdict == BITMAP_DAMAGED || (verdict == BITMAP_NOT_A_BITMAP && !IsDecodablePicture(wallpaper)))
        return S_OK;
    if (ownSize && verdict == BITMAP_SOUND) {
        wcscpy(shown, wallpaper);
        return S_OK;
    }
    WCHAR target[MAX_PATH];
    if (!GetProviderBitmapPath(target, true))
        return E_FAIL;
    const HRESULT hr = WriteProviderBitmap(wallpaper, style, target);
    if (hr == S_OK)
        wcscpy(shown, target);
    return FAILED(hr) ? hr : S_OK;
}

bool IsProviderBitmap(LPCWSTR path)
{
    WCHAR own[MAX_PATH];
    return path[0] && GetProviderBitmapPath(own, false) && lstrcmpiW(path, own) == 0;
}

}  // namespace activedesktop
