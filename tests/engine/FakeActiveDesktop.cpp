#include "FakeActiveDesktop.h"

#include <cstdio>

#include "TestSupport.h"

namespace tpx::test {

std::wstring Wide(const std::string& text)
{
    const int count = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(count), L'\0');
    if (count > 0)
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &wide[0], count);
    return wide;
}

std::string Narrow(const std::wstring& text)
{
    const int count = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string narrow(static_cast<size_t>(count), '\0');
    if (count > 0)
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &narrow[0], count, nullptr,
                            nullptr);
    return narrow;
}

std::string AdCall::Brief() const
{
    char buffer[64];
    if (method == "ApplyChanges") {
        std::snprintf(buffer, sizeof buffer, "ApplyChanges(%lu)", static_cast<unsigned long>(value));
        return buffer;
    }
    if (method == "SetWallpaper")
        return "SetWallpaper(" + Narrow(text) + ")";
    if (method == "SetDesktopItemOptions") {
        std::snprintf(buffer, sizeof buffer, "SetDesktopItemOptions(%lu,%d,%d)", static_cast<unsigned long>(size),
                      enableComponents, activeDesktop);
        return buffer;
    }
    if (method == "GetDesktopItemOptions" || method == "GetWallpaperOptions") {
        std::snprintf(buffer, sizeof buffer, "%s(%lu)", method.c_str(), static_cast<unsigned long>(size));
        return buffer;
    }
    if (method == "SetWallpaperOptions") {
        std::snprintf(buffer, sizeof buffer, "SetWallpaperOptions(%lu,%lu)", static_cast<unsigned long>(size),
                      static_cast<unsigned long>(value));
        return buffer;
    }
    if (method == "PlaySoundA") {
        std::snprintf(buffer, sizeof buffer, "PlaySoundA(%lu,0x%lX,%s)", static_cast<unsigned long>(size),
                      static_cast<unsigned long>(value), Narrow(text).c_str());
        return buffer;
    }
    if (method == "SetTimer") {
        std::snprintf(buffer, sizeof buffer, "SetTimer(%lu,%lu%s)", static_cast<unsigned long>(size),
                      static_cast<unsigned long>(value), text.empty() ? "" : ",proc");
        return buffer;
    }
    if (method == "KillTimer") {
        std::snprintf(buffer, sizeof buffer, "KillTimer(%lu)", static_cast<unsigned long>(size));
        return buffer;
    }
    if (method == "PostCommand") {
        std::snprintf(buffer, sizeof buffer, "PostCommand(%lu,%lu)", static_cast<unsigned long>(value),
                      static_cast<unsigned long>(size));
        return buffer;
    }
    if (method == "ShowWindow") {
        std::snprintf(buffer, sizeof buffer, "ShowWindow(%lu)", static_cast<unsigned long>(value));
        return buffer;
    }
    if (method == "GetWallpaper") {
        std::snprintf(buffer, sizeof buffer, "GetWallpaper(%lu)", static_cast<unsigned long>(value));
        return buffer;
    }
    return method;
}

std::vector<std::string> FakeActiveDesktop::Briefs() const
{
    std::vector<std::string> result;
    for (const AdCall& call : calls)
        result.push_back(call.Brief());
    return result;
}

HRESULT FakeActiveDesktop::Record(const AdCall& call)
{
    calls.push_back(call);
    return adCalls++ == failAt ? E_FAIL : S_OK;
}

HRESULT FakeActiveDesktop::Unexpected(const char* method)
{
    AdCall call;
    call.method = method;
    calls.push_back(call);
    return E_NOTIMPL;
}

STDMETHODIMP FakeActiveDesktop::QueryInterface(REFIID riid, void** ppv)
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

STDMETHODIMP FakeActiveDesktop::ApplyChanges(DWORD flags)
{
    AdCall call;
    call.method = "ApplyChanges";
    call.value = flags;
    const HRESULT result = Record(call);
    if (SUCCEEDED(result) && (flags & AD_APPLY_SAVE) && writeRegistryOnApply) {
        SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", Narrow(wallpaper));
        if (!activeDesktop)
            SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", Narrow(wallpaper));
    }
    return result;
}

STDMETHODIMP FakeActiveDesktop::GetWallpaper(PWSTR text, UINT capacity, DWORD flags)
{
    AdCall call;
    call.method = "GetWallpaper";
    call.value = capacity;
    call.reserved = flags;
    const HRESULT result = Record(call);
    if (FAILED(result))
        return result;
    if (!text || capacity == 0)
        return E_INVALIDARG;
    lstrcpynW(text, wallpaper.c_str(), static_cast<int>(capacity));
    return S_OK;
}

STDMETHODIMP FakeActiveDesktop::SetWallpaper(PCWSTR text, DWORD reserved)
{
    AdCall call;
    call.method = "SetWallpaper";
    call.text = text ? text : L"(null)";
    call.reserved = reserved;
    const HRESULT result = Record(call);
    if (SUCCEEDED(result))
        wallpaper = text ? text : L"";
    return result;
}

STDMETHODIMP FakeActiveDesktop::GetWallpaperOptions(LPWALLPAPEROPT options, DWORD reserved)
{
    AdCall call;
    call.method = "GetWallpaperOptions";
    call.size = options ? options->dwSize : 0;
    call.reserved = reserved;
    const HRESULT result = Record(call);
    if (FAILED(result))
        return result;
    if (!options || options->dwSize != sizeof(WALLPAPEROPT))
        return E_INVALIDARG;
    options->dwStyle = style;
    return S_OK;
}

STDMETHODIMP FakeActiveDesktop::SetWallpaperOptions(LPCWALLPAPEROPT options, DWORD reserved)
{
    AdCall call;
    call.method = "SetWallpaperOptions";
    call.size = options ? options->dwSize : 0;
    call.value = options ? options->dwStyle : 0;
    call.reserved = reserved;
    const HRESULT result = Record(call);
    if (FAILED(result))
        return result;
    if (!options || options->dwSize != sizeof(WALLPAPEROPT))
        return E_INVALIDARG;
    style = options->dwStyle;
    return S_OK;
}

STDMETHODIMP FakeActiveDesktop::GetDesktopItemOptions(LPCOMPONENTSOPT options, DWORD reserved)
{
    AdCall call;
    call.method = "GetDesktopItemOptions";
    call.size = options ? options->dwSize : 0;
    call.reserved = reserved;
    const HRESULT result = Record(call);
    if (FAILED(result))
        return result;
    if (!options || options->dwSize != sizeof(COMPONENTSOPT))
        return E_INVALIDARG;
    options->fActiveDesktop = activeDesktop;
    options->fEnableComponents = enableComponents;
    return S_OK;
}

STDMETHODIMP FakeActiveDesktop::SetDesktopItemOptions(LPCCOMPONENTSOPT options, DWORD reserved)
{
    AdCall call;
    call.method = "SetDesktopItemOptions";
    call.size = options ? options->dwSize : 0;
    call.activeDesktop = options ? options->fActiveDesktop : FALSE;
    call.enableComponents = options ? options->fEnableComponents : FALSE;
    call.reserved = reserved;
    const HRESULT result = Record(call);
    if (FAILED(result))
        return result;
    if (!options || options->dwSize != sizeof(COMPONENTSOPT))
        return E_INVALIDARG;
    activeDesktop = options->fActiveDesktop;
    enableComponents = options->fEnableComponents;
    return S_OK;
}

}  // namespace tpx::test
