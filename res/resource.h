// Identifiers of the program's resources (Tapestrix.rc) and of the commands
// of its tray menu.  Shared by the resource script and the C++ code.
#pragma once

// Dialogs.
#define IDD_TAPESTRIX_DIALOG 102

// Icons.
#define IDR_MAINFRAME 128
#define IDI_DESKTOP_INFORMATION 134
#define IDI_OPTIONS 135
#define IDI_WALLPAPER_BROWSER 150
#define IDI_ABOUT 151

// The tray menu.
#define IDR_TRAY_MENU 134

// Bitmaps beside the tray menu's items.
#define IDB_MENU_EXIT 137
#define IDB_MENU_TAPESTRIX 138
#define IDB_MENU_HELP_TOPICS 139
#define IDB_MENU_WALLPAPER_FOLDER 140
#define IDB_MENU_NEW_WALLPAPER 146
#define IDB_MENU_DISPLAY_STYLES 148
#define IDB_MENU_SELECTION_OPTIONS 152

// The change sound, resource type "WAVE".
#define IDR_CHANGE_SOUND 157

// Commands of the tray menu.
#define ID_OPEN_SETTINGS 32771
#define ID_EXIT 32772
#define ID_TILE_WALLPAPER 32774
#define ID_CENTER_WALLPAPER 32775
#define ID_STRETCH_WALLPAPER 32776
#define ID_SELECT_MANUAL 32777
#define ID_SELECT_RANDOM 32778
#define ID_SELECT_SEQUENTIAL 32779
#define ID_NEW_WALLPAPER 32781
#define ID_WALLPAPER_FOLDER 32782
#define ID_HELP_TOPICS 32787

// Positions of the two submenus in the tray menu.
#define TRAY_MENU_POS_DISPLAY_STYLES 5
#define TRAY_MENU_POS_SELECTION_OPTIONS 6
