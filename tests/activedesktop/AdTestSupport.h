// Helpers of the Active Desktop object's tests: creating the object through
// COM, a scope that puts every desktop value a test touches back (and shows
// the restored wallpaper again), reading what Wine's desktop window shows,
// and writing JPEG pictures.
#pragma once

#include <windows.h>
#include <wininet.h>
#include <shlobj.h>

#include "TestSupport.h"
#include "activedesktop/ComPtr.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tpx::test {

inline constexpr char kComponentsKey[] = "Software\\Microsoft\\Internet Explorer\\Desktop\\Components";
inline constexpr char kExplorerKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
// Where Wine keeps a wallpaper set without SPIF_UPDATEINIFILE.
inline constexpr char kVolatileKey[] = "Software\\Wine\\Temporary System Parameters";

// CoInitialize for one test.
class ComScope {
public:
    ComScope() : m_hr(CoInitialize(nullptr)) {}
    ~ComScope()
    {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT m_hr;
};

// CoCreateInstance(CLSID_ActiveDesktop, IID_IActiveDesktop); the result in *hr.
CComPtr<IActiveDesktop> CreateActiveDesktop(HRESULT* hr = nullptr);

// The values of one key (not its sub-keys), put back at destruction by
// setting and deleting values only; a key the test created stays, empty.
// Keys are never deleted: Wine keeps "Control Panel\Desktop" (and its
// session twin) open in every process for SystemParametersInfo, which fails
// for good in that process once the key was deleted.
class ValueSnapshot {
public:
    ValueSnapshot(HKEY root, std::string subKey);
    ~ValueSnapshot();
    ValueSnapshot(const ValueSnapshot&) = delete;
    ValueSnapshot& operator=(const ValueSnapshot&) = delete;

private:
    HKEY m_root;
    std::string m_subKey;
    std::vector<RegistrySnapshot::Value> m_values;
};

// Every value of the desktop's state a test may change, restored at the
// end, after which the desktop shows the restored wallpaper again.
class DesktopScope {
public:
    DesktopScope();
    ~DesktopScope();
    DesktopScope(const DesktopScope&) = delete;
    DesktopScope& operator=(const DesktopScope&) = delete;

private:
    std::optional<ValueSnapshot> m_desktop, m_general, m_components, m_explorer, m_volatile;
};

// Active Desktop on or off through a fresh object; false if that failed.
bool SetActiveDesktop(bool on);

// The wide/ANSI conversions of the tests (ANSI code page, as the program).
std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);

// What the desktop window shows at (x, y) of the screen.
COLORREF DesktopPixel(int x, int y);
// Waits (bounded) until every listed point shows its colour within
// `tolerance`; false when they did not within the time.
struct ExpectedPixel {
    int x;
    int y;
    COLORREF colour;
};
bool WaitForDesktop(std::initializer_list<ExpectedPixel> expected, int tolerance = 8, DWORD timeoutMs = 10000);
// A short description of what the desktop shows at the listed points, for
// failure messages.
std::string DescribeDesktop(std::initializer_list<ExpectedPixel> points);
// The colour of the desktop where no wallpaper covers it.
COLORREF DesktopColour();
SIZE ScreenSize();

// Writes a JPEG through the platform's imaging (quality 100).
bool WriteJpeg(const std::string& path, int width, int height,
               const std::function<COLORREF(int x, int y)>& pixel);

}  // namespace tpx::test
