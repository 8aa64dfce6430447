#include "sheet/AboutPage.h"

#include "res/resource.h"
#include "settings/Settings.h"
#include "sheet/TapestrixSheet.h"

namespace {

// The maker's own contact points, for when the settings name none.
const char kDefaultWebsite[] = "http://www.brindlecourt.example/tapestrix/";
const char kDefaultSupportEmail[] = "support@brindlecourt.example";
const char kDefaultCommentEmail[] = "comments@brindlecourt.example";
const char kDefaultVersion[] = "3.0";
const char kMailto[] = "mailto:";

CString ReadApp(LPCSTR name, LPCSTR defaultValue)
{
    CString value(defaultValue);
    ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, name, &value);
    return value;
}

// An address target's text without its "mailto:".
CString AddressOf(const CString& target)
{
    const int prefix = static_cast<int>(sizeof kMailto) - 1;
    return target.Right(target.GetLength() - prefix);
}

}  // namespace

CAboutTapestrixPage::CAboutTapestrixPage() : CPropertyPage(IDD_ABOUT)
{
    const LOGFONTA caption = PageCaptionFont();
    m_frameVersion.SetCaptionFont(caption);
    m_frameContact.SetCaptionFont(caption);

    // Read each time the sheet is opened, which builds the page anew.
    m_linkWebsite.m_strLink = ReadApp(TPX_VAL_COMPANY_URL, kDefaultWebsite);
    m_linkSupport.m_strLink = CString(kMailto) + ReadApp(TPX_VAL_SUPPORT_EMAIL, kDefaultSupportEmail);
    m_linkComments.m_strLink = CString(kMailto) + ReadApp(TPX_VAL_COMMENT_EMAIL, kDefaultCommentEmail);
}

void CAboutTapestrixPage::DoDataExchange(CDataExchange* dx)
{
    CPropertyPage::DoDataExchange(dx);
    DDX_Control(dx, IDC_FRAME_VERSION, m_frameVersion);
    DDX_Control(dx, IDC_FRAME_CONTACT, m_frameContact);
    DDX_Control(dx, IDC_LINK_WEBSITE, m_linkWebsite);
    DDX_Control(dx, IDC_LINK_SUPPORT, m_linkSupport);
    DDX_Control(dx, IDC_LINK_COMMENTS, m_linkComments);
}

BOOL CAboutTapestrixPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    m_frameVersion.SetCaption(CString("Tapestrix - Version ") + ReadApp(TPX_VAL_VERSION, kDefaultVersion), TRUE);
    m_linkWebsite.SetWindowText(m_linkWebsite.m_strLink);
    m_linkSupport.SetWindowText(AddressOf(m_linkSupport.m_strLink));
    m_linkComments.SetWindowText(AddressOf(m_linkComments.m_strLink));
    return TRUE;
}

BOOL CAboutTapestrixPage::OnSetActive()
{
    // The sheet opens on the page shown last.
    WriteSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_CURRENT_ACTIVE_PAGE, PAGE_ABOUT);
    return CPropertyPage::OnSetActive();
}
