#include "AdTestSupport.h"

#include <wincodec.h>

#include <cstdio>
#include <vector>

namespace tpx::test {

CComPtr<IActiveDesktop> CreateActiveDesktop(HRESULT* hr)
{
    CComPtr<IActiveDesktop> desktop;
    const HRESULT result = CoCreateInstance(CLSID_ActiveDesktop, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IActiveDesktop, reinterpret_cast<void**>(&desktop));
    if (hr)
        *hr = result;
    return desktop;
}

ValueSnapshot::ValueSnapshot(HKEY root, std::string subKey) : m_root(root), m_subKey(std::move(subKey))
{
    HKEY key;
    if (RegOpenKeyExA(m_root, m_subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameLen = sizeof name, type = 0, size = 0;
        if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            break;
        RegistrySnapshot::Value value;
        value.name.assign(name, nameLen);
        value.data.resize(size);
        nameLen = sizeof name;
        if (RegEnumValueA(key, i, name, &nameLen, nullptr, &value.type, value.data.data(), &size) == ERROR_SUCCESS) {
            value.data.resize(size);
            m_values.push_back(std::move(value));
        }
    }
    RegCloseKey(key);
}

ValueSnapshot::~ValueSnapshot()
{
    HKEY key;
    if (RegCreateKeyExA(m_root, m_subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    // Values the test added go; then every captured value is written back.
    std::vector<std::string> added;
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameLen = sizeof name;
        if (RegEnumValueA(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        bool known = false;
        for (const auto& value : m_values)
            known = known || value.name == std::string(name, nameLen);
        if (!known)
            added.emplace_back(name, nameLen);
    }
    for (const auto& name : added)
        RegDeleteValueA(key, name.c_str());
    for (const auto& value : m_values)
        RegSetValueExA(key, value.name.c_str(), 0, value.type, value.data.data(),
                       static_cast<DWORD>(value.data.size()));
    RegCloseKey(key);
}

DesktopScope::DesktopScope()
{
    m_desktop.emplace(HKEY_CURRENT_USER, kDesktopKey);
    m_general.emplace(HKEY_CURRENT_USER, kGeneralKey);
    m_components.emplace(HKEY_CURRENT_USER, kComponentsKey);
    m_explorer.emplace(HKEY_CURRENT_USER, kExplorerKey);
    m_volatile.emplace(HKEY_CURRENT_USER, std::string(kVolatileKey) + "\\" + kDesktopKey);
}

DesktopScope::~DesktopScope()
{
    m_desktop.reset();
    m_general.reset();
    m_components.reset();
    m_explorer.reset();
    m_volatile.reset();
    // No path: Wine's desktop reloads what the registry now says.
    SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, nullptr, 0);
}

bool SetActiveDesktop(bool on)
{
    CComPtr<IActiveDesktop> desktop = CreateActiveDesktop();
    if (!desktop)
        return false;
    COMPONENTSOPT options{};
    options.dwSize = sizeof options;
    if (FAILED(desktop->GetDesktopItemOptions(&options, 0)))
        return false;
    options.fActiveDesktop = on;
    return SUCCEEDED(desktop->SetDesktopItemOptions(&options, 0));
}

std::wstring Wide(const std::string& text)
{
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(n > 0 ? n : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
    wide.resize(wcslen(wide.c_str()));
    return wide;
}

std::string Narrow(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(n > 0 ? n : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow.data(), n, nullptr, nullptr);
    narrow.resize(strlen(narrow.c_str()));
    return narrow;
}

COLORREF DesktopPixel(int x, int y)
{
    HWND desktop = GetDesktopWindow();
    HDC dc = GetDC(desktop);
    if (!dc)
        return CLR_INVALID;
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(desktop, dc);
    return c;
}

bool WaitForDesktop(std::initializer_list<ExpectedPixel> expected, int tolerance, DWORD timeoutMs)
{
    return WaitFor(
        [&] {
            for (const ExpectedPixel& p : expected) {
                const COLORREF c = DesktopPixel(p.x, p.y);
                if (c == CLR_INVALID || !ColourNear(c, p.colour, tolerance))
                    return false;
            }
            return true;
        },
        timeoutMs);
}

std::string DescribeDesktop(std::initializer_list<ExpectedPixel> points)
{
    std::string text;
    for (const ExpectedPixel& p : points) {
        char line[96];
        std::snprintf(line, sizeof line, "(%d,%d) shows %06lX, wanted %06lX; ", p.x, p.y,
                      static_cast<unsigned long>(DesktopPixel(p.x, p.y)), static_cast<unsigned long>(p.colour));
        text += line;
    }
    return text;
}

COLORREF DesktopColour()
{
    return GetSysColor(COLOR_DESKTOP);
}

SIZE ScreenSize()
{
    return SIZE{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

bool WriteJpeg(const std::string& path, int width, int height,
               const std::function<COLORREF(int x, int y)>& pixel)
{
    CComPtr<IWICImagingFactory> factory;
    CComPtr<IWICStream> stream;
    CComPtr<IWICBitmapEncoder> encoder;
    CComPtr<IWICBitmapFrameEncode> frame;
    CComPtr<IPropertyBag2> options;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory))) ||
        FAILED(factory->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromFilename(Wide(path).c_str(), GENERIC_WRITE)) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder)) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame, &options)))
        return false;
    PROPBAG2 quality{};
    quality.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_R4;
    value.fltVal = 1.0f;
    options->Write(1, &quality, &value);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(frame->Initialize(options.Get())) || FAILED(frame->SetSize(width, height)) ||
        FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
        return false;
    const UINT stride = (static_cast<UINT>(width) * 3 + 3) & ~3u;
    std::vector<BYTE> pixels(static_cast<size_t>(stride) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixel(x, y);
            BYTE* p = &pixels[static_cast<size_t>(y) * stride + x * 3];
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
        }
    return SUCCEEDED(frame->WritePixels(height, stride, static_cast<UINT>(pixels.size()), pixels.data())) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

}  // namespace tpx::test
