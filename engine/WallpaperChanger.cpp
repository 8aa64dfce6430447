#include "engine/WallpaperChanger.h"

#include <mmsystem.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "engine/Conversion.h"
#include "framework/Handles.h"
#include "settings/Settings.h"

namespace {

const WORD kMinimizeAllCommand = 419;      // the taskbar's "Minimize all windows"
const WORD kUndoMinimizeAllCommand = 416;  // and its undo


BOOL ApplyWallpaper(IActiveDesktop* desktop, LPCSTR path, DWORD flags)
{
    return SUCCEEDED(desktop->SetWallpaper(AnsiToWide(path).c_str(), 0)) && SUCCEEDED(desktop->ApplyChanges(flags));
}

// A value of the shell read whole, whatever its length and type: the Active
// Desktop wallpaper may be a long address, well beyond the 260 bytes the
// settings store accepts for the program's own values, or whatever another
// program stored there; it is put back exactly as it was.  Read and written
// through the wide calls, so the stored UTF-16 travels untouched whatever the
// code page.
struct CShellValue {
    bool exists = false;
    DWORD type = REG_SZ;
    std::vector<BYTE> bytes;
};

CShellValue ReadWholeShellValue(LPCSTR subKey, LPCSTR name)
{
    CShellValue value;
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return value;
    const CRegKeyHandle key(opened);
    value.bytes.resize(MAX_PATH);
    // Another program may make the value longer between the two reads.
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD size = static_cast<DWORD>(value.bytes.size());
        const LONG rc = RegQueryValueExW(key.Get(), AnsiToWide(name).c_str(), nullptr, &value.type,
                                         value.bytes.data(), &size);
        if (rc == ERROR_MORE_DATA) {
            value.bytes.resize(size);
            continue;
        }
        value.exists = rc == ERROR_SUCCESS;
        value.bytes.resize(value.exists ? size : 0);
        break;
    }
    return value;
}

// A value that was missing comes back as the empty text.
BOOL RestoreShellValue(LPCSTR subKey, LPCSTR name, const CShellValue& value)
{
    if (!value.exists)
        return WriteSettingString(HKEY_CURRENT_USER, subKey, name, CString());
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS)
        return FALSE;
    const CRegKeyHandle key(opened);
    return RegSetValueExW(key.Get(), AnsiToWide(name).c_str(), 0, value.type, value.bytes.data(),
                          static_cast<DWORD>(value.bytes.size())) == ERROR_SUCCESS;
}

// What a change may alter of the shell, taken before it starts and put back
// unless the change commits: the desktop item options (Active Desktop on or
// off, the desktop items) once the change has marked them, and the whole
// "Wallpaper" value.  A normal change and the refresh put the value back even
// when they succeed: the shell's one "Wallpaper" value must keep naming the
// Active Desktop wallpaper.
class CShellUndo {
public:
    CShellUndo(IActiveDesktop* desktop, BOOL keepWallpaperValue)
        : m_desktop(desktop), m_keepWallpaperValue(keepWallpaperValue),
          m_wallpaper(ReadWholeShellValue(TPX_KEY_GENERAL, TPX_VAL_WALLPAPER))
    {
    }
    ~CShellUndo()
    {
        if (m_marked && !m_committed)
            m_desktop->SetDesktopItemOptions(&m_options, 0);
        if (m_keepWallpaperValue || !m_committed)
            RestoreShellValue(TPX_KEY_GENERAL, TPX_VAL_WALLPAPER, m_wallpaper);
    }
    CShellUndo(const CShellUndo&) = delete;
    CShellUndo& operator=(const CShellUndo&) = delete;

    // Reads the desktop item options into *options and marks Active Desktop
    // on or off there; reading first keeps fEnableComponents as the shell
    // has it, and what was read is what a failure puts back.
    BOOL MarkActiveDesktop(BOOL enable, COMPONENTSOPT* options)
    {
        *options = {};
        options->dwSize = sizeof *options;
        if (FAILED(m_desktop->GetDesktopItemOptions(options, 0)))
            return FALSE;
        m_options = *options;
        m_marked = TRUE;
        options->fActiveDesktop = enable;
        return SUCCEEDED(m_desktop->SetDesktopItemOptions(options, 0));
    }
    BOOL Commit() { return m_committed = TRUE; }

private:
    IActiveDesktop* m_desktop;
    BOOL m_keepWallpaperValue;
    CShellValue m_wallpaper;
    COMPONENTSOPT m_options = {};
    BOOL m_marked = FALSE;
    BOOL m_committed = FALSE;
};

// Index uniformly distributed over 0 .. count - 1, even for lists longer than
// rand()'s range: two draws make a number of (RAND_MAX + 1)^2 values, and draws
// from the incomplete last block are repeated so that no index is favoured.
int RandomIndex(int count)
{
    const unsigned long long range = static_cast<unsigned long long>(RAND_MAX) + 1;
    const unsigned long long span = range * range;
    const unsigned long long limit = span - span % static_cast<unsigned long long>(count);
    unsigned long long draw;
    do {
        const unsigned long long high = static_cast<unsigned long long>(rand());
        draw = high * range + static_cast<unsigned long long>(rand());
    } while (draw >= limit);
    return static_cast<int>(draw % static_cast<unsigned long long>(count));
}

}  // namespace

CChangeGuard::CChangeGuard(CWallpaperChanger& changer) : m_pChanger(nullptr)
{
    if (!changer.m_bChanging) {
        changer.m_bChanging = TRUE;
        m_pChanger = &changer;
    }
}

CChangeGuard::~CChangeGuard()
{
    if (m_pChanger)
        m_pChanger->m_bChanging = FALSE;
}

CWallpaperChanger::CWallpaperChanger()
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
                            m_pActiveDesktop.ReceiveVoid()) == S_OK;
}

void CWallpaperChanger::Shutdown()
{
    m_pActiveDesktop.Reset();
    CoUninitialize();
}

BOOL CWallpaperChanger::Attach(IActiveDesktop* activeDesktop)
{
    if (activeDesktop)
        activeDesktop->AddRef();
    *m_pActiveDesktop.Receive() = activeDesktop;
    return activeDesktop != nullptr;
}

// ---------------------------------------------------------------- queries and settings

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

BOOL CWallpaperChanger::EnableActiveDesktop(BOOL enable)
{
    if (!m_pActiveDesktop)
        return FALSE;
    // Switching the desktop on or off changes no wallpaper: the object's
    // pending one may be the last normal wallpaper, which must not become the
    // Active Desktop's.
    CShellUndo undo(m_pActiveDesktop.Get(), TRUE);
    COMPONENTSOPT options;
    return undo.MarkActiveDesktop(enable, &options) && SUCCEEDED(m_pActiveDesktop->ApplyChanges(AD_APPLY_ALL)) &&
           undo.Commit();
}


BOOL CWallpaperChanger::SetDisplayStyle(int style)
{
    DWORD shellStyle;
    switch (style) {
    case DISPLAY_STYLE_TILE: shellStyle = WPSTYLE_TILE; break;
    case DISPLAY_STYLE_CENTER: shellStyle = WPSTYLE_CENTER; break;
    case DISPLAY_STYLE_STRETCH: shellStyle = WPSTYLE_STRETCH; break;
    default: return FALSE;
    }
    if (!m_pActiveDesktop)
        return FALSE;
    WALLPAPEROPT options = {};
    options.dwSize = sizeof options;
    options.dwStyle = shellStyle;
    // Only the style changes; the Active Desktop wallpaper stays named.
    CShellUndo undo(m_pActiveDesktop.Get(), TRUE);
    if (FAILED(m_pActiveDesktop->SetWallpaperOptions(&options, 0)))
        return FALSE;
    return SUCCEEDED(m_pActiveDesktop->ApplyChanges(AD_APPLY_ALL)) && undo.Commit();
}

int CWallpaperChanger::GetDisplayStyle()
{
    if (!m_pActiveDesktop)
        return -1;
    WALLPAPEROPT options = {};
    options.dwSize = sizeof options;
    if (FAILED(m_pActiveDesktop->GetWallpaperOptions(&options, 0)))
        return -1;
    switch (options.dwStyle) {
    case WPSTYLE_TILE: return DISPLAY_STYLE_TILE;
    case WPSTYLE_CENTER: return DISPLAY_STYLE_CENTER;
    case WPSTYLE_STRETCH: return DISPLAY_STYLE_STRETCH;
    default: return -1;
    }
}

// ---------------------------------------------------------------- changing the wallpaper

void CWallpaperChanger::PlayChangeSound()
{
    if (ReadAppDword(AppSetting::TurnOnSoundEffects) != 0)
        PlaySoundA(MAKEINTRESOURCEA(IDR_CHANGE_SOUND), GetModuleHandleA(nullptr), SND_RESOURCE | SND_ASYNC);
}

BOOL CWallpaperChanger::SetNormalWallpaper(CString path)
{
    if (!m_pActiveDesktop)
        return FALSE;
    // The shell keeps one "Wallpaper" value for both desktops; the normal
    // change overwrites it, and the Active Desktop wallpaper must survive.
    CShellUndo undo(m_pActiveDesktop.Get(), TRUE);

    if (ReadAppDword(AppSetting::MinimizeAllWindows) != 0)
        MinimizeAll(1);

    if (!IsActiveDesktopEnabled()) {
        if (!ApplyWallpaper(m_pActiveDesktop.Get(), path, AD_APPLY_SAVE))
            return FALSE;
        PlayChangeSound();
        return undo.Commit();
    }
    COMPONENTSOPT options;
    if (!undo.MarkActiveDesktop(FALSE, &options) || !ApplyWallpaper(m_pActiveDesktop.Get(), path, AD_APPLY_SAVE))
        return FALSE;
    PlayChangeSound();
    // Marked on again without a new apply: the normal wallpaper was saved
    // while Active Desktop was off.
    options.fActiveDesktop = TRUE;
    return SUCCEEDED(m_pActiveDesktop->SetDesktopItemOptions(&options, 0)) && undo.Commit();
}

BOOL CWallpaperChanger::SetActiveDesktopWallpaper(CString path)
{
    if (!m_pActiveDesktop)
        return FALSE;
    CShellUndo undo(m_pActiveDesktop.Get(), FALSE);

    if (ReadAppDword(AppSetting::MinimizeAllWindows) != 0)
        MinimizeAll(1);

    if (IsActiveDesktopEnabled()) {
        if (!ApplyWallpaper(m_pActiveDesktop.Get(), path, AD_APPLY_ALL))
            return FALSE;
    } else {
        // Switched on, and stays on.
        COMPONENTSOPT options;
        if (!undo.MarkActiveDesktop(TRUE, &options) ||
            !ApplyWallpaper(m_pActiveDesktop.Get(), path, AD_APPLY_SAVE | AD_APPLY_HTMLGEN))
            return FALSE;
    }
    PlayChangeSound();
    return undo.Commit();
}

BOOL CWallpaperChanger::RefreshWallpaper()
{
    if (!m_pActiveDesktop)
        return FALSE;
    // Setting the same path again would be a no-op for the shell; going
    // through the empty wallpaper makes it read the rewritten file.
    WCHAR current[MAX_PATH] = {};
    if (FAILED(m_pActiveDesktop->GetWallpaper(current, MAX_PATH, 0)))
        return FALSE;
    current[MAX_PATH - 1] = L'\0';
    // The refresh follows a normal change; saving its bitmap again would
    // record it as the Active Desktop wallpaper too.  The user's one is kept,
    // as the normal change itself keeps it.
    CShellUndo undo(m_pActiveDesktop.Get(), TRUE);
    if (FAILED(m_pActiveDesktop->SetWallpaper(L"", 0)))
        return FALSE;
    // From here a failure must not leave the empty wallpaper pending.
    if (FAILED(m_pActiveDesktop->SetWallpaper(current, 0)) || FAILED(m_pActiveDesktop->ApplyChanges(AD_APPLY_SAVE))) {
        m_pActiveDesktop->SetWallpaper(current, 0);
        return FALSE;
    }
    return undo.Commit();
}

int CWallpaperChanger::SetConvertedNormalWallpaper(CString path, int conversion)
{
    if (conversion == CONVERT_NOT_USABLE)
        return CHANGE_NOTHING_TO_DO;
    if (!SetNormalWallpaper(path))
        return CHANGE_NORMAL_FAILED;
    if (conversion == CONVERT_DONE)
        RefreshWallpaper();  // the shell still shows the old contents of the same file
    return CHANGE_DONE;
}

// ---------------------------------------------------------------- side effects

void CWallpaperChanger::MinimizeAll(int minimize)
{
    const HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    if (taskbar)
        PostMessageA(taskbar, WM_COMMAND, minimize == 1 ? kMinimizeAllCommand : kUndoMinimizeAllCommand, 0);
}

BOOL CWallpaperChanger::ShowDesktopItems(int show)
{
    // Hiding the shell's desktop window hides every desktop icon.
    const HWND desktop = FindWindowA("Progman", nullptr);
    if (!desktop)
        return FALSE;
    ShowWindow(desktop, show == 1 ? SW_SHOW : SW_HIDE);
    return TRUE;
}

// ---------------------------------------------------------------- choosing from a list

int CWallpaperChanger::ChangeWallpaper(CStringArray* list)
{
    switch (ReadAppDword(AppSetting::Selection)) {
    case SELECTION_MANUAL: return CHANGE_NEEDS_CHOICE;
    case SELECTION_RANDOM: return ChangeToRandomWallpaper(list);
    case SELECTION_SEQUENTIAL: return ChangeToNextWallpaper(list);
    default: return CHANGE_NOTHING_TO_DO;
    }
}

int CWallpaperChanger::AutoChangeWallpaper(CStringArray* list)
{
    switch (ReadAppDword(AppSetting::AutoChangeSelection)) {
    case AUTO_CHANGE_RANDOM: return ChangeToRandomWallpaper(list);
    case AUTO_CHANGE_SEQUENTIAL: return ChangeToNextWallpaper(list);
    default: return CHANGE_NOTHING_TO_DO;
    }
}

int CWallpaperChanger::ApplyChosenWallpaper(CString path)
{
    if (IsActiveDesktopEnabled())
        return SetActiveDesktopWallpaper(path) ? CHANGE_DONE : CHANGE_ACTIVE_FAILED;
    const int conversion = ConvertToBitmap(path);
    return SetConvertedNormalWallpaper(path, conversion);
}

int CWallpaperChanger::ChangeToRandomWallpaper(CStringArray* list)
{
    if (!list || list->IsEmpty())
        return CHANGE_NOTHING_TO_DO;
    return ApplyChosenWallpaper(list->GetAt(RandomIndex(list->GetSize())));
}

int CWallpaperChanger::ChangeToNextWallpaper(CStringArray* list)
{
    if (!list || list->IsEmpty())
        return CHANGE_NOTHING_TO_DO;

    // Nothing remembers the position: it is where the current wallpaper
    // stands in the list.
    CString current;
    if (IsActiveDesktopEnabled()) {
        ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_GENERAL, TPX_VAL_WALLPAPER, &current);
    } else {
        const CString convertedBitmap = ReadAppString(AppSetting::ConvertedBmpPath);
        ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_GENERAL, TPX_VAL_BACKUP_WALLPAPER, &current);
        // While the converted bitmap is shown, the sequence stands at the
        // picture it was made from.
        if (current.CompareNoCase(convertedBitmap) == 0)
            current = ReadAppString(AppSetting::BmpConvertedFrom);
    }

    const int count = list->GetSize();
    int index = 0;
    while (index < count && list->GetAt(index).CompareNoCase(current) != 0)
        ++index;
    int next = index + 1;
    if (next > count - 1)
        next = 0;
    return ApplyChosenWallpaper(list->GetAt(next));
}
