// What the engine's tests share: the shell's Active Desktop object (the one
// tapestrix.sh registers in the prefix) behind a thin wrapper that records
// which calls were made and can refuse one of them; recorders of a change's
// side effects (sound, timers, commands to the taskbar); a fixture with an
// application, the shell's windows and every shell value restored after the
// test; pictures of four coloured quarters; the folder scan's listings as
// other file systems give them.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "PictureWriter.h"
#include "TestSupport.h"
#include "engine/WallpaperChanger.h"
#include "framework/App.h"

namespace tpx::test {

using Calls = std::vector<std::string>;

// Forwards every call to a real object; the call numbered `failAt` (from 0),
// and every call of the method `refuse`, is refused with `failure` and never
// reaches it, as by a shell that refused it.
class RecordingDesktop : public IActiveDesktop {
public:
    CComPtr<IActiveDesktop> real;
    Calls calls;  // the methods called, in order
    int failAt = -1;
    std::string refuse;
    HRESULT failure = E_FAIL;

    // A new real object, whose pending state is the shell's saved one, and a new record.
    bool Renew(int failing = -1)
    {
        calls.clear(), failAt = failing, refuse.clear();
        real.Reset();
        return CoCreateInstance(CLSID_ActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveDesktop,
                                real.ReceiveVoid()) == S_OK;
    }
    bool Refused(const char* method)
    {
        calls.push_back(method);
        return static_cast<int>(calls.size()) - 1 == failAt || refuse == method;
    }
    STDMETHODIMP QueryInterface(REFIID, void** out) override { return *out = this, S_OK; }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

#define TPX_FORWARD(method, params, args) \
    STDMETHODIMP method params override { return Refused(#method) ? failure : real->method args; }
    TPX_FORWARD(ApplyChanges, (DWORD flags), (flags))
    TPX_FORWARD(GetWallpaper, (PWSTR text, UINT size, DWORD flags), (text, size, flags))
    TPX_FORWARD(SetWallpaper, (PCWSTR text, DWORD reserved), (text, reserved))
    TPX_FORWARD(GetWallpaperOptions, (LPWALLPAPEROPT o, DWORD reserved), (o, reserved))
    TPX_FORWARD(SetWallpaperOptions, (LPCWALLPAPEROPT o, DWORD reserved), (o, reserved))
    TPX_FORWARD(GetPattern, (PWSTR text, UINT size, DWORD reserved), (text, size, reserved))
    TPX_FORWARD(SetPattern, (PCWSTR text, DWORD reserved), (text, reserved))
    TPX_FORWARD(GetDesktopItemOptions, (LPCOMPONENTSOPT o, DWORD reserved), (o, reserved))
    TPX_FORWARD(SetDesktopItemOptions, (LPCCOMPONENTSOPT o, DWORD reserved), (o, reserved))
    TPX_FORWARD(AddDesktopItem, (LPCCOMPONENT c, DWORD reserved), (c, reserved))
    TPX_FORWARD(AddDesktopItemWithUI, (HWND w, LPCOMPONENT c, DWORD flags), (w, c, flags))
    TPX_FORWARD(ModifyDesktopItem, (LPCCOMPONENT c, DWORD flags), (c, flags))
    TPX_FORWARD(RemoveDesktopItem, (LPCCOMPONENT c, DWORD reserved), (c, reserved))
    TPX_FORWARD(GetDesktopItemCount, (int* count, DWORD reserved), (count, reserved))
    TPX_FORWARD(GetDesktopItem, (int n, LPCOMPONENT c, DWORD reserved), (n, c, reserved))
    TPX_FORWARD(GetDesktopItemByID, (ULONG_PTR id, LPCOMPONENT c, DWORD reserved), (id, c, reserved))
    TPX_FORWARD(GenerateDesktopItemHtml, (PCWSTR file, LPCOMPONENT c, DWORD reserved), (file, c, reserved))
    TPX_FORWARD(AddUrl, (HWND w, PCWSTR source, LPCOMPONENT c, DWORD flags), (w, source, c, flags))
    TPX_FORWARD(GetDesktopItemBySource, (PCWSTR source, LPCOMPONENT c, DWORD reserved), (source, c, reserved))
#undef TPX_FORWARD
};

// ---------------------------------------------------------------- side effects
// The engine is linked into the test program, so its calls of the system go
// through the program's import table, where these recorders sit.

inline Calls g_effects;  // what a user would notice, in order
inline HWND g_main, g_taskbar;
inline decltype(&PlaySoundA) g_playSound;
inline decltype(&SetTimer) g_setTimer;
inline decltype(&PostMessageA) g_postMessage;

inline BOOL WINAPI RecordPlaySound(LPCSTR sound, HMODULE module, DWORD flags)
{
    if (sound == MAKEINTRESOURCEA(IDR_CHANGE_SOUND) && module == GetModuleHandleA(nullptr) && (flags & SND_RESOURCE))
        g_effects.push_back("sound");
    return g_playSound(sound, module, flags);
}
inline UINT_PTR WINAPI RecordSetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    if (hwnd == g_main)
        g_effects.push_back("timer " + std::to_string(id) + " " + std::to_string(elapse));
    return g_setTimer(hwnd, id, elapse, proc);
}
inline BOOL WINAPI RecordPostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (hwnd == g_taskbar && message == WM_COMMAND)
        g_effects.push_back(wParam == 419 ? "minimise all" : wParam == 416 ? "undo minimise all" : "taskbar ?");
    return g_postMessage(hwnd, message, wParam, lParam);
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
    return WritePicture(path, width, height, [=](int x, int y) { return Quarters(width, height, x, y); });
}

// The scan's listings as file systems other than Wine's give them: once
// ListingsRelisted() holds, `g_relist` may change each listed entry in place
// (its file index, its names' lengths) or act between a listing and what
// the scan does next.
inline std::function<void(FILE_ID_BOTH_DIR_INFO& entry)> g_relist;
inline decltype(&GetFileInformationByHandleEx) g_list;

inline BOOL WINAPI Relist(HANDLE folder, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID buffer, DWORD size)
{
    const BOOL ok = g_list(folder, kind, buffer, size);
    if (!ok || !g_relist || (kind != FileIdBothDirectoryInfo && kind != FileIdBothDirectoryRestartInfo))
        return ok;
    for (auto* record = static_cast<BYTE*>(buffer);;) {
        auto* entry = reinterpret_cast<FILE_ID_BOTH_DIR_INFO*>(record);
        g_relist(*entry);
        if (!entry->NextEntryOffset)
            return ok;
        record += entry->NextEntryOffset;
    }
}
inline bool ListingsRelisted()
{
    static const bool patched = PatchImport("GetFileInformationByHandleEx", reinterpret_cast<void*>(Relist), &g_list);
    return patched;
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

// An empty program key, the shell's values as they were afterwards (and
// shown again), an application with a main window, the taskbar and desktop
// windows the engine looks for by class, and a changer holding the wrapper.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static const bool recording =
            PatchImport("PlaySoundA", reinterpret_cast<void*>(RecordPlaySound), &g_playSound) &&
            PatchImport("SetTimer", reinterpret_cast<void*>(RecordSetTimer), &g_setTimer) &&
            PatchImport("PostMessageA", reinterpret_cast<void*>(RecordPostMessage), &g_postMessage);
        ASSERT_TRUE(recording);
        ASSERT_TRUE(mainWnd.CreateEx(0, nullptr, "Engine test", WS_OVERLAPPEDWINDOW, {0, 0, 100, 100}, nullptr, 0));
        app.m_pMainWnd = &mainWnd;
        g_main = mainWnd;
        g_taskbar = ShellWindow("Shell_TrayWnd", false);
        desktop = ShellWindow("Progman", true);
        ASSERT_EQ(FindWindowA("Progman", nullptr), desktop);
        g_effects.clear();
        CoInitialize(nullptr);  // balanced by the changer's destructor
        ASSERT_TRUE(shell.Renew()) << "tpxactivedesktop.dll is not registered in the prefix";
        changer.Attach(&shell);
        SetActive(FALSE);
    }
    void TearDown() override
    {
        changer.Attach(nullptr);
        shell.real.Reset();  // before the changer leaves COM
        app.m_pMainWnd = nullptr;  // or destroying it would end a message loop
        mainWnd.DestroyWindow();
        DestroyWindow(g_taskbar);
        DestroyWindow(desktop);
    }
    static auto Shell(const char* name) { return GetRegString(HKEY_CURRENT_USER, kGeneralKey, name); }
    static void SetShell(const char* name, std::string v) { SetRegString(HKEY_CURRENT_USER, kGeneralKey, name, v); }
    // The desktop item options as the shell keeps them, and setting them there.
    COMPONENTSOPT Items() const
    {
        COMPONENTSOPT options{sizeof options, 0, 0};
        shell.real->GetDesktopItemOptions(&options, 0);
        return options;
    }
    void SetActive(BOOL active, BOOL components = TRUE) const
    {
        const COMPONENTSOPT options{sizeof options, components, active};
        ASSERT_EQ(shell.real->SetDesktopItemOptions(&options, 0), S_OK);
    }

    struct Reload {  // last out: the desktop shows the restored wallpaper again
        ~Reload() { SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, nullptr, 0); }
    } reload;
    AppRegistryScope registry;
    RegistrySnapshot explorer{HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer"},
        components{HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Desktop\\Components"};
    CWinApp app{"Tapestrix"};
    CWnd mainWnd;
    HWND desktop = nullptr;
    RecordingDesktop shell;
    CWallpaperChanger changer;
    TempDir dir;
};

}  // namespace tpx::test
