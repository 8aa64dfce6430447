// ad_demo: shows a wallpaper through the Active Desktop object as Tapestrix
// does and keeps Wine's desktop open for a screenshot; the tests' other process.
//   ad_demo bmp|jpeg|stretch FILE [SECONDS]  centred (apply flags 1), Active Desktop (3), stretched (1)
//   ad_demo active [0|1]                     exit code 16 + fActiveDesktop, after setting it
#include <windows.h>
#include <wininet.h>
#include <shlobj.h>

#include "framework/Handles.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    const char* mode = argc > 1 ? argv[1] : "";
    const bool jpeg = !strcmp(mode, "jpeg"), stretch = !strcmp(mode, "stretch");
    const bool show = argc > 2 && (jpeg || stretch || !strcmp(mode, "bmp"));
    if (!show && strcmp(mode, "active"))
        return std::printf("usage: ad_demo bmp|jpeg|stretch FILE [SECONDS] | ad_demo active [0|1]\n"), 2;
    CoInitialize(nullptr);
    CComPtr<IActiveDesktop> desktop;
    COMPONENTSOPT items{sizeof items, 0, 0};
    HRESULT hr = CoCreateInstance(CLSID_ActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveDesktop,
                                  desktop.ReceiveVoid());
    if (SUCCEEDED(hr) && SUCCEEDED(hr = desktop->GetDesktopItemOptions(&items, 0)) && argc > 2) {
        items.fActiveDesktop = show ? jpeg : argv[2][0] == '1';
        hr = desktop->SetDesktopItemOptions(&items, 0);
    }
    if (!show)
        return FAILED(hr) ? 1 : 16 + (items.fActiveDesktop ? 1 : 0);
    char full[MAX_PATH] = {};
    WCHAR path[MAX_PATH] = {};
    GetFullPathNameA(argv[2], MAX_PATH, full, nullptr);
    MultiByteToWideChar(CP_ACP, 0, full, -1, path, MAX_PATH);
    const WALLPAPEROPT options{sizeof options, DWORD(stretch ? WPSTYLE_STRETCH : WPSTYLE_CENTER)};
    if (SUCCEEDED(hr) && SUCCEEDED(hr = desktop->SetWallpaperOptions(&options, 0)) &&
        SUCCEEDED(hr = desktop->SetWallpaper(path, 0)))
        hr = desktop->ApplyChanges(jpeg ? AD_APPLY_SAVE | AD_APPLY_HTMLGEN : AD_APPLY_SAVE);
    char shown[MAX_PATH] = {};
    SystemParametersInfoA(SPI_GETDESKWALLPAPER, MAX_PATH, shown, 0);
    std::printf("ad_demo: %s: 0x%08lX, the desktop shows %s\n", full, static_cast<unsigned long>(hr), shown);
    std::fflush(stdout);
    Sleep(DWORD(argc > 3 ? std::atoi(argv[3]) : 15) * 1000);  // Wine's desktop closes with its last program
    return FAILED(hr) ? 1 : 0;
}
