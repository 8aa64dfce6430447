#include "activedesktop/ActiveDesktop.h"

#include "activedesktop/DesktopState.h"
#include "activedesktop/Module.h"

#include <cwchar>
#include <new>

using namespace activedesktop;

HRESULT CActiveDesktop::Create(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    CActiveDesktop* object = new (std::nothrow) CActiveDesktop;
    if (!object)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

CActiveDesktop::CActiveDesktop()
{
    ModuleLock();
    ReadSavedWallpaper(m_strWallpaper, &m_nStyle);
}

CActiveDesktop::~CActiveDesktop()
{
    ModuleUnlock();
}

// ---------------------------------------------------------------- IUnknown

STDMETHODIMP CActiveDesktop::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IActiveDesktop)) {
        *ppv = static_cast<IActiveDesktop*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CActiveDesktop::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_nRefs));
}

STDMETHODIMP_(ULONG) CActiveDesktop::Release()
{
    const LONG refs = InterlockedDecrement(&m_nRefs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

// ---------------------------------------------------------------- wallpaper

STDMETHODIMP CActiveDesktop::ApplyChanges(DWORD dwFlags)
{
    // Saving shows what was saved; a refresh on its own shows the saved
    // state again.  There is no HTML to generate, and other bits mean nothing
    // here.
    if (dwFlags & AD_APPLY_SAVE)
        return SaveWallpaper(m_strWallpaper, m_nStyle);
    if (dwFlags & AD_APPLY_REFRESH)
        return ShowSavedWallpaper();
    return S_OK;
}

STDMETHODIMP CActiveDesktop::GetWallpaper(PWSTR pwszWallpaper, UINT cchWallpaper, DWORD /*dwFlags*/)
{
    if (!pwszWallpaper)
        return E_INVALIDARG;
    const size_t length = wcslen(m_strWallpaper);
    if (cchWallpaper <= length) {
        // Never a truncated path, which would name another file.
        if (cchWallpaper > 0)
            pwszWallpaper[0] = L'\0';
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    wmemcpy(pwszWallpaper, m_strWallpaper, length + 1);
    return S_OK;
}

STDMETHODIMP CActiveDesktop::SetWallpaper(PCWSTR pwszWallpaper, DWORD /*dwReserved*/)
{
    if (!pwszWallpaper)
        return E_INVALIDARG;
    const size_t length = wcsnlen(pwszWallpaper, MAX_PATH);
    if (length >= MAX_PATH)
        return E_INVALIDARG;
    wmemcpy(m_strWallpaper, pwszWallpaper, length + 1);
    return S_OK;
}

STDMETHODIMP CActiveDesktop::GetWallpaperOptions(LPWALLPAPEROPT pwpo, DWORD /*dwReserved*/)
{
    if (!pwpo || pwpo->dwSize != sizeof(WALLPAPEROPT))
        return E_INVALIDARG;
    pwpo->dwStyle = m_nStyle;
    return S_OK;
}

STDMETHODIMP CActiveDesktop::SetWallpaperOptions(LPCWALLPAPEROPT pwpo, DWORD /*dwReserved*/)
{
    if (!pwpo || pwpo->dwSize != sizeof(WALLPAPEROPT) || pwpo->dwStyle >= kStyleCount)
        return E_INVALIDARG;
    m_nStyle = pwpo->dwStyle;
    return S_OK;
}

STDMETHODIMP CActiveDesktop::GetPattern(PWSTR, UINT, DWORD)
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveDesktop::SetPattern(PCWSTR, DWORD)
{
    return E_NOTIMPL;
}

// ---------------------------------------------------------------- item options

STDMETHODIMP CActiveDesktop::GetDesktopItemOptions(LPCOMPONENTSOPT pco, DWORD /*dwReserved*/)
{
    if (!pco || pco->dwSize != sizeof(COMPONENTSOPT))
        return E_INVALIDARG;
    *pco = ReadItemOptions();
    return S_OK;
}

STDMETHODIMP CActiveDesktop::SetDesktopItemOptions(LPCCOMPONENTSOPT pco, DWORD /*dwReserved*/)
{
    if (!pco || pco->dwSize != sizeof(COMPONENTSOPT))
        return E_INVALIDARG;
    return WriteItemOptions(*pco);
}

// ---------------------------------------------------------------- desktop items
// Wine's desktop shows no items, so there are none to list or change.

STDMETHODIMP CActiveDesktop::AddDesktopItem(LPCCOMPONENT, DWORD)
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveDesktop::AddDesktopItemWithUI(HWND, LPCOMPONENT, DWORD)
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveDesktop::ModifyDesktopItem(LPCCOMPONENT, DWORD)
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveDesktop::RemoveDesktopItem(LPCCOMPONENT, DWORD)
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveDesktop::GetDesktopItemCount(int*, DWORD)
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveDesktop::GetDesktopItem(int, LPCOMPONENT, DWORD)
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveDesktop::GetDesktopItemByID(ULONG_PTR, LPCOMPONENT, DWORD)
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveDesktop::GenerateDesktopItemHtml(PCWSTR, LPCOMPONENT, DWORD)
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveDesktop::AddUrl(HWND, PCWSTR, LPCOMPONENT, DWORD)
{
    return E_NOTIMPL;
}

STDMETHODIMP CActiveDesktop::GetDesktopItemBySource(PCWSTR, LPCOMPONENT, DWORD)
{
    return E_NOTIMPL;
}
