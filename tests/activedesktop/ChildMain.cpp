// ad_child: a second process for the Active Desktop tests, to show what a new
// object in a new process sees.  The answer is the exit code (or a file).
//
//   ad_child options            16 + fActiveDesktop + 2 * fEnableComponents
//   ad_child set-active 0|1     0 when SetDesktopItemOptions succeeded
//   ad_child style              16 + the wallpaper style
//   ad_child wallpaper FILE     0, and GetWallpaper's answer in FILE (UTF-8)
#include <windows.h>
#include <wininet.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kNoObject = 200;
constexpr int kCallFailed = 201;
constexpr int kUsage = 202;

int Run(IActiveDesktop* desktop, int argc, char** argv)
{
    if (argc == 2 && !strcmp(argv[1], "options")) {
        COMPONENTSOPT options{};
        options.dwSize = sizeof options;
        if (FAILED(desktop->GetDesktopItemOptions(&options, 0)))
            return kCallFailed;
        return 16 + (options.fActiveDesktop ? 1 : 0) + (options.fEnableComponents ? 2 : 0);
    }
    if (argc == 3 && !strcmp(argv[1], "set-active")) {
        COMPONENTSOPT options{};
        options.dwSize = sizeof options;
        if (FAILED(desktop->GetDesktopItemOptions(&options, 0)))
            return kCallFailed;
        options.fActiveDesktop = argv[2][0] == '1';
        return SUCCEEDED(desktop->SetDesktopItemOptions(&options, 0)) ? 0 : kCallFailed;
    }
    if (argc == 2 && !strcmp(argv[1], "style")) {
        WALLPAPEROPT options{};
        options.dwSize = sizeof options;
        if (FAILED(desktop->GetWallpaperOptions(&options, 0)))
            return kCallFailed;
        return 16 + static_cast<int>(options.dwStyle);
    }
    if (argc == 3 && !strcmp(argv[1], "wallpaper")) {
        WCHAR wallpaper[MAX_PATH] = {};
        if (FAILED(desktop->GetWallpaper(wallpaper, MAX_PATH, 0)))
            return kCallFailed;
        char utf8[MAX_PATH * 4] = {};
        WideCharToMultiByte(CP_UTF8, 0, wallpaper, -1, utf8, sizeof utf8, nullptr, nullptr);
        FILE* f = std::fopen(argv[2], "wb");
        if (!f)
            return kCallFailed;
        std::fputs(utf8, f);
        std::fclose(f);
        return 0;
    }
    return kUsage;
}

}  // namespace

int main(int argc, char** argv)
{
    if (FAILED(CoInitialize(nullptr)))
        return kNoObject;
    IActiveDesktop* desktop = nullptr;
    int result = kNoObject;
    if (SUCCEEDED(CoCreateInstance(CLSID_ActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveDesktop,
                                   reinterpret_cast<void**>(&desktop)))) {
        result = Run(desktop, argc, argv);
        desktop->Release();
    }
    CoUninitialize();
    return result;
}
