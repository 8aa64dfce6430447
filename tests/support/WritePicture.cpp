// The one solid-colour picture writer.  Apart from Pictures.cpp so that only
// the programs that write a picture link the imaging codecs.
#include "Pictures.h"

#include <wincodec.h>

#include <algorithm>

#include "framework/Handles.h"

namespace tpx::test {

namespace {

const GUID* ContainerFor(const std::string& path)
{
    const char* ext = path.c_str() + std::min(path.size(), path.find_last_of('.'));
    return !lstrcmpiA(ext, ".gif") ? &GUID_ContainerFormatGif
           : !lstrcmpiA(ext, ".png") ? &GUID_ContainerFormatPng
           : !lstrcmpiA(ext, ".jpg") || !lstrcmpiA(ext, ".jpeg") ? &GUID_ContainerFormatJpeg : nullptr;
}

// Through WIC; the encoder may ask for palette indices (GIF), then every
// pixel is index 0 of a palette of `colour` alone.
bool EncodeSolid(IWICImagingFactory* factory, const GUID& container, const std::wstring& path, UINT width,
                 UINT height, COLORREF colour)
{
    CComPtr<IWICStream> stream;
    CComPtr<IWICBitmapEncoder> encoder;
    CComPtr<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(factory->CreateStream(stream.Receive())) ||
        FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) ||
        FAILED(factory->CreateEncoder(container, nullptr, encoder.Receive())) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.Receive(), nullptr)) || FAILED(frame->Initialize(nullptr)) ||
        FAILED(frame->SetSize(width, height)) || FAILED(frame->SetPixelFormat(&format)))
        return false;
    const bool indexed = IsEqualGUID(format, GUID_WICPixelFormat8bppIndexed);
    const UINT stride = ((indexed ? width : width * 3) + 3) & ~3u;
    std::vector<BYTE> pixels(size_t(stride) * height);
    for (UINT y = 0; y < height && !indexed; ++y)
        for (UINT x = 0; x < width; ++x) {
            BYTE* p = &pixels[y * stride + x * 3];
            p[0] = GetBValue(colour), p[1] = GetGValue(colour), p[2] = GetRValue(colour);
        }
    if (indexed) {
        CComPtr<IWICPalette> palette;
        WICColor entry = 0xFF000000u | (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
        if (FAILED(factory->CreatePalette(palette.Receive())) || FAILED(palette->InitializeCustom(&entry, 1)) ||
            FAILED(frame->SetPalette(palette.Get())))
            return false;
    }
    return SUCCEEDED(frame->WritePixels(height, stride, UINT(pixels.size()), pixels.data())) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

}  // namespace

bool WritePicture(const std::string& path, int width, int height, COLORREF colour)
{
    const GUID* container = ContainerFor(path);
    if (!container)
        return WriteBmp(path, width, height, [colour](int, int) { return colour; });
    std::wstring wide(path.size() + 1, L'\0');
    wide.resize(size_t(MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], int(wide.size())) - 1));
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool ok = false;
    {
        CComPtr<IWICImagingFactory> factory;
        ok = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IWICImagingFactory, factory.ReceiveVoid())) &&
             EncodeSolid(factory.Get(), *container, wide, UINT(width), UINT(height), colour);
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return ok;
}

}  // namespace tpx::test
