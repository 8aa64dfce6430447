#include "engine/WallpaperChanger.h"

#include <mmsystem.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "engine/Conversion.h"
#include "framework/App.h"
#include "framework/CommonDialogs.h"
#include "framework/Handles.h"
#include "framework/Wnd.h"
#include "settings/Settings.h"

namespace {

const WORD kMinimizeAllCommand = 419;      // the taskbar's "Minimize all windows"
const WORD kUndoMinimizeAllCommand = 416;  // and its undo

// Reads the shell's desktop item options into *options and marks Active
// Desktop on or off there; reading first keeps fEnableComponents as the
// shell has it.
BOOL MarkActiveDesktop(IActiveDesktop* desktop, BOOL enable, COMPONENTSOPT* options)
{
    *options = {};
    options->dwSize = sizeof *options;
    if (FAILED(desktop->GetDesktopItemOptions(options, 0)))
        return FALSE;
    options->fActiveDesktop = enable;
    return SUCCEEDED(desktop->SetDesktopItemOptions(options, 0));
}

BOOL ApplyWallpaper(IActiveDesktop* desktop, LPCSTR path, DWORD flags)
{
    return SUCCEEDED(desktop->SetWallpaper(AnsiToWide(path).c_str(), 0)) && SUCCEEDED(desktop->ApplyChanges(flags));
}

// A value of the shell read whole, whatever its length and type: the Active
// Desktop wallpaper may be a long address, well beyond the 260 bytes the
// settings store accepts for the program's own values, or whatever another
// program stored there; it is put back exactly as it was.
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
        const LONG rc = RegQueryValueExA(key.Get(), name, nullptr, &value.type, value.bytes.data(), &size);
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
    return RegSetValueExA(key.Get(), name, 0, value.type, value.bytes.data(),
                          static_cast<DWORD>(value.bytes.size())) == ERROR_SUCCESS;
}

HWND MainWindow()
{
    CWnd* mainWnd = AfxGetMainWnd();
    return mainWnd ? mainWnd->GetSafeHwnd() : nullptr;
}

DWORD ReadAppDword(LPCSTR name, DWORD defaultValue)
{
    DWORD value = defaultValue;
    ReadSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, name, &value);
    return value;
}

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

// Runs the open-file dialog of the manual choice over the main window; TRUE
// with the chosen full path on OK.
BOOL AskForPicture(LPCSTR filter, LPCSTR title, CString* path)
{
    CFileDialog dialog(TRUE, nullptr, nullptr,
                       OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST, filter);
    dialog.m_ofn.lpstrTitle = title;
    if (dialog.DoModal() != IDOK)
        return FALSE;
    *path = dialog.GetPathName();
    return TRUE;
}

}  // namespace

UINT TimerPeriodMs(DWORD seconds)
{
    const ULONGLONG shortest = 1000;
    const ULONGLONG ms = static_cast<ULONGLONG>(seconds) * 1000;
    if (ms < shortest)
        return static_cast<UINT>(shortest);
    return ms > USER_TIMER_MAXIMUM ? USER_TIMER_MAXIMUM : static_cast<UINT>(ms);
}

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
    COMPONENTSOPT options;
    return MarkActiveDesktop(m_pActiveDesktop, enable, &options) &&
           SUCCEEDED(m_pActiveDesktop->ApplyChanges(AD_APPLY_ALL));
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
    if (FAILED(m_pActiveDesktop->SetWallpaperOptions(&options, 0)))
        return FALSE;
    return SUCCEEDED(m_pActiveDesktop->ApplyChanges(AD_APPLY_ALL));
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
    if (ReadAppDword(TPX_VAL_TURN_ON_SOUND_EFFECTS, 0) != 0)
        PlaySoundA(MAKEINTRESOURCEA(IDR_CHANGE_SOUND), AfxGetInstanceHandle(), SND_RESOURCE | SND_ASYNC);
}

BOOL CWallpaperChanger::SetNormalWallpaper(CString path)
{
    if (!m_pActiveDesktop)
        return FALSE;

    // The shell keeps one "Wallpaper" value for both desktops; the normal
    // change below overwrites it, and the Active Desktop wallpaper must
    // survive, so it is put back at the end.
    const CShellValue savedWallpaper = ReadWholeShellValue(TPX_KEY_GENERAL, TPX_VAL_WALLPAPER);

    if (ReadAppDword(TPX_VAL_MINIMIZE_ALL_WINDOWS, 0) != 0)
        MinimizeAll(1);

    if (IsActiveDesktopEnabled()) {
        COMPONENTSOPT options;
        if (!MarkActiveDesktop(m_pActiveDesktop, FALSE, &options) ||
            !ApplyWallpaper(m_pActiveDesktop, path, AD_APPLY_SAVE))
            return FALSE;
        PlayChangeSound();
        // Marked on again without a new apply: the normal wallpaper was
        // saved while Active Desktop was off.
        options.fActiveDesktop = TRUE;
        if (FAILED(m_pActiveDesktop->SetDesktopItemOptions(&options, 0)))
            return FALSE;
    } else {
        if (!ApplyWallpaper(m_pActiveDesktop, path, AD_APPLY_SAVE))
            return FALSE;
        PlayChangeSound();
        // The icons are hidden only where a timer on the main window can
        // bring them back.
        const HWND mainWindow = MainWindow();
        if (ReadAppDword(TPX_VAL_HIDE_DESKTOP_ITEMS, 0) == 1 && mainWindow) {
            const DWORD seconds = ReadAppDword(TPX_VAL_HIDE_ITEM_TIMER, 3);
            // A pending timer is replaced, so the icons come back one full
            // period after the last change.
            KillTimer(mainWindow, IDT_SHOW_DESKTOP_ITEMS);
            if (ShowDesktopItems(0)) {
                SetTimer(mainWindow, IDT_SHOW_DESKTOP_ITEMS, TimerPeriodMs(seconds), nullptr);
            }
        }
    }

    RestoreShellValue(TPX_KEY_GENERAL, TPX_VAL_WALLPAPER, savedWallpaper);
    return TRUE;
}

BOOL CWallpaperChanger::SetActiveDesktopWallpaper(CString path)
{
    if (!m_pActiveDesktop)
        return FALSE;

    if (ReadAppDword(TPX_VAL_MINIMIZE_ALL_WINDOWS, 0) != 0)
        MinimizeAll(1);

    if (IsActiveDesktopEnabled()) {
        if (!ApplyWallpaper(m_pActiveDesktop, path, AD_APPLY_ALL))
            return FALSE;
    } else {
        // Switched on, and stays on.
        COMPONENTSOPT options;
        if (!MarkActiveDesktop(m_pActiveDesktop, TRUE, &options) ||
            !ApplyWallpaper(m_pActiveDesktop, path, AD_APPLY_SAVE | AD_APPLY_HTMLGEN))
            return FALSE;
    }
    PlayChangeSound();
    return TRUE;
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
    if (FAILED(m_pActiveDesktop->SetWallpaper(L"", 0)))
        return FALSE;
    if (FAILED(m_pActiveDesktop->SetWallpaper(current, 0)))
        return FALSE;
    // The refresh follows a normal change; saving its bitmap again would
    // record it as the Active Desktop wallpaper too.  The user's one is kept,
    // as the normal change itself keeps it.
    const CShellValue savedWallpaper = ReadWholeShellValue(TPX_KEY_GENERAL, TPX_VAL_WALLPAPER);
    if (FAILED(m_pActiveDesktop->ApplyChanges(AD_APPLY_SAVE)))
        return FALSE;
    RestoreShellValue(TPX_KEY_GENERAL, TPX_VAL_WALLPAPER, savedWallpaper);
    return TRUE;
}

void CWallpaperChanger::SelectWallpaperManually()
{
    CString path;
    if (IsActiveDesktopEnabled()) {
        if (!AskForPicture("Picture Files (*.bmp, *.jpg, *.gif)|*.bmp;*.jpg;*.gif|"
                           "HTML Files (*.html, *.htm)|*.html;*.htm||",
                           "Select active desktop wallpaper", &path))
            return;
        if (!SetActiveDesktopWallpaper(path))
            AfxMessageBox("Unable to set active desktop wallpaper", MB_OK);
        return;
    }

    if (!AskForPicture("Picture Files (*.bmp, *.jpg, *.gif)|*.bmp;*.jpg;*.gif||",
                       "Select normal desktop wallpaper", &path))
        return;
    const int conversion = ConvertToBitmapWithPrompt(path);
    SetConvertedNormalWallpaper(path, conversion);
}

BOOL CWallpaperChanger::SetConvertedNormalWallpaper(CString path, int conversion, HWND messageOwner)
{
    if (conversion == CONVERT_NOT_USABLE)
        return FALSE;
    if (!SetNormalWallpaper(path)) {
        const char text[] = "Unable to set normal desktop wallpaper";
        if (messageOwner) {
            CWinApp* app = AfxGetApp();
            TpxMessageBoxEx(::GetAncestor(messageOwner, GA_ROOT), text, app ? app->m_pszAppName : "Tapestrix",
                            MB_OK | MB_ICONEXCLAMATION, LANG_NEUTRAL);
        } else {
            AfxMessageBox(text, MB_OK);
        }
        return FALSE;
    }
    if (conversion == CONVERT_DONE)
        RefreshWallpaper();  // the shell still shows the old contents of the same file
    return TRUE;
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

BOOL CWallpaperChanger::SetAutoChangeTimer()
{
    const HWND mainWindow = MainWindow();
    if (!mainWindow)
        return FALSE;
    const DWORD seconds = ReadAppDword(TPX_VAL_AUTO_CHANGE_TIMER, 30);
    return SetTimer(mainWindow, IDT_AUTO_CHANGE, TimerPeriodMs(seconds), nullptr) != 0;
}

void CWallpaperChanger::KillAutoChangeTimer()
{
    if (const HWND mainWindow = MainWindow())
        KillTimer(mainWindow, IDT_AUTO_CHANGE);
}

// ---------------------------------------------------------------- choosing from a list

BOOL CWallpaperChanger::ChangeWallpaper(CStringArray* list)
{
    switch (ReadAppDword(TPX_VAL_SELECTION, 0)) {
    case 0: SelectWallpaperManually(); break;
    case 1: ChangeToRandomWallpaper(list); break;
    case 2: ChangeToNextWallpaper(list); break;
    default: break;
    }
    return TRUE;
}

BOOL CWallpaperChanger::AutoChangeWallpaper(CStringArray* list)
{
    switch (ReadAppDword(TPX_VAL_AUTO_CHANGE_SELECTION, 0)) {
    case 0: ChangeToRandomWallpaper(list); break;
    case 1: ChangeToNextWallpaper(list); break;
    default: break;
    }
    return TRUE;
}

void CWallpaperChanger::ApplyChosenWallpaper(CString path)
{
    if (IsActiveDesktopEnabled()) {
        if (!SetActiveDesktopWallpaper(path))
            AfxMessageBox("Unable to change active desktop wallpaper", MB_OK);
        return;
    }
    const int conversion = ConvertToBitmap(path);
    SetConvertedNormalWallpaper(path, conversion);
}

void CWallpaperChanger::ChangeToRandomWallpaper(CStringArray* list)
{
    if (!list || list->IsEmpty())
        return;
    ApplyChosenWallpaper(list->GetAt(RandomIndex(list->GetSize())));
}

void CWallpaperChanger::ChangeToNextWallpaper(CStringArray* list)
{
    if (!list || list->IsEmpty())
        return;

    // Nothing remembers the position: it is where the current wallpaper
    // stands in the list.
    CString current;
    if (IsActiveDesktopEnabled()) {
        ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_GENERAL, TPX_VAL_WALLPAPER, &current);
    } else {
        CString convertedBitmap;
        ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_CONVERTED_BMP_PATH, &convertedBitmap);
        ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_GENERAL, TPX_VAL_BACKUP_WALLPAPER, &current);
        // While the converted bitmap is shown, the sequence stands at the
        // picture it was made from.
        if (current.CompareNoCase(convertedBitmap) == 0)
            ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_BMP_CONVERTED_FROM, &current);
    }

    const int count = list->GetSize();
    int index = 0;
    while (index < count && list->GetAt(index).CompareNoCase(current) != 0)
        ++index;
    int next = index + 1;
    if (next > count - 1)
        next = 0;
    ApplyChosenWallpaper(list->GetAt(next));
}
