#include "sheet/AboutPage.h"

#include "res/resource.h"
#include "settings/Settings.h"
#include "sheet/TapestrixSheet.h"

CAboutTapestrixPage::CAboutTapestrixPage() : CPropertyPage(IDD_ABOUT) {}

BOOL CAboutTapestrixPage::OnSetActive()
{
    // The sheet opens on the page shown last.
    WriteSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_CURRENT_ACTIVE_PAGE, PAGE_ABOUT);
    return CPropertyPage::OnSetActive();
}
