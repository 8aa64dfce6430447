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
// Each of them drawn again for screens of more DPI: 24 pixels at its
// number plus IDB_MENU_24, 32 pixels at its number plus IDB_MENU_32.
#define IDB_MENU_24 1000
#define IDB_MENU_32 2000

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

// The settings sheet's pages.
#define IDD_ABOUT 107
#define IDD_DESKTOP_INFORMATION 108
#define IDD_WALLPAPER_BROWSER 109
#define IDD_OPTIONS 110

// Resource type of the initial entries of a page's lists (each: control id,
// message, byte count as two words, the text with its NUL; a 0 ends it).
#define RT_TPX_DLGINIT 240
#define DLGINIT_ADDSTRING 0x0403

// Controls of the Options page.
#define IDC_MANUAL 1000
#define IDC_RANDOM 1001
#define IDC_SEQUENTIAL 1002
#define IDC_ACTIVE_DESKTOP 1003
#define IDC_HIDE_DESKTOP_ITEMS 1004
#define IDC_HIDE_ITEM_TIMER 1005
#define IDC_AUTO_CHANGE 1006
#define IDC_AUTO_CHANGE_TIMER 1007
#define IDC_AUTO_CHANGE_SELECTION 1008
#define IDC_MINIMIZE_ON_STARTUP 1009
#define IDC_FRAME_SELECTION 1029
#define IDC_FRAME_MISCELLANEOUS 1030
#define IDC_SOUND_EFFECTS 1036
#define IDC_MINIMIZE_ALL_WINDOWS 1051
#define IDC_CONVERT_TO_BMP 1052

// Controls of the Desktop Information page.
#define IDC_ACTIVE_WALLPAPER 1011
#define IDC_BROWSE_NORMAL 1015
#define IDC_BROWSE_ACTIVE 1017
#define IDC_NORMAL_WALLPAPER 1019
#define IDC_DISPLAY_STYLE 1025
#define IDC_FRAME_NORMAL 1026
#define IDC_FRAME_ACTIVE 1027
#define IDC_FRAME_DISPLAY 1028
#define IDC_FRAME_COLOR 1048
#define IDC_CHANGE_COLOR 1049
#define IDC_COLOR_SWATCH 1050

// Controls of the Wallpaper Browser page.
#define IDC_FOLDER_PATH 1010
#define IDC_BROWSE_FOLDER 1011
#define IDC_FILE_LIST 1012
#define IDC_SET_AS_NORMAL 1013
#define IDC_SET_AS_ACTIVE 1014
#define IDC_PREVIEW_SIZE 1024
#define IDC_FRAME_FOLDER 1031
#define IDC_FILE_COUNT 1039
#define IDC_PREVIEW_FRAME 1047

// Controls of the About page.
#define IDC_LINK_COMMENTS 1032
#define IDC_LINK_SUPPORT 1033
#define IDC_LINK_WEBSITE 1034
#define IDC_FRAME_VERSION 1043
#define IDC_FRAME_CONTACT 1044

// The sheet's own "Help Topics" button takes the place of the standard Help.
#define IDC_HELP_TOPICS 9

// The hand shown over a link of the About page.
#define IDC_LINK_HAND 9004
