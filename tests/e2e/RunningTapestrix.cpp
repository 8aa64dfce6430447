#include <windows.h>
#include <FreeImage.h>  // after windows.h, whose guard it defines
#include <shlobj.h>

#include "RunningTapestrix.h"

#include <cstring>
#include <vector>

#include "res/resource.h"

namespace tpx::test {

namespace {

const UINT kTrayNotify = WM_USER + 100;
const WPARAM kTrayIconId = 128;

HWND MainDialogOf(DWORD pid)
{
    for (HWND hwnd : WindowsOfProcess(pid, "#32770", "Tapestrix"))
        if (!IsWindowVisible(hwnd))
            return hwnd;
    return nullptr;
}

}  // namespace

// ---------------------------------------------------------------- the program

bool RunningTapestrix::Start()
{
    if (!m_process.Start(ExeDir() + "\\Tapestrix.exe"))
        return false;
    WaitFor([&] { return (m_dialog = MainDialogOf(m_process.Pid())) != nullptr || !IsRunning(); }, 15000);
    return m_dialog != nullptr;
}

void RunningTapestrix::DoubleClickTray() const
{
    PostMessageA(m_dialog, kTrayNotify, kTrayIconId, WM_LBUTTONDBLCLK);
}

void RunningTapestrix::Command(UINT id) const
{
    PostMessageA(m_dialog, WM_COMMAND, id, 0);
}

bool RunningTapestrix::Flush(UINT marker) const
{
    const DWORD mode = marker - ID_SELECT_MANUAL;
    DeleteRegValue(HKEY_CURRENT_USER, kAppKey, "Selection");
    Command(marker);
    return WaitFor([&] { return GetRegDword(HKEY_CURRENT_USER, kAppKey, "Selection") == mode; }, 8000);
}

std::vector<HWND> RunningTapestrix::OpenDialogs() const
{
    return WindowsOfProcess(m_process.Pid(), "#32770", nullptr, true);
}

bool RunningTapestrix::Exit()
{
    if (!IsRunning())
        return false;
    Command(ID_EXIT);
    DWORD code = 1;
    return m_process.WaitExit(10000, &code) && code == 0;
}

// ---------------------------------------------------------------- what the shell keeps

std::optional<std::string> NormalWallpaper()
{
    return GetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper");
}

std::optional<std::string> ShownWallpaper()
{
    return GetRegString(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper");
}

bool WaitForNormalWallpaper(const std::string& path, DWORD timeoutMs)
{
    return WaitFor([&] { return NormalWallpaper() == path; }, timeoutMs);
}

COLORREF DesktopPixel(int x, int y)
{
    const HWND desktop = GetDesktopWindow();
    const HDC dc = GetDC(desktop);
    if (!dc)
        return CLR_INVALID;
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(desktop, dc);
    return colour;
}

bool WaitForDesktopColour(int x, int y, COLORREF colour, int tolerance, DWORD timeoutMs)
{
    return WaitFor(
        [&] {
            const COLORREF shown = DesktopPixel(x, y);
            return shown != CLR_INVALID && ColourNear(shown, colour, tolerance);
        },
        timeoutMs);
}

bool WriteSolidJpeg(const std::string& path, int width, int height, COLORREF colour)
{
    FreeImage_Initialise(TRUE);
    FIBITMAP* picture = FreeImage_Allocate(width, height, 24);
    if (!picture)
        return false;
    RGBQUAD quad{GetBValue(colour), GetGValue(colour), GetRValue(colour), 0};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            FreeImage_SetPixelColor(picture, static_cast<unsigned>(x), static_cast<unsigned>(y), &quad);
    const bool ok = FreeImage_Save(FIF_JPEG, picture, path.c_str(), JPEG_QUALITYSUPERB) != FALSE;
    FreeImage_Unload(picture);
    return ok;
}

// ---------------------------------------------------------------- the provider's bitmap

ProviderBitmapScope::ProviderBitmapScope(bool block)
{
    char folder[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                folder)))
        return;
    const std::string microsoft = std::string(folder) + "\\Microsoft";
    CreateDirectoryA(microsoft.c_str(), nullptr);
    m_path = microsoft + "\\Wallpaper1.bmp";
    if (FileExists(m_path)) {
        m_saved = m_path + ".tpx-e2e";
        DeleteFileA(m_saved.c_str());
        if (!MoveFileA(m_path.c_str(), m_saved.c_str()))
            m_saved.clear();
    }
    if (block)
        CreateDirectoryA(m_path.c_str(), nullptr);
}

ProviderBitmapScope::~ProviderBitmapScope()
{
    if (m_path.empty())
        return;
    if (!RemoveDirectoryA(m_path.c_str()))
        DeleteFileA(m_path.c_str());
    if (!m_saved.empty())
        MoveFileA(m_saved.c_str(), m_path.c_str());
}

// ---------------------------------------------------------------- scope of a test

DesktopTestScope::DesktopTestScope()
{
    m_keepAlive = CreateWindowExA(0, "STATIC", "keep", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
}

DesktopTestScope::~DesktopTestScope()
{
    DestroyWindow(m_keepAlive);
}

DesktopTestScope::ShowRestoredWallpaper::~ShowRestoredWallpaper()
{
    // The values are the ones from before the test; writing them again
    // changes nothing but makes the desktop show that wallpaper again.
    std::string wallpaper = ShownWallpaper().value_or("");
    SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, &wallpaper[0], SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
}

bool ActiveDesktopOff()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kExplorerKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return true;
    BYTE state[64] = {};
    DWORD size = sizeof state;
    const LONG rc = RegQueryValueExA(key, "ShellState", nullptr, nullptr, state, &size);
    RegCloseKey(key);
    // The seventh flag of the shell's state: the desktop shows HTML.
    return rc != ERROR_SUCCESS || size < 8 || (state[4] & 0x40) == 0;
}

// ---------------------------------------------------------------- fixture

void TapestrixTest::SetUp()
{
    ASSERT_TRUE(ActiveDesktopOff()) << "these tests change the normal desktop";
    m_converted = m_work / "Converted.bmp";
    m_scope.Set("MinimizeOnStartup", 1);
    m_scope.Set("WallpaperFolder", m_pictures.Path());
    m_scope.Set("ConvertedBmpPath", m_converted);
    SetRegString(HKEY_CURRENT_USER, kDesktopKey, "Wallpaper", "");
    SetRegString(HKEY_CURRENT_USER, kDesktopKey, "TileWallpaper", "1");
    SetRegString(HKEY_CURRENT_USER, kDesktopKey, "WallpaperStyle", "0");
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "Wallpaper", "");
    SetRegString(HKEY_CURRENT_USER, kGeneralKey, "BackupWallpaper", "");
}

void TapestrixTest::TearDown()
{
    if (m_tapestrix.IsRunning()) {
        for (HWND box : m_tapestrix.OpenDialogs())
            PressButton(box, IDCANCEL);
        EXPECT_TRUE(m_tapestrix.Exit());
    }
}

void TapestrixTest::StartTapestrix()
{
    ASSERT_TRUE(m_tapestrix.Start());
}

}  // namespace tpx::test
