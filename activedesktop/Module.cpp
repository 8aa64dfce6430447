// Entry points of the in-process server: the class object of
// CLSID_ActiveDesktop and the registration that makes COM load this DLL for
// it instead of the stub Wine registers.
#include "activedesktop/Module.h"

#include "activedesktop/ActiveDesktop.h"
#include "activedesktop/Registry.h"

#include <cwchar>
#include <new>

namespace activedesktop {

namespace {

HMODULE g_hModule;
LONG g_nLocks;  // live objects, class objects and LockServer(TRUE) calls

const WCHAR kThreadingModel[] = L"Apartment";

// HKLM\Software\Classes\CLSID\{...}\InprocServer32: COM in Wine reads only the
// machine's classes.
bool GetServerKeyName(LPWSTR name, size_t cch)
{
    WCHAR clsid[40];
    if (!StringFromGUID2(CLSID_ActiveDesktop, clsid, 40))
        return false;
    return swprintf(name, cch, L"Software\\Classes\\CLSID\\%ls\\InprocServer32", clsid) > 0;
}

bool GetOwnPath(LPWSTR path)
{
    const DWORD n = GetModuleFileNameW(g_hModule, path, MAX_PATH);
    return n > 0 && n < MAX_PATH;
}

class CClassFactory final : public IClassFactory {
public:
    CClassFactory() { ModuleLock(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_nRefs)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG refs = InterlockedDecrement(&m_nRefs);
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return CActiveDesktop::Create(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        if (lock)
            ModuleLock();
        else
            ModuleUnlock();
        return S_OK;
    }

private:
    ~CClassFactory() { ModuleUnlock(); }

    LONG m_nRefs = 1;
};

}  // namespace

void ModuleLock()
{
    InterlockedIncrement(&g_nLocks);
}

void ModuleUnlock()
{
    InterlockedDecrement(&g_nLocks);
}

}  // namespace activedesktop

using namespace activedesktop;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_hModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, CLSID_ActiveDesktop))
        return CLASS_E_CLASSNOTAVAILABLE;
    CClassFactory* factory = new (std::nothrow) CClassFactory;
    if (!factory)
        return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

STDAPI DllCanUnloadNow()
{
    return g_nLocks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer()
{
    WCHAR keyName[128], path[MAX_PATH];
    if (!GetServerKeyName(keyName, 128) || !GetOwnPath(path))
        return E_UNEXPECTED;
    CRegKeyHandle key;
    LONG rc = CreateKey(HKEY_LOCAL_MACHINE, keyName, &key, KEY_WRITE);
    if (rc == ERROR_SUCCESS)
        rc = SetString(key.Get(), nullptr, path);
    if (rc == ERROR_SUCCESS)
        rc = SetString(key.Get(), L"ThreadingModel", kThreadingModel);
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

STDAPI DllUnregisterServer()
{
    WCHAR keyName[128], path[MAX_PATH], registered[MAX_PATH + 1];
    if (!GetServerKeyName(keyName, 128) || !GetOwnPath(path))
        return E_UNEXPECTED;
    CRegKeyHandle key;
    if (OpenKey(HKEY_LOCAL_MACHINE, keyName, &key, KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        return S_OK;
    // Somebody else's server stays registered.
    if (!QueryString(key.Get(), nullptr, registered, MAX_PATH + 1) || lstrcmpiW(registered, path) != 0)
        return S_OK;
    const LONG rc = RegDeleteValueW(key.Get(), nullptr);
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}
