#include "engine/WallpaperChanger.h"

#include <cstdlib>
#include <ctime>

CWallpaperChanger::CWallpaperChanger() : m_pActiveDesktop(nullptr)
{
    // The random choice of the selection relies on this one seeding.
    srand(static_cast<unsigned>(time(nullptr)));
}

CWallpaperChanger::~CWallpaperChanger()
{
    Shutdown();
}

BOOL CWallpaperChanger::Initialize()
{
    // S_FALSE (COM already initialised on this thread) counts as failure too.
    if (CoInitialize(nullptr) != S_OK)
        return FALSE;
    return CoCreateInstance(CLSID_ActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveDesktop,
                            reinterpret_cast<void**>(&m_pActiveDesktop)) == S_OK;
}

void CWallpaperChanger::Shutdown()
{
    if (m_pActiveDesktop) {
        m_pActiveDesktop->Release();
        m_pActiveDesktop = nullptr;
    }
    CoUninitialize();
}

BOOL CWallpaperChanger::Attach(IActiveDesktop* activeDesktop)
{
    if (activeDesktop)
        activeDesktop->AddRef();
    if (m_pActiveDesktop)
        m_pActiveDesktop->Release();
    m_pActiveDesktop = activeDesktop;
    return m_pActiveDesktop != nullptr;
}

BOOL CWallpaperChanger::IsActiveDesktopEnabled()
{
    if (!m_pActiveDesktop)
        return FALSE;
    COMPONENTSOPT options = {};
    options.dwSize = sizeof options;
    if (FAILED(m_pActiveDesktop->GetDesktopItemOptions(&options, 0)))
        return FALSE;
    return options.fActiveDesktop;
}
