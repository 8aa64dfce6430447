// The Active Desktop object as COM hands it out in the test prefix: that it
// is this DLL's, its identity and lifetime, its argument checks, each
// object's own pending state, the shell's desktop item options, and what it
// makes of odd registry values.
#include "AdTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace tpx::test;

namespace {

const char kServerKey[] = "Software\\Classes\\CLSID\\{75048700-EF1F-11D0-9888-006097DEACF9}\\InprocServer32";
const HRESULT kBufferTooSmall = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);

std::string ProviderPath()
{
    return ExeDir() + "\\tpxactivedesktop.dll";
}

std::wstring GetWallpaper(IActiveDesktop* desktop)
{
    WCHAR buffer[MAX_PATH] = {};
    if (FAILED(desktop->GetWallpaper(buffer, MAX_PATH, 0)))
        return L"<failed>";
    return buffer;
}

DWORD GetStyle(IActiveDesktop* desktop)
{
    WALLPAPEROPT options{};
    options.dwSize = sizeof options;
    return SUCCEEDED(desktop->GetWallpaperOptions(&options, 0)) ? options.dwStyle : 0xFFFFFFFF;
}

HRESULT SetStyle(IActiveDesktop* desktop, DWORD style)
{
    WALLPAPEROPT options{};
    options.dwSize = sizeof options;
    options.dwStyle = style;
    return desktop->SetWallpaperOptions(&options, 0);
}

COMPONENTSOPT GetItemOptions(IActiveDesktop* desktop)
{
    COMPONENTSOPT options{};
    options.dwSize = sizeof options;
    EXPECT_EQ(S_OK, desktop->GetDesktopItemOptions(&options, 0));
    return options;
}

// Runs ad_child with `args`; its exit code, or -1 if it did not end.
int RunChild(const std::string& args)
{
    ChildProcess child;
    if (!child.Start(ExeDir() + "\\ad_child.exe", args))
        return -1;
    DWORD code = 0;
    return child.WaitExit(30000, &code) ? static_cast<int>(code) : -1;
}

using DllCanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();
using DllRegisterFn = HRESULT(STDAPICALLTYPE*)();

class ProviderTest : public ::testing::Test {
protected:
    ComScope m_com;
    DesktopScope m_desktop;
};

// ---------------------------------------------------------------- activation

TEST_F(ProviderTest, ActivationLoadsThisDllWhichAnswersEveryCall)
{
    HRESULT hr = E_FAIL;
    CComPtr<IActiveDesktop> desktop = CreateActiveDesktop(&hr);
    ASSERT_EQ(S_OK, hr) << "CoCreateInstance(CLSID_ActiveDesktop)";

    HMODULE module = GetModuleHandleA("tpxactivedesktop.dll");
    ASSERT_NE(nullptr, module) << "COM loaded some other server (Wine's own stub?)";
    char loaded[MAX_PATH] = {};
    GetModuleFileNameA(module, loaded, MAX_PATH);
    EXPECT_EQ(0, lstrcmpiA(loaded, ProviderPath().c_str())) << loaded;
    const auto registered = GetRegString(HKEY_LOCAL_MACHINE, kServerKey, "");
    ASSERT_TRUE(registered.has_value());
    EXPECT_EQ(0, lstrcmpiA(registered->c_str(), ProviderPath().c_str())) << *registered;
    EXPECT_EQ("Apartment", GetRegString(HKEY_LOCAL_MACHINE, kServerKey, "ThreadingModel").value_or(""));

    // Wine's stub answers E_NOTIMPL to all of these.
    WCHAR wallpaper[MAX_PATH];
    EXPECT_EQ(S_OK, desktop->GetWallpaper(wallpaper, MAX_PATH, 0));
    WALLPAPEROPT wallpaperOptions{sizeof wallpaperOptions, 0};
    EXPECT_EQ(S_OK, desktop->GetWallpaperOptions(&wallpaperOptions, 0));
    COMPONENTSOPT itemOptions{};
    itemOptions.dwSize = sizeof itemOptions;
    EXPECT_EQ(S_OK, desktop->GetDesktopItemOptions(&itemOptions, 0));
    EXPECT_EQ(S_OK, desktop->ApplyChanges(AD_APPLY_HTMLGEN));
}

TEST_F(ProviderTest, AnswersOnlyItsOwnInterfacesAndRefusesAggregation)
{
    CComPtr<IActiveDesktop> desktop = CreateActiveDesktop();
    ASSERT_TRUE(desktop);

    IUnknown* unknown = nullptr;
    ASSERT_EQ(S_OK, desktop->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    IActiveDesktop* again = nullptr;
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IActiveDesktop, reinterpret_cast<void**>(&again)));
    EXPECT_EQ(static_cast<IUnknown*>(desktop.Get()), unknown);
    EXPECT_EQ(desktop.Get(), again);
    again->Release();
    unknown->Release();

    for (const IID* iid : {&IID_IClassFactory, &IID_IPersist, &IID_IDispatch, &IID_IShellFolder}) {
        void* p = reinterpret_cast<void*>(0x1234);
        EXPECT_EQ(E_NOINTERFACE, desktop->QueryInterface(*iid, &p));
        EXPECT_EQ(nullptr, p);
    }
    EXPECT_EQ(E_POINTER, desktop->QueryInterface(IID_IUnknown, nullptr));

    // Each reference counts, and the count is the object's own.
    EXPECT_EQ(2u, desktop->AddRef());
    EXPECT_EQ(1u, desktop->Release());

    IUnknown* inner = reinterpret_cast<IUnknown*>(0x1234);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, CoCreateInstance(CLSID_ActiveDesktop, desktop.Get(), CLSCTX_INPROC_SERVER,
                                                      IID_IUnknown, reinterpret_cast<void**>(&inner)));
    EXPECT_EQ(nullptr, inner);
}

TEST_F(ProviderTest, ClassObjectMakesSeparateObjectsAndKeepsTheDllWhileInUse)
{
    CComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, CoGetClassObject(CLSID_ActiveDesktop, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                     reinterpret_cast<void**>(&factory)));
    HMODULE module = GetModuleHandleA("tpxactivedesktop.dll");
    ASSERT_NE(nullptr, module);
    auto canUnload = reinterpret_cast<DllCanUnloadNowFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    ASSERT_NE(nullptr, canUnload);
    EXPECT_EQ(S_FALSE, canUnload()) << "a class object is held";

    CComPtr<IActiveDesktop> first, second;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IActiveDesktop, reinterpret_cast<void**>(&first)));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IActiveDesktop, reinterpret_cast<void**>(&second)));
    EXPECT_NE(first.Get(), second.Get());
    void* none = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &none));
    EXPECT_EQ(nullptr, none);

    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory.Release();
    first.Release();
    second.Release();
    EXPECT_EQ(S_FALSE, canUnload()) << "the server is locked";
    // The lock is the module's, not the class object's: any class object unlocks it.
    ASSERT_EQ(S_OK, CoGetClassObject(CLSID_ActiveDesktop, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                     reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory.Release();
    EXPECT_EQ(S_OK, canUnload());
}

TEST_F(ProviderTest, UnregisteringRemovesOnlyItsOwnEntryAndRegisteringRestoresIt)
{
    ValueSnapshot server(HKEY_LOCAL_MACHINE, kServerKey);
    HMODULE module = LoadLibraryA(ProviderPath().c_str());
    ASSERT_NE(nullptr, module);
    auto registerServer = reinterpret_cast<DllRegisterFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
    auto unregisterServer = reinterpret_cast<DllRegisterFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")));
    ASSERT_NE(nullptr, registerServer);
    ASSERT_NE(nullptr, unregisterServer);

    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, kServerKey, "", "C:\\windows\\system32\\other.dll"));
    EXPECT_EQ(S_OK, unregisterServer());
    EXPECT_EQ("C:\\windows\\system32\\other.dll", GetRegString(HKEY_LOCAL_MACHINE, kServerKey, "").value_or(""));

    EXPECT_EQ(S_OK, registerServer());
    EXPECT_EQ(0, lstrcmpiA(GetRegString(HKEY_LOCAL_MACHINE, kServerKey, "").value_or("").c_str(),
                           ProviderPath().c_str()));
    EXPECT_EQ("Apartment", GetRegString(HKEY_LOCAL_MACHINE, kServerKey, "ThreadingModel").value_or(""));

    EXPECT_EQ(S_OK, unregisterServer());
    EXPECT_FALSE(GetRegString(HKEY_LOCAL_MACHINE, kServerKey, "").has_value());
    EXPECT_EQ(S_OK, registerServer());
    FreeLibrary(module);
}

// ---------------------------------------------------------------- wallpaper and options

TEST_F(ProviderTest, PendingWallpaperAndStyleBelongToOneObjectUntilApplied)
{
    SetRegString(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper", "C:\\windows\\before.bmp");
    SetRegString(HKEY_CURRENT_USER, kDesktopKey, "WallpaperStyle", "0");
    SetRegString(HKEY_CURRENT_USER, kDesktopKey, "TileWallpaper", "1");
    ASSERT_TRUE(SetActiveDesktop(false));

    CComPtr<IActiveDesktop> first = CreateActiveDesktop();
    CComPtr<IActiveDesktop> second = CreateActiveDesktop();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(L"C:\\windows\\before.bmp", GetWallpaper(first.Get()));
    EXPECT_EQ(static_cast<DWORD>(WPSTYLE_TILE), GetStyle(first.Get()));

    EXPECT_EQ(S_OK, first->SetWallpaper(L"C:\\windows\\pending.bmp", 0));
    EXPECT_EQ(S_OK, SetStyle(first.Get(), WPSTYLE_STRETCH));
    EXPECT_EQ(L"C:\\windows\\pending.bmp", GetWallpaper(first.Get()));
    EXPECT_EQ(static_cast<DWORD>(WPSTYLE_STRETCH), GetStyle(first.Get()));

    EXPECT_EQ(L"C:\\windows\\before.bmp", GetWallpaper(second.Get()));
    EXPECT_EQ(static_cast<DWORD>(WPSTYLE_TILE), GetStyle(second.Get()));
    CComPtr<IActiveDesktop> third = CreateActiveDesktop();
    EXPECT_EQ(L"C:\\windows\\before.bmp", GetWallpaper(third.Get()));
    // Nothing was saved.
    EXPECT_EQ("C:\\windows\\before.bmp", GetRegString(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper").value_or(""));
    EXPECT_EQ("1", GetRegString(HKEY_CURRENT_USER, kDesktopKey, "TileWallpaper").value_or(""));
}

TEST_F(ProviderTest, GetWallpaperNeverWritesPastTheBuffer)
{
    CComPtr<IActiveDesktop> desktop = CreateActiveDesktop();
    ASSERT_TRUE(desktop);
    const std::wstring path = L"C:\\Wallpapers\\Autumn\\leaves.bmp";
    ASSERT_EQ(S_OK, desktop->SetWallpaper(path.c_str(), 0));
    const UINT length = static_cast<UINT>(path.size());
    const WCHAR guard = 0xBEEF;
    WCHAR buffer[64];

    // Exactly the length plus the NUL: fits.
    wmemset(buffer, guard, 64);
    EXPECT_EQ(S_OK, desktop->GetWallpaper(buffer, length + 1, 0));
    EXPECT_EQ(path, std::wstring(buffer));
    for (UINT i = length + 1; i < 64; ++i)
        ASSERT_EQ(guard, buffer[i]) << "written at " << i;

    // One less: fails, leaves an empty string rather than a truncated path.
    wmemset(buffer, guard, 64);
    EXPECT_EQ(kBufferTooSmall, desktop->GetWallpaper(buffer, length, 0));
    EXPECT_EQ(L'\0', buffer[0]);
    for (UINT i = 1; i < 64; ++i)
        ASSERT_EQ(guard, buffer[i]) << "written at " << i;

    wmemset(buffer, guard, 64);
    EXPECT_EQ(kBufferTooSmall, desktop->GetWallpaper(buffer, 0, 0));
    EXPECT_EQ(guard, buffer[0]);
    EXPECT_EQ(E_INVALIDARG, desktop->GetWallpaper(nullptr, MAX_PATH, 0));

    // No wallpaper needs only the NUL.
    ASSERT_EQ(S_OK, desktop->SetWallpaper(L"", 0));
    wmemset(buffer, guard, 64);
    EXPECT_EQ(S_OK, desktop->GetWallpaper(buffer, 1, 0));
    EXPECT_EQ(L'\0', buffer[0]);
    EXPECT_EQ(guard, buffer[1]);
}

TEST_F(ProviderTest, SetWallpaperTakesPathsUpToMaxPathAndRefusesTheRest)
{
    CComPtr<IActiveDesktop> desktop = CreateActiveDesktop();
    ASSERT_TRUE(desktop);
    EXPECT_EQ(E_INVALIDARG, desktop->SetWallpaper(nullptr, 0));

    const std::wstring longest = L"C:\\" + std::wstring(MAX_PATH - 1 - 3 - 4, L'a') + L".bmp";  // 259
    ASSERT_EQ(static_cast<size_t>(MAX_PATH - 1), longest.size());
    EXPECT_EQ(S_OK, desktop->SetWallpaper(longest.c_str(), 0));
    EXPECT_EQ(longest, GetWallpaper(desktop.Get()));

    const std::wstring tooLong = longest + L"x";
    EXPECT_EQ(E_INVALIDARG, desktop->SetWallpaper(tooLong.c_str(), 0));
    EXPECT_EQ(longest, GetWallpaper(desktop.Get())) << "a refused path leaves the wallpaper alone";
    const std::wstring huge(100000, L'b');
    EXPECT_EQ(E_INVALIDARG, desktop->SetWallpaper(huge.c_str(), 0));
}

TEST_F(ProviderTest, WallpaperOptionsCheckSizeAndStyle)
{
    CComPtr<IActiveDesktop> desktop = CreateActiveDesktop();
    ASSERT_TRUE(desktop);
    for (DWORD style = 0; style < 6; ++style) {
        EXPECT_EQ(S_OK, SetStyle(desktop.Get(), style)) << style;
        EXPECT_EQ(style, GetStyle(desktop.Get()));
    }
    ASSERT_EQ(S_OK, SetStyle(desktop.Get(), WPSTYLE_TILE));
    EXPECT_EQ(E_INVALIDARG, SetStyle(desktop.Get(), 6));
    EXPECT_EQ(E_INVALIDARG, SetStyle(desktop.Get(), 0xFFFFFFFF));
    EXPECT_EQ(static_cast<DWORD>(WPSTYLE_TILE), GetStyle(desktop.Get()));

    EXPECT_EQ(E_INVALIDARG, desktop->SetWallpaperOptions(nullptr, 0));
    EXPECT_EQ(E_INVALIDARG, desktop->GetWallpaperOptions(nullptr, 0));
    for (DWORD size : {0u, 4u, 12u}) {
        WALLPAPEROPT options{size, WPSTYLE_STRETCH};
        EXPECT_EQ(E_INVALIDARG, desktop->SetWallpaperOptions(&options, 0)) << size;
        EXPECT_EQ(E_INVALIDARG, desktop->GetWallpaperOptions(&options, 0)) << size;
        EXPECT_EQ(static_cast<DWORD>(WPSTYLE_STRETCH), options.dwStyle) << "a refused call writes nothing";
    }
    EXPECT_EQ(static_cast<DWORD>(WPSTYLE_TILE), GetStyle(desktop.Get()));
}

// ---------------------------------------------------------------- desktop item options

TEST_F(ProviderTest, DesktopItemOptionsAreTheShellsAtOnceInEveryObjectAndProcess)
{
    CComPtr<IActiveDesktop> early = CreateActiveDesktop();
    CComPtr<IActiveDesktop> setter = CreateActiveDesktop();
    ASSERT_TRUE(early && setter);

    COMPONENTSOPT options = GetItemOptions(setter.Get());
    options.fActiveDesktop = TRUE;
    options.fEnableComponents = FALSE;
    ASSERT_EQ(S_OK, setter->SetDesktopItemOptions(&options, 0));
    // No ApplyChanges: an object made before and one made after see it, and so does another process.
    EXPECT_TRUE(GetItemOptions(early.Get()).fActiveDesktop);
    EXPECT_FALSE(GetItemOptions(early.Get()).fEnableComponents);
    CComPtr<IActiveDesktop> late = CreateActiveDesktop();
    EXPECT_TRUE(GetItemOptions(late.Get()).fActiveDesktop);
    EXPECT_EQ(16 + 1, RunChild("options"));

    // And back, from the other process.
    EXPECT_EQ(0, RunChild("set-active 0"));
    EXPECT_FALSE(GetItemOptions(early.Get()).fActiveDesktop);
    EXPECT_FALSE(GetItemOptions(late.Get()).fEnableComponents) << "the other flag is kept";
    options = GetItemOptions(setter.Get());
    options.fEnableComponents = TRUE;
    ASSERT_EQ(S_OK, setter->SetDesktopItemOptions(&options, 0));
    EXPECT_EQ(16 + 2, RunChild("options"));
}

TEST_F(ProviderTest, DesktopItemOptionsCheckTheirSize)
{
    CComPtr<IActiveDesktop> desktop = CreateActiveDesktop();
    ASSERT_TRUE(desktop);
    EXPECT_EQ(E_INVALIDARG, desktop->GetDesktopItemOptions(nullptr, 0));
    EXPECT_EQ(E_INVALIDARG, desktop->SetDesktopItemOptions(nullptr, 0));
    ASSERT_TRUE(SetActiveDesktop(false));
    for (DWORD size : {0u, 8u, 16u}) {
        COMPONENTSOPT options{size, 7, 7};
        EXPECT_EQ(E_INVALIDARG, desktop->GetDesktopItemOptions(&options, 0)) << size;
        EXPECT_EQ(7, options.fActiveDesktop) << "a refused call writes nothing";
        options.fActiveDesktop = TRUE;
        EXPECT_EQ(E_INVALIDARG, desktop->SetDesktopItemOptions(&options, 0)) << size;
    }
    EXPECT_FALSE(GetItemOptions(desktop.Get()).fActiveDesktop);
}

TEST_F(ProviderTest, ActiveDesktopIsTheShellStateFlagAndTheRestOfItIsKept)
{
    // A ShellState as the shell writes it: byte count, then flags with other bits set.
    BYTE state[36] = {36, 0, 0, 0, 0x23, 0x08, 0x01, 0x00};
    for (int i = 8; i < 36; ++i)
        state[i] = static_cast<BYTE>(i);
    ASSERT_TRUE(SetRegBinary(HKEY_CURRENT_USER, kExplorerKey, "ShellState", REG_BINARY, state, sizeof state));
    CComPtr<IActiveDesktop> desktop = CreateActiveDesktop();
    ASSERT_TRUE(desktop);
    EXPECT_FALSE(GetItemOptions(desktop.Get()).fActiveDesktop);

    ASSERT_TRUE(SetActiveDesktop(true));
    auto readState = [] {
        HKEY key;
        std::string bytes(64, '\0');
        DWORD size = 64;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kExplorerKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            if (RegQueryValueExA(key, "ShellState", nullptr, nullptr, reinterpret_cast<BYTE*>(&bytes[0]), &size) !=
                ERROR_SUCCESS)
                size = 0;
            RegCloseKey(key);
        }
        bytes.resize(size);
        return bytes;
    };
    std::string expected(reinterpret_cast<const char*>(state), sizeof state);
    expected[4] = static_cast<char>(0x23 | 0x40);  // fDesktopHTML
    EXPECT_EQ(expected, readState());
    EXPECT_TRUE(GetItemOptions(desktop.Get()).fActiveDesktop);

    ASSERT_TRUE(SetActiveDesktop(false));
    expected[4] = 0x23;
    EXPECT_EQ(expected, readState());

    // A value the shell could not have written reads as off and is replaced whole.
    const BYTE broken[3] = {1, 2, 3};
    ASSERT_TRUE(SetRegBinary(HKEY_CURRENT_USER, kExplorerKey, "ShellState", REG_BINARY, broken, sizeof broken));
    EXPECT_FALSE(GetItemOptions(desktop.Get()).fActiveDesktop);
    ASSERT_TRUE(SetActiveDesktop(true));
    EXPECT_TRUE(GetItemOptions(desktop.Get()).fActiveDesktop);
    EXPECT_EQ(36u, readState().size());
    DeleteRegValue(HKEY_CURRENT_USER, kExplorerKey, "ShellState");
    EXPECT_FALSE(GetItemOptions(desktop.Get()).fActiveDesktop) << "no ShellState: Active Desktop off";
}

// ---------------------------------------------------------------- the saved state a new object starts from

TEST_F(ProviderTest, NewObjectReadsOddRegistryValuesSafely)
{
    ASSERT_TRUE(SetActiveDesktop(false));
    DeleteRegValue(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper");
    // A string without its terminating NUL.
    const char unterminated[] = {'C', ':', '\\', 'a', '.', 'b', 'm', 'p'};
    ASSERT_TRUE(SetRegBinary(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper", REG_SZ, unterminated,
                             sizeof unterminated));
    EXPECT_EQ(L"C:\\a.bmp", GetWallpaper(CreateActiveDesktop().Get()));

    // Longer than any path: no wallpaper rather than a cut one.
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper", "C:\\" + std::string(400, 'x')));
    EXPECT_EQ(L"", GetWallpaper(CreateActiveDesktop().Get()));
    const std::string exactly259 = "C:\\" + std::string(256, 'y');
    ASSERT_TRUE(SetRegString(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper", exactly259));
    EXPECT_EQ(Wide(exactly259), GetWallpaper(CreateActiveDesktop().Get()));

    // Not a string at all.
    ASSERT_TRUE(SetRegDword(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper", 0x41414141));
    EXPECT_EQ(L"", GetWallpaper(CreateActiveDesktop().Get()));

    // Styles: the shell's text, a DWORD, and rubbish.
    struct Case {
        const char* style;
        const char* tile;
        DWORD expected;
    } cases[] = {
        {"2", "0", WPSTYLE_STRETCH}, {"0", "1", WPSTYLE_TILE}, {"2", "1", WPSTYLE_TILE},
        {"6", "0", 3},               {"10", "0", 4},           {"22", "0", 5},
        {"0", "0", WPSTYLE_CENTER},  {"abc", "x", WPSTYLE_CENTER}, {"99999999999", "0", WPSTYLE_CENTER},
    };
    for (const Case& c : cases) {
        SetRegString(HKEY_CURRENT_USER, kDesktopKey, "WallpaperStyle", c.style);
        SetRegString(HKEY_CURRENT_USER, kDesktopKey, "TileWallpaper", c.tile);
        EXPECT_EQ(c.expected, GetStyle(CreateActiveDesktop().Get())) << c.style << "/" << c.tile;
    }
    SetRegDword(HKEY_CURRENT_USER, kDesktopKey, "WallpaperStyle", 2);
    SetRegDword(HKEY_CURRENT_USER, kDesktopKey, "TileWallpaper", 0);
    EXPECT_EQ(static_cast<DWORD>(WPSTYLE_STRETCH), GetStyle(CreateActiveDesktop().Get()));
}

TEST_F(ProviderTest, NewObjectStartsFromTheWallpaperOfTheDesktopThatIsOn)
{
    SetRegString(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper", "C:\\windows\\shown.bmp");
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", "C:\\web\\page.htm");
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", "C:\\windows\\backup.bmp");

    ASSERT_TRUE(SetActiveDesktop(false));
    EXPECT_EQ(L"C:\\windows\\shown.bmp", GetWallpaper(CreateActiveDesktop().Get()));
    ASSERT_TRUE(SetActiveDesktop(true));
    EXPECT_EQ(L"C:\\web\\page.htm", GetWallpaper(CreateActiveDesktop().Get()));
    DeleteRegValue(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper");
    EXPECT_EQ(L"C:\\windows\\shown.bmp", GetWallpaper(CreateActiveDesktop().Get()));
}

}  // namespace
