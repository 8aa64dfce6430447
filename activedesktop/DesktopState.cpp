#include "activedesktop/DesktopState.h"

#include "activedesktop/Registry.h"
#include "activedesktop/ShownBitmap.h"

#include <cstring>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

namespace activedesktop {

namespace {

const WCHAR kDesktopKey[] = L"Control Panel\\Desktop";
const WCHAR kGeneralKey[] = L"Software\\Microsoft\\Internet Explorer\\Desktop\\General";
const WCHAR kComponentsKey[] = L"Software\\Microsoft\\Internet Explorer\\Desktop\\Components";
const WCHAR kExplorerKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";

// "ShellState" is a DWORD byte count followed by a SHELLSTATE, whose first
// DWORD holds the flags; fDesktopHTML, Active Desktop on, is the seventh.
constexpr DWORD kShellStateFlagsOffset = sizeof(DWORD);
constexpr DWORD kDesktopHtmlFlag = 0x40;
constexpr DWORD kShellStateSize = sizeof(DWORD) + sizeof(SHELLSTATEW);
constexpr DWORD kMaxShellStateSize = 4096;  // larger is no ShellState

// How "Control Panel\Desktop" records each style: WallpaperStyle, TileWallpaper.
struct StyleValues {
    LPCWSTR wallpaperStyle;
    LPCWSTR tileWallpaper;
};
const StyleValues kStyleValues[kStyleCount] = {
    {L"0", L"0"},   // WPSTYLE_CENTER
    {L"0", L"1"},   // WPSTYLE_TILE
    {L"2", L"0"},   // WPSTYLE_STRETCH
    {L"6", L"0"},   // WPSTYLE_KEEPASPECT
    {L"10", L"0"},  // WPSTYLE_CROPTOFIT
    {L"22", L"0"},  // WPSTYLE_SPAN
};

HRESULT FromWin32(LONG rc)
{
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

// A small decimal number stored as text (the shell's way) or as a DWORD
// (some tools' way); anything else reads as `fallback`.
DWORD QueryNumber(HKEY key, LPCWSTR name, DWORD fallback)
{
    DWORD value = 0;
    if (QueryDword(key, name, &value))
        return value;
    WCHAR text[16];
    if (!QueryString(key, name, text, 16) || !text[0])
        return fallback;
    value = 0;
    for (const WCHAR* p = text; *p; ++p) {
        if (*p < L'0' || *p > L'9' || value > 100000)
            return fallback;
        value = value * 10 + static_cast<DWORD>(*p - L'0');
    }
    return value;
}

DWORD ReadStyle(HKEY desktop)
{
    if (QueryNumber(desktop, L"TileWallpaper", 0) == 1)
        return WPSTYLE_TILE;
    switch (QueryNumber(desktop, L"WallpaperStyle", 0)) {
    case 2:
        return WPSTYLE_STRETCH;
    case 6:
        return kStyleKeepAspect;
    case 10:
        return kStyleCropToFit;
    case 22:
        return kStyleSpan;
    default:
        return WPSTYLE_CENTER;
    }
}

// The whole "ShellState" value; empty when it is missing or not one the
// shell could have written.
std::vector<BYTE> ReadShellState()
{
    std::vector<BYTE> state;
    CRegKeyHandle key;
    DWORD size = 0;
    if (OpenKey(HKEY_CURRENT_USER, kExplorerKey, &key) != ERROR_SUCCESS ||
        !QueryBinary(key.Get(), L"ShellState", nullptr, &size) ||
        size < kShellStateFlagsOffset + sizeof(DWORD) || size > kMaxShellStateSize)
        return state;
    state.resize(size);
    if (!QueryBinary(key.Get(), L"ShellState", state.data(), &size) || size != state.size())
        state.clear();
    return state;
}

DWORD GetShellStateFlags(const std::vector<BYTE>& state)
{
    DWORD flags = 0;
    memcpy(&flags, state.data() + kShellStateFlagsOffset, sizeof flags);
    return flags;
}

BOOL CALLBACK RepaintWindow(HWND window, LPARAM)
{
    if (IsWindowVisible(window)) {
        // Both only queue work for the window's own thread: a window whose
        // thread hangs, in any process, never holds up a change.
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        // Wine repaints another program's frame only when told it changed.
        SetWindowPos(window, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER |
                         SWP_FRAMECHANGED | SWP_ASYNCWINDOWPOS);
    }
    return TRUE;
}

// Longest wait for Wine's desktop to paint; its thread is the shell's, which
// answers at once unless it is itself hung.
constexpr UINT kDesktopPaintTimeoutMs = 500;

HRESULT ShowBitmap(LPCWSTR bitmap)
{
    // Wine's desktop reloads the file on this even when its name is the one
    // it shows already, which is how a rewritten bitmap gets shown.  The
    // desktop is told directly; no broadcast to every window (SPIF_SENDCHANGE
    // waits seconds on each hung one).
    if (!SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, const_cast<LPWSTR>(bitmap), SPIF_UPDATEINIFILE)) {
        const DWORD error = GetLastError();
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    // The desktop paints the new wallpaper over the windows in front of it
    // (the taskbar included) without telling them, so they must paint again
    // after it.  A sent WM_PAINT returns once the desktop's own thread has
    // painted what it had pending: no guessing how long that takes.
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(GetDesktopWindow(), WM_PAINT, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kDesktopPaintTimeoutMs,
                        &answer);
    EnumWindows(RepaintWindow, 0);
    return S_OK;
}

// What this process last had Wine's desktop load, and in which style.
// Loading the very same file again changes nothing on screen but costs the
// desktop a reload and a repaint of a screen-sized bitmap, and the refresh
// that follows every conversion asks for exactly that.  The file is known by
// its identity and its last write, so a rewritten or replaced file is shown
// again; the shell's record must still name it, so a change by anybody else
// is shown over.
struct ShownFile {
    std::wstring path;
    DWORD style = 0;
    BY_HANDLE_FILE_INFORMATION file{};
};
std::mutex g_shownLock;
ShownFile g_shown;  // empty path: nothing known

bool Identify(LPCWSTR path, BY_HANDLE_FILE_INFORMATION* info)
{
    const CFileHandle file(CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.IsValid() && GetFileInformationByHandle(file.Get(), info);
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b)
{
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow && a.nFileSizeHigh == b.nFileSizeHigh &&
           a.nFileSizeLow == b.nFileSizeLow && CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0;
}

bool IsShownAlready(LPCWSTR bitmap, DWORD style, const BY_HANDLE_FILE_INFORMATION& file)
{
    WCHAR recorded[MAX_PATH];
    CRegKeyHandle desktop;
    if (OpenKey(HKEY_CURRENT_USER, kDesktopKey, &desktop) != ERROR_SUCCESS ||
        !QueryString(desktop.Get(), L"Wallpaper", recorded, MAX_PATH) || lstrcmpiW(recorded, bitmap) != 0)
        return false;
    const std::lock_guard<std::mutex> lock(g_shownLock);
    return !g_shown.path.empty() && lstrcmpiW(g_shown.path.c_str(), bitmap) == 0 && g_shown.style == style &&
           SameFile(g_shown.file, file);
}

void RememberShown(LPCWSTR bitmap, DWORD style, const BY_HANDLE_FILE_INFORMATION* file)
{
    const std::lock_guard<std::mutex> lock(g_shownLock);
    g_shown = ShownFile{};
    if (file) {
        g_shown.path = bitmap;
        g_shown.style = style;
        g_shown.file = *file;
    }
}

}  // namespace

COMPONENTSOPT ReadItemOptions()
{
    COMPONENTSOPT options{};
    options.dwSize = sizeof options;
    options.fEnableComponents = TRUE;
    options.fActiveDesktop = FALSE;

    const std::vector<BYTE> state = ReadShellState();
    if (!state.empty())
        options.fActiveDesktop = (GetShellStateFlags(state) & kDesktopHtmlFlag) ? TRUE : FALSE;
    CRegKeyHandle components;
    DWORD enable = 0;
    if (OpenKey(HKEY_CURRENT_USER, kComponentsKey, &components) == ERROR_SUCCESS &&
        QueryDword(components.Get(), L"EnableComponents", &enable))
        options.fEnableComponents = enable ? TRUE : FALSE;
    return options;
}

HRESULT WriteItemOptions(const COMPONENTSOPT& options)
{
    // Only the one flag changes: the rest of "ShellState" belongs to others.
    std::vector<BYTE> state = ReadShellState();
    if (state.empty()) {
        state.assign(kShellStateSize, 0);
        memcpy(state.data(), &kShellStateSize, sizeof kShellStateSize);
    }
    DWORD flags = GetShellStateFlags(state);
    flags = options.fActiveDesktop ? (flags | kDesktopHtmlFlag) : (flags & ~kDesktopHtmlFlag);
    memcpy(state.data() + kShellStateFlagsOffset, &flags, sizeof flags);

    CRegKeyHandle explorer;
    LONG rc = CreateKey(HKEY_CURRENT_USER, kExplorerKey, &explorer);
    if (rc == ERROR_SUCCESS)
        rc = SetBinary(explorer.Get(), L"ShellState", state.data(), static_cast<DWORD>(state.size()));
    if (rc != ERROR_SUCCESS)
        return FromWin32(rc);

    CRegKeyHandle components;
    rc = CreateKey(HKEY_CURRENT_USER, kComponentsKey, &components);
    if (rc == ERROR_SUCCESS)
        rc = SetDword(components.Get(), L"EnableComponents", options.fEnableComponents ? 1 : 0);
    return FromWin32(rc);
}

void ReadSavedWallpaper(LPWSTR path, DWORD* style)
{
    path[0] = L'\0';
    CRegKeyHandle desktop, general;
    OpenKey(HKEY_CURRENT_USER, kDesktopKey, &desktop);
    OpenKey(HKEY_CURRENT_USER, kGeneralKey, &general);
    *style = ReadStyle(desktop.Get());

    // The Active Desktop's wallpaper may be any picture or page.  The normal
    // desktop's is the bitmap shown, unless that is the provider's own copy
    // or nothing (the picture could not be shown): then the wallpaper is the
    // one the shell recorded as the backup.
    if (ReadItemOptions().fActiveDesktop && QueryString(general.Get(), L"Wallpaper", path, MAX_PATH))
        return;
    QueryString(desktop.Get(), L"Wallpaper", path, MAX_PATH);
    WCHAR backup[MAX_PATH];
    if ((!path[0] || IsProviderBitmap(path)) &&
        QueryString(general.Get(), L"BackupWallpaper", backup, MAX_PATH))
        wcscpy(path, backup);
}

HRESULT SaveWallpaper(LPCWSTR path, DWORD style)
{
    if (style >= kStyleCount)
        return E_INVALIDARG;
    WCHAR shown[MAX_PATH];
    HRESULT hr = PrepareShownBitmap(path, style, shown);
    if (FAILED(hr))
        return hr;

    const bool activeDesktop = ReadItemOptions().fActiveDesktop != FALSE;
    CRegKeyHandle general;
    LONG rc = CreateKey(HKEY_CURRENT_USER, kGeneralKey, &general);
    if (rc == ERROR_SUCCESS)
        rc = SetString(general.Get(), L"Wallpaper", path);
    if (rc == ERROR_SUCCESS && !activeDesktop)
        rc = SetString(general.Get(), L"BackupWallpaper", path);
    if (rc != ERROR_SUCCESS)
        return FromWin32(rc);

    // Wine's desktop reads TileWallpaper (through win.ini, which maps to this
    // key) when it reloads; WallpaperStyle is for everybody else.
    CRegKeyHandle desktop;
    rc = CreateKey(HKEY_CURRENT_USER, kDesktopKey, &desktop);
    if (rc == ERROR_SUCCESS)
        rc = SetString(desktop.Get(), L"WallpaperStyle", kStyleValues[style].wallpaperStyle);
    if (rc == ERROR_SUCCESS)
        rc = SetString(desktop.Get(), L"TileWallpaper", kStyleValues[style].tileWallpaper);
    if (rc != ERROR_SUCCESS)
        return FromWin32(rc);

    BY_HANDLE_FILE_INFORMATION file{};
    const bool known = shown[0] && Identify(shown, &file);
    if (known && IsShownAlready(shown, style, file))
        return S_OK;
    hr = ShowBitmap(shown);
    RememberShown(shown, style, SUCCEEDED(hr) && known ? &file : nullptr);
    return hr;
}

HRESULT ShowSavedWallpaper()
{
    WCHAR shown[MAX_PATH];
    CRegKeyHandle desktop;
    if (OpenKey(HKEY_CURRENT_USER, kDesktopKey, &desktop) != ERROR_SUCCESS ||
        !QueryString(desktop.Get(), L"Wallpaper", shown, MAX_PATH))
        shown[0] = L'\0';
    RememberShown(shown, 0, nullptr);  // shown afresh, whatever it is
    return ShowBitmap(shown);
}

}  // namespace activedesktop
