// The settings store: every persistent setting of the program is a registry
// value under HKEY_CURRENT_USER, read when it is needed and written the
// moment it changes.  Nothing is cached and no key is ever created: a
// missing key makes every read fail (the caller's default stands) and every
// write fail quietly.
//
// Readers leave the output untouched on failure, so a caller pre-loads its
// default.  Every function returns TRUE on success and FALSE when an
// argument is null, the key cannot be opened or the query / set fails.
//
// The application key's values are also rows of one table (CAppSetting):
// name, type, the default the whole program uses when nothing is stored and
// the range the settings pages accept.  The typed accessors read through a
// row, so a reader cannot pick a default of its own; a new setting is one row.
#pragma once

#include <windows.h>

#include "framework/String.h"

// ---------------------------------------------------------------- keys

// The program's own key; it must exist before the program runs.
#define TPX_KEY_APP "Software\\Brindlecourt\\Tapestrix"
// The shell's desktop key: the Active Desktop wallpaper and the shell's
// record of the normal wallpaper.
#define TPX_KEY_GENERAL "Software\\Microsoft\\Internet Explorer\\Desktop\\General"
// The shell's colour key: the desktop background colour.
#define TPX_KEY_COLORS "Control Panel\\Colors"

// ---------------------------------------------------------------- values of TPX_KEY_APP
// DWORD values (flags, indices, periods in seconds) with the usual default.

// How "New Wallpaper" picks (ESelectionMode).
#define TPX_VAL_SELECTION "Selection"
// How the automatic change picks (EAutoChangeOrder).
#define TPX_VAL_AUTO_CHANGE_SELECTION "AutoChangeSelection"
// 1: change the wallpaper periodically (default 0).
#define TPX_VAL_ENABLE_AUTO_CHANGE "EnableAutoChange"
// Period of the automatic change in seconds.
#define TPX_VAL_AUTO_CHANGE_TIMER "AutoChangeTimer"
// 1: hide the desktop icons for a while after a change (default 0).
#define TPX_VAL_HIDE_DESKTOP_ITEMS "HideDesktopItems"
// How long the desktop icons stay hidden, seconds.
#define TPX_VAL_HIDE_ITEM_TIMER "HideItemTimer"
// 1: minimise all windows before a change (default 0).
#define TPX_VAL_MINIMIZE_ALL_WINDOWS "MinimizeAllWindows"
// 1: play the change sound after a change (default 0).
#define TPX_VAL_TURN_ON_SOUND_EFFECTS "TurnOnSoundEffects"
// 1: .jpg / .gif count as normal-desktop wallpapers and are converted
// without asking (default 0).
#define TPX_VAL_CONVERT_TO_BMP "ConvertToBmp"
// 1: start hidden in the tray, 0: open the settings first (default 0).
#define TPX_VAL_MINIMIZE_ON_STARTUP "MinimizeOnStartup"
// The settings page shown last: 0 About, 1 Desktop Information,
// 2 Wallpaper Browser, 3 Options (default 0).
#define TPX_VAL_CURRENT_ACTIVE_PAGE "CurrentActivePage"

// String values.

// The folder scanned (with its sub-folders) for wallpapers (default "").
#define TPX_VAL_WALLPAPER_FOLDER "WallpaperFolder"
// The one bitmap file every conversion overwrites; set from outside the
// program (default "").
#define TPX_VAL_CONVERTED_BMP_PATH "ConvertedBmpPath"
// The picture last converted into the bitmap file.
#define TPX_VAL_BMP_CONVERTED_FROM "BmpConvertedFrom"
// Version text of the About page; where missing, the program's own version.
#define TPX_VAL_VERSION "Version"
// Web site and mail addresses of the About page.
#define TPX_VAL_COMPANY_URL "CompanyURL"
#define TPX_VAL_SUPPORT_EMAIL "SupportEmail"
#define TPX_VAL_COMMENT_EMAIL "CommentEmail"

// ---------------------------------------------------------------- values of the shell keys

// TPX_KEY_GENERAL: the Active Desktop wallpaper (string).
#define TPX_VAL_WALLPAPER "Wallpaper"
// TPX_KEY_GENERAL: the normal wallpaper as the shell records it (string).
#define TPX_VAL_BACKUP_WALLPAPER "BackupWallpaper"
// TPX_KEY_COLORS: the desktop colour, "%d %d %d" red green blue (string).
#define TPX_VAL_BACKGROUND "Background"

// The longest stored value ReadSettingString accepts, in bytes (a NUL
// included when there is one).
#define TPX_SETTING_STRING_BYTES 260

// ---------------------------------------------------------------- the five functions

// Stores `value` as REG_DWORD.
BOOL WriteSettingDword(HKEY root, LPCSTR subKey, LPCSTR name, DWORD value);
// Stores `value` as REG_SZ, its NUL counted in the stored size.
BOOL WriteSettingString(HKEY root, LPCSTR subKey, LPCSTR name, CString value);
// Stores the first `length` characters of `text` as REG_SZ (NUL counted).
BOOL WriteSettingText(HKEY root, LPCSTR subKey, LPCSTR name, LPCSTR text, DWORD length);
// Reads a REG_DWORD of 4 bytes, keeping all 32 bits; a value of any other
// type or size counts as missing.
BOOL ReadSettingDword(HKEY root, LPCSTR subKey, LPCSTR name, DWORD* value);
// Reads a REG_SZ or REG_EXPAND_SZ (unexpanded) of 1 to 260 bytes as text;
// any other type, an empty or a longer value counts as missing.  The result
// ends at the first NUL, or after the bytes read when they hold none.
BOOL ReadSettingString(HKEY root, LPCSTR subKey, LPCSTR name, CString* value);

// ---------------------------------------------------------------- the application key's table

enum ESelectionMode : DWORD {
    SELECTION_MANUAL = 0,
    SELECTION_RANDOM = 1,
    SELECTION_SEQUENTIAL = 2
};

enum EAutoChangeOrder : DWORD {
    AUTO_CHANGE_RANDOM = 0,
    AUTO_CHANGE_SEQUENTIAL = 1
};

// One value of the application key.  `number` is the default of a REG_DWORD
// value, `text` that of a REG_SZ one; `minimum` and `maximum` are what the
// settings pages accept for a number (flags 0 to 1, modes their enum).
struct CAppSetting {
    LPCSTR name;
    DWORD type;
    DWORD number;
    LPCSTR text;
    DWORD minimum;
    DWORD maximum;
};

namespace AppSetting {
inline constexpr CAppSetting Selection{TPX_VAL_SELECTION, REG_DWORD, SELECTION_MANUAL, nullptr, SELECTION_MANUAL, SELECTION_SEQUENTIAL};
inline constexpr CAppSetting AutoChangeSelection{TPX_VAL_AUTO_CHANGE_SELECTION, REG_DWORD, AUTO_CHANGE_RANDOM, nullptr, AUTO_CHANGE_RANDOM, AUTO_CHANGE_SEQUENTIAL};
inline constexpr CAppSetting EnableAutoChange{TPX_VAL_ENABLE_AUTO_CHANGE, REG_DWORD, 0, nullptr, 0, 1};
inline constexpr CAppSetting AutoChangeTimer{TPX_VAL_AUTO_CHANGE_TIMER, REG_DWORD, 30, nullptr, 1, 999999};
inline constexpr CAppSetting HideDesktopItems{TPX_VAL_HIDE_DESKTOP_ITEMS, REG_DWORD, 0, nullptr, 0, 1};
inline constexpr CAppSetting HideItemTimer{TPX_VAL_HIDE_ITEM_TIMER, REG_DWORD, 3, nullptr, 1, 10};
inline constexpr CAppSetting MinimizeAllWindows{TPX_VAL_MINIMIZE_ALL_WINDOWS, REG_DWORD, 0, nullptr, 0, 1};
inline constexpr CAppSetting TurnOnSoundEffects{TPX_VAL_TURN_ON_SOUND_EFFECTS, REG_DWORD, 0, nullptr, 0, 1};
inline constexpr CAppSetting ConvertToBmp{TPX_VAL_CONVERT_TO_BMP, REG_DWORD, 0, nullptr, 0, 1};
inline constexpr CAppSetting MinimizeOnStartup{TPX_VAL_MINIMIZE_ON_STARTUP, REG_DWORD, 0, nullptr, 0, 1};
inline constexpr CAppSetting CurrentActivePage{TPX_VAL_CURRENT_ACTIVE_PAGE, REG_DWORD, 0, nullptr, 0, 3};
inline constexpr CAppSetting WallpaperFolder{TPX_VAL_WALLPAPER_FOLDER, REG_SZ, 0, "", 0, 0};
inline constexpr CAppSetting ConvertedBmpPath{TPX_VAL_CONVERTED_BMP_PATH, REG_SZ, 0, "", 0, 0};
inline constexpr CAppSetting BmpConvertedFrom{TPX_VAL_BMP_CONVERTED_FROM, REG_SZ, 0, "", 0, 0};
// Empty: the About page then shows the version resource of the program.
inline constexpr CAppSetting Version{TPX_VAL_VERSION, REG_SZ, 0, "", 0, 0};
inline constexpr CAppSetting CompanyURL{TPX_VAL_COMPANY_URL, REG_SZ, 0, "http://www.brindlecourt.example/tapestrix/", 0, 0};
inline constexpr CAppSetting SupportEmail{TPX_VAL_SUPPORT_EMAIL, REG_SZ, 0, "support@brindlecourt.example", 0, 0};
inline constexpr CAppSetting CommentEmail{TPX_VAL_COMMENT_EMAIL, REG_SZ, 0, "comments@brindlecourt.example", 0, 0};
}  // namespace AppSetting

// The stored value, or the row's default when it is missing or unreadable.
DWORD ReadAppDword(const CAppSetting& setting);
CString ReadAppString(const CAppSetting& setting);
// A failed write (no application key) returns FALSE; callers stay silent.
BOOL WriteAppDword(const CAppSetting& setting, DWORD value);
BOOL WriteAppString(const CAppSetting& setting, const CString& value);
