// ad_demo: shows a wallpaper through the Active Desktop object the way
// Tapestrix does, then keeps the desktop open for a while so that it can be
// looked at (a screenshot of the Wine desktop).
//
//   ad_demo bmp FILE [SECONDS]       normal desktop, centred bitmap (apply flags 1)
//   ad_demo jpeg FILE [SECONDS]      Active Desktop on, any picture (apply flags 3)
//   ad_demo stretch FILE [SECONDS]   normal desktop, stretched (apply flags 1)
#include <windows.h>
#include <wininet.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int Fail(const char* what, HRESULT hr)
{
    std::printf("ad_demo: %s failed (0x%08lX)\n", what, static_cast<unsigned long>(hr));
    return 1;
}

int Show(IActiveDesktop* desktop, const char* mode, const char* file)
{
    const bool activeDesktop = !strcmp(mode, "jpeg");
    const DWORD style = !strcmp(mode, "stretch") ? WPSTYLE_STRETCH : WPSTYLE_CENTER;

    COMPONENTSOPT items{};
    items.dwSize = sizeof items;
    HRESULT hr = desktop->GetDesktopItemOptions(&items, 0);
    if (FAILED(hr))
        return Fail("GetDesktopItemOptions", hr);
    items.fActiveDesktop = activeDesktop;
    if (FAILED(hr = desktop->SetDesktopItemOptions(&items, 0)))
        return Fail("SetDesktopItemOptions", hr);

    WCHAR path[MAX_PATH];
    char full[MAX_PATH];
    if (!GetFullPathNameA(file, MAX_PATH, full, nullptr) ||
        !MultiByteToWideChar(CP_ACP, 0, full, -1, path, MAX_PATH))
        return Fail("path", E_INVALIDARG);
    WALLPAPEROPT options{};
    options.dwSize = sizeof options;
    options.dwStyle = style;
    if (FAILED(hr = desktop->SetWallpaperOptions(&options, 0)))
        return Fail("SetWallpaperOptions", hr);
    if (FAILED(hr = desktop->SetWallpaper(path, 0)))
        return Fail("SetWallpaper", hr);
    const DWORD flags = activeDesktop ? AD_APPLY_SAVE | AD_APPLY_HTMLGEN : AD_APPLY_SAVE;
    if (FAILED(hr = desktop->ApplyChanges(flags)))
        return Fail("ApplyChanges", hr);

    char shown[MAX_PATH] = {};
    SystemParametersInfoA(SPI_GETDESKWALLPAPER, MAX_PATH, shown, 0);
    std::printf("ad_demo: %s applied with flags %lu; the desktop shows %s\n", full,
                static_cast<unsigned long>(flags), shown);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || (strcmp(argv[1], "bmp") && strcmp(argv[1], "jpeg") && strcmp(argv[1], "stretch"))) {
        std::printf("usage: ad_demo bmp|jpeg|stretch FILE [SECONDS]\n");
        return 2;
    }
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 15;
    if (FAILED(CoInitialize(nullptr)))
        return 1;
    IActiveDesktop* desktop = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveDesktop,
                                  reinterpret_cast<void**>(&desktop));
    int result = FAILED(hr) ? Fail("CoCreateInstance", hr) : Show(desktop, argv[1], argv[2]);
    if (desktop)
        desktop->Release();
    CoUninitialize();
    // Wine's desktop closes with the last program in it.
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(seconds > 0 ? seconds : 0) * 1000);
    return result;
}
