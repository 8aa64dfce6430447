// A recording stand-in for the shell's Active Desktop object: it keeps the
// state the engine reads and writes (Active Desktop on/off, the wallpaper,
// its style), logs every call with its arguments and the structure sizes it
// was given, and can make any one call fail.  Like the shell, applying with
// AD_APPLY_SAVE stores the wallpaper in the "Wallpaper" value of the
// Internet Explorer desktop key (and, for the normal desktop, in
// "BackupWallpaper"), which is what the engine must protect.
#pragma once

#include <windows.h>
#include <wininet.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace tpx::test {

struct AdCall {  // one call of the object, or one side effect the hooks saw
    std::string method;     // "GetDesktopItemOptions", "ApplyChanges", ...
    DWORD size = 0;         // dwSize of the structure passed, if any
    DWORD value = 0;        // flags (ApplyChanges), style (Set/GetWallpaperOptions), capacity (GetWallpaper)
    BOOL activeDesktop = FALSE;   // fActiveDesktop passed to SetDesktopItemOptions
    BOOL enableComponents = FALSE;
    std::wstring text;      // the wallpaper passed to SetWallpaper
    DWORD reserved = 0;     // the last DWORD argument

    std::string Brief() const;  // "ApplyChanges(1)", "SetWallpaper(C:\x.bmp)", ...
};

class FakeActiveDesktop : public IActiveDesktop {
public:
    FakeActiveDesktop() = default;
    virtual ~FakeActiveDesktop() = default;

    // State the shell would hold.
    BOOL activeDesktop = FALSE;
    BOOL enableComponents = TRUE;
    DWORD style = WPSTYLE_CENTER;
    std::wstring wallpaper;
    BOOL writeRegistryOnApply = TRUE;

    // The object's calls, and the side effects the tests' hooks log in
    // between (see EngineTestEnv.h).
    std::vector<AdCall> calls;
    // Number of calls of the object so far (side effects not counted).
    int adCalls = 0;
    // Index (0-based, counting the object's calls only) of the call that
    // fails with E_FAIL; -1 for none.
    int failAt = -1;
    LONG references = 1;

    std::vector<std::string> Briefs() const;
    void Clear()
    {
        calls.clear();
        adCalls = 0;
    }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references)); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(InterlockedDecrement(&references)); }

    // IActiveDesktop
    STDMETHODIMP ApplyChanges(DWORD flags) override;
    STDMETHODIMP GetWallpaper(PWSTR wallpaper, UINT capacity, DWORD flags) override;
    STDMETHODIMP SetWallpaper(PCWSTR wallpaper, DWORD reserved) override;
    STDMETHODIMP GetWallpaperOptions(LPWALLPAPEROPT options, DWORD reserved) override;
    STDMETHODIMP SetWallpaperOptions(LPCWALLPAPEROPT options, DWORD reserved) override;
    STDMETHODIMP GetPattern(PWSTR, UINT, DWORD) override { return Unexpected("GetPattern"); }
    STDMETHODIMP SetPattern(PCWSTR, DWORD) override { return Unexpected("SetPattern"); }
    STDMETHODIMP GetDesktopItemOptions(LPCOMPONENTSOPT options, DWORD reserved) override;
    STDMETHODIMP SetDesktopItemOptions(LPCCOMPONENTSOPT options, DWORD reserved) override;
    STDMETHODIMP AddDesktopItem(LPCCOMPONENT, DWORD) override { return Unexpected("AddDesktopItem"); }
    STDMETHODIMP AddDesktopItemWithUI(HWND, LPCOMPONENT, DWORD) override { return Unexpected("AddDesktopItemWithUI"); }
    STDMETHODIMP ModifyDesktopItem(LPCCOMPONENT, DWORD) override { return Unexpected("ModifyDesktopItem"); }
    STDMETHODIMP RemoveDesktopItem(LPCCOMPONENT, DWORD) override { return Unexpected("RemoveDesktopItem"); }
    STDMETHODIMP GetDesktopItemCount(int*, DWORD) override { return Unexpected("GetDesktopItemCount"); }
    STDMETHODIMP GetDesktopItem(int, LPCOMPONENT, DWORD) override { return Unexpected("GetDesktopItem"); }
    STDMETHODIMP GetDesktopItemByID(ULONG_PTR, LPCOMPONENT, DWORD) override { return Unexpected("GetDesktopItemByID"); }
    STDMETHODIMP GenerateDesktopItemHtml(PCWSTR, LPCOMPONENT, DWORD) override { return Unexpected("GenerateDesktopItemHtml"); }
    STDMETHODIMP AddUrl(HWND, PCWSTR, LPCOMPONENT, DWORD) override { return Unexpected("AddUrl"); }
    STDMETHODIMP GetDesktopItemBySource(PCWSTR, LPCOMPONENT, DWORD) override { return Unexpected("GetDesktopItemBySource"); }

private:
    // Logs the call; E_FAIL when it is the one chosen to fail.
    HRESULT Record(const AdCall& call);
    HRESULT Unexpected(const char* method);
};

// UTF-16 text of an ANSI string and back, for comparing wallpaper paths.
std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);

}  // namespace tpx::test
