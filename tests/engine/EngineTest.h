// What the engine's tests share: a recording stand-in for the shell's Active
// Desktop object that also logs the side effects of a change (sound, timers,
// commands to the taskbar), so one list shows the whole order; a fixture with
// an application and the shell's windows; pictures written with FreeImage.
#pragma once

#include <windows.h>

#include <FreeImage.h>  // after windows.h
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "TestSupport.h"
#include "engine/WallpaperChanger.h"
#include "framework/App.h"

namespace tpx::test {

using Calls = std::vector<std::string>;

// Keeps the state the engine reads and writes and logs each call with its
// arguments and structure sizes; the call numbered `failAt` (from 0) fails.
// Applying with AD_APPLY_SAVE stores the wallpaper in "Wallpaper" (and in
// "BackupWallpaper" while Active Desktop is off), as the shell does.
class FakeActiveDesktop : public IActiveDesktop {
public:
    BOOL active = FALSE, components = TRUE;
    DWORD style = WPSTYLE_CENTER;
    std::string wallpaper;
    Calls log;
    std::vector<size_t> ends;  // the log's length after each call of the object
    int failAt = -1;
    // Starts a new log, in which the call numbered `failing` is to fail.
    void Restart(int failing = -1) { log.clear(), ends.clear(), failAt = failing; }

    // Logs a line; with `call` it is a call of the object: TRUE when that fails.
    template <class... Args>
    bool Log(bool call, const char* format, Args... args)
    {
        char text[512];
        std::snprintf(text, sizeof text, format, args...);
        log.push_back(text);
        if (call)
            ends.push_back(log.size());
        return call && static_cast<int>(ends.size()) - 1 == failAt;
    }

    STDMETHODIMP QueryInterface(REFIID, void** out) override { return *out = this, S_OK; }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP ApplyChanges(DWORD flags) override
    {
        if (Log(true, "ApplyChanges(%lu)", flags))
            return E_FAIL;
        if ((flags & AD_APPLY_SAVE) && SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", wallpaper) && !active)
            SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", wallpaper);
        return S_OK;
    }
    STDMETHODIMP GetWallpaper(PWSTR text, UINT size, DWORD) override
    {
        return Log(true, "GetWallpaper(%u)", size)
                   ? E_FAIL : (MultiByteToWideChar(CP_ACP, 0, wallpaper.c_str(), -1, text, int(size)), S_OK);
    }
    STDMETHODIMP SetWallpaper(PCWSTR text, DWORD) override
    {
        char path[2 * MAX_PATH] = "";
        WideCharToMultiByte(CP_ACP, 0, text, -1, path, sizeof path, nullptr, nullptr);
        return Log(true, "SetWallpaper(%s)", path) ? E_FAIL : (wallpaper = path, S_OK);
    }
    STDMETHODIMP GetWallpaperOptions(LPWALLPAPEROPT o, DWORD) override
    {
        return Log(true, "GetWallpaperOptions(%lu)", o->dwSize) ? E_FAIL : (o->dwStyle = style, S_OK);
    }
    STDMETHODIMP SetWallpaperOptions(LPCWALLPAPEROPT o, DWORD) override
    {
        return Log(true, "SetWallpaperOptions(%lu,%lu)", o->dwSize, o->dwStyle) ? E_FAIL : (style = o->dwStyle, S_OK);
    }
    STDMETHODIMP GetDesktopItemOptions(LPCOMPONENTSOPT o, DWORD) override
    {
        return Log(true, "GetDesktopItemOptions(%lu)", o->dwSize)
                   ? E_FAIL : (o->fActiveDesktop = active, o->fEnableComponents = components, S_OK);
    }
    STDMETHODIMP SetDesktopItemOptions(LPCCOMPONENTSOPT o, DWORD) override
    {
        return Log(true, "SetDesktopItemOptions(%lu,%d,%d)", o->dwSize, o->fEnableComponents, o->fActiveDesktop)
                   ? E_FAIL : (active = o->fActiveDesktop, components = o->fEnableComponents, S_OK);
    }
    STDMETHODIMP GetPattern(PWSTR, UINT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetPattern(PCWSTR, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP AddDesktopItem(LPCCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP AddDesktopItemWithUI(HWND, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP ModifyDesktopItem(LPCCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveDesktopItem(LPCCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDesktopItemCount(int*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDesktopItem(int, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDesktopItemByID(ULONG_PTR, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GenerateDesktopItemHtml(PCWSTR, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP AddUrl(HWND, PCWSTR, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetDesktopItemBySource(PCWSTR, LPCOMPONENT, DWORD) override { return E_NOTIMPL; }
};

// ---------------------------------------------------------------- side effects
// The engine is linked into the test program, so its calls of the system go
// through the program's import table, where these recorders sit.

inline FakeActiveDesktop* g_fake;  // logs the side effects while set
inline HWND g_main, g_taskbar;
inline int g_registryOpens;  // RegOpenKeyExA calls, counted all the time
inline decltype(&PlaySoundA) g_playSound;
inline decltype(&SetTimer) g_setTimer;
inline decltype(&KillTimer) g_killTimer;
inline decltype(&PostMessageA) g_postMessage;
inline decltype(&RegOpenKeyExA) g_regOpenKeyEx;

inline BOOL WINAPI RecordPlaySound(LPCSTR sound, HMODULE module, DWORD flags)
{
    if (g_fake)
        g_fake->Log(false, "PlaySoundA(%u,0x%lX,%s)", unsigned(ULONG_PTR(sound)), flags,
                    module == GetModuleHandleA(nullptr) ? "self" : "other");
    return g_playSound(sound, module, flags);
}
inline UINT_PTR WINAPI RecordSetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    if (g_fake && hwnd == g_main)
        g_fake->Log(false, "SetTimer(%u,%u%s)", unsigned(id), elapse, proc ? ",proc" : "");
    return g_setTimer(hwnd, id, elapse, proc);
}
inline BOOL WINAPI RecordKillTimer(HWND hwnd, UINT_PTR id)
{
    if (g_fake && hwnd == g_main)
        g_fake->Log(false, "KillTimer(%u)", unsigned(id));
    return g_killTimer(hwnd, id);
}
inline BOOL WINAPI RecordPostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_fake && hwnd == g_taskbar && message == WM_COMMAND)
        g_fake->Log(false, "Post(WM_COMMAND,%u,%ld)", unsigned(wParam), long(lParam));
    return g_postMessage(hwnd, message, wParam, lParam);
}
inline LONG WINAPI CountRegOpenKeyEx(HKEY root, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result)
{
    ++g_registryOpens;
    return g_regOpenKeyEx(root, subKey, options, access, result);
}

// Puts the recorders into the program's import slots; TRUE when each found its slot.
inline bool InstallRecorders()
{
    return PatchImport("PlaySoundA", reinterpret_cast<void*>(RecordPlaySound), &g_playSound) &&
           PatchImport("SetTimer", reinterpret_cast<void*>(RecordSetTimer), &g_setTimer) &&
           PatchImport("KillTimer", reinterpret_cast<void*>(RecordKillTimer), &g_killTimer) &&
           PatchImport("PostMessageA", reinterpret_cast<void*>(RecordPostMessage), &g_postMessage) &&
           PatchImport("RegOpenKeyExA", reinterpret_cast<void*>(CountRegOpenKeyEx), &g_regOpenKeyEx);
}

// Four coloured quarters: where they are tells orientation and scaling apart.
inline constexpr COLORREF kRed = RGB(220, 30, 30), kYellow = RGB(230, 220, 30);
inline COLORREF Quarters(int width, int height, int x, int y)
{
    return y < height / 2 ? (x < width / 2 ? kRed : RGB(30, 30, 220)) : (x < width / 2 ? RGB(30, 200, 30) : kYellow);
}

// A JPEG or GIF (by the name's ending) of quarters.
inline bool WritePicture(const std::string& path, int width, int height)
{
    FreeImage_Initialise(TRUE);  // counted by the library
    FIBITMAP* picture = FreeImage_Allocate(width, height, 24);
    for (int y = 0; picture && y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = Quarters(width, height, x, y);
            RGBQUAD q = {GetBValue(c), GetGValue(c), GetRValue(c), 0};
            FreeImage_SetPixelColor(picture, x, height - 1 - y, &q);  // rows count from the bottom
        }
    const FREE_IMAGE_FORMAT format = FreeImage_GetFIFFromFilename(path.c_str());
    FIBITMAP* saved = format == FIF_GIF && picture ? FreeImage_ColorQuantize(picture, FIQ_WUQUANT) : picture;
    const bool ok = saved && FreeImage_Save(format, saved, path.c_str(), format == FIF_JPEG ? JPEG_QUALITYSUPERB : 0);
    if (saved != picture)
        FreeImage_Unload(saved);
    FreeImage_Unload(picture);
    return ok;
}

inline HWND ShellWindow(const char* className, bool visible)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    RegisterClassA(&wc);  // fails harmlessly from the second test on
    return CreateWindowExA(WS_EX_TOOLWINDOW, className, nullptr, WS_POPUP | (visible ? WS_VISIBLE : 0), 0, 0, 10, 10,
                           nullptr, nullptr, wc.hInstance, nullptr);
}

// An empty program key (it and the shell's keys restored afterwards), an
// application with a main window, the taskbar and desktop windows the engine
// looks for by class, and a changer holding the recording object.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static const bool recording = InstallRecorders();
        ASSERT_TRUE(recording);
        ASSERT_TRUE(mainWnd.CreateEx(0, nullptr, "Engine test", WS_OVERLAPPEDWINDOW, {0, 0, 100, 100}, nullptr, 0));
        app.m_pMainWnd = &mainWnd;
        g_main = mainWnd;
        g_taskbar = ShellWindow("Shell_TrayWnd", false);
        desktop = ShellWindow("Progman", true);
        ASSERT_EQ(FindWindowA("Shell_TrayWnd", nullptr), g_taskbar);
        ASSERT_EQ(FindWindowA("Progman", nullptr), desktop);
        g_fake = &fake;
        CoInitialize(nullptr);  // balanced by the changer's destructor
        changer.Attach(&fake);
    }
    void TearDown() override
    {
        g_fake = nullptr;
        app.m_pMainWnd = nullptr;  // or destroying it would end a message loop
        mainWnd.DestroyWindow();
        DestroyWindow(g_taskbar);
        DestroyWindow(desktop);
    }
    static auto Shell(const char* name) { return GetRegString(HKEY_CURRENT_USER, kGeneralKey, name); }
    static auto Setting(const char* name) { return GetRegString(HKEY_CURRENT_USER, kAppKey, name); }
    static void SetShell(const char* name, std::string v) { SetRegString(HKEY_CURRENT_USER, kGeneralKey, name, v); }

    AppRegistryScope registry;
    CWinApp app{"Tapestrix"};
    CWnd mainWnd;
    HWND desktop = nullptr;
    FakeActiveDesktop fake;
    CWallpaperChanger changer;
    TempDir dir;
};

}  // namespace tpx::test
