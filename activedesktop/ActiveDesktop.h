// CActiveDesktop: one Active Desktop object (IActiveDesktop) as the shell
// hands it out.  Each object starts from the state the shell saved and then
// keeps its own wallpaper and style until ApplyChanges saves them; the
// desktop item options are the shell's and are read and written at once.
#pragma once

#include <windows.h>
#include <wininet.h>
#include <shlobj.h>

class CActiveDesktop final : public IActiveDesktop {
public:
    // A new object answering `riid` in *ppv.
    static HRESULT Create(REFIID riid, void** ppv);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IActiveDesktop
    STDMETHODIMP ApplyChanges(DWORD dwFlags) override;
    STDMETHODIMP GetWallpaper(PWSTR pwszWallpaper, UINT cchWallpaper, DWORD dwFlags) override;
    STDMETHODIMP SetWallpaper(PCWSTR pwszWallpaper, DWORD dwReserved) override;
    STDMETHODIMP GetWallpaperOptions(LPWALLPAPEROPT pwpo, DWORD dwReserved) override;
    STDMETHODIMP SetWallpaperOptions(LPCWALLPAPEROPT pwpo, DWORD dwReserved) override;
    STDMETHODIMP GetPattern(PWSTR pwszPattern, UINT cchPattern, DWORD dwReserved) override;
    STDMETHODIMP SetPattern(PCWSTR pwszPattern, DWORD dwReserved) override;
    STDMETHODIMP GetDesktopItemOptions(LPCOMPONENTSOPT pco, DWORD dwReserved) override;
    STDMETHODIMP SetDesktopItemOptions(LPCCOMPONENTSOPT pco, DWORD dwReserved) override;
    STDMETHODIMP AddDesktopItem(LPCCOMPONENT pcomp, DWORD dwReserved) override;
    STDMETHODIMP AddDesktopItemWithUI(HWND hwnd, LPCOMPONENT pcomp, DWORD dwReserved) override;
    STDMETHODIMP ModifyDesktopItem(LPCCOMPONENT pcomp, DWORD dwFlags) override;
    STDMETHODIMP RemoveDesktopItem(LPCCOMPONENT pcomp, DWORD dwReserved) override;
    STDMETHODIMP GetDesktopItemCount(int* pcItems, DWORD dwReserved) override;
    STDMETHODIMP GetDesktopItem(int nComponent, LPCOMPONENT pcomp, DWORD dwReserved) override;
    STDMETHODIMP GetDesktopItemByID(ULONG_PTR dwID, LPCOMPONENT pcomp, DWORD dwReserved) override;
    STDMETHODIMP GenerateDesktopItemHtml(PCWSTR pwszFileName, LPCOMPONENT pcomp, DWORD dwReserved) override;
    STDMETHODIMP AddUrl(HWND hwnd, PCWSTR pszSource, LPCOMPONENT pcomp, DWORD dwFlags) override;
    STDMETHODIMP GetDesktopItemBySource(PCWSTR pwszSource, LPCOMPONENT pcomp, DWORD dwReserved) override;

private:
    CActiveDesktop();
    ~CActiveDesktop();
    CActiveDesktop(const CActiveDesktop&) = delete;
    CActiveDesktop& operator=(const CActiveDesktop&) = delete;

    LONG m_nRefs = 1;
    WCHAR m_strWallpaper[MAX_PATH];  // set or applied by this object; shorter than MAX_PATH
    DWORD m_nStyle;                  // WPSTYLE_*
};
