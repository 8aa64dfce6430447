#include "sheet/DesktopInformationPage.h"

#include "res/resource.h"
#include "settings/Settings.h"
#include "sheet/TapestrixSheet.h"

CDesktopInformationPage::CDesktopInformationPage() : CPropertyPage(IDD_DESKTOP_INFORMATION) {}

BOOL CDesktopInformationPage::OnSetActive()
{
    // The sheet opens on the page shown last.
    WriteSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_CURRENT_ACTIVE_PAGE, PAGE_DESKTOP_INFORMATION);
    return CPropertyPage::OnSetActive();
}
