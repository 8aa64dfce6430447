#include "sheet/WallpaperBrowserPage.h"

#include "res/resource.h"
#include "settings/Settings.h"
#include "sheet/TapestrixSheet.h"

CWallpaperBrowserPage::CWallpaperBrowserPage() : CPropertyPage(IDD_WALLPAPER_BROWSER) {}

BOOL CWallpaperBrowserPage::OnSetActive()
{
    // The sheet opens on the page shown last.
    WriteSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_CURRENT_ACTIVE_PAGE, PAGE_WALLPAPER_BROWSER);
    return CPropertyPage::OnSetActive();
}
