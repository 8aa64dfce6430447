#include "sheet/AboutPage.h"

#include <cstring>
#include <vector>

#include "framework/App.h"

#include "res/resource.h"
#include "settings/Settings.h"
#include "sheet/TapestrixSheet.h"

namespace {

const char kMailto[] = "mailto:";

// The "ProductVersion" of the program's own version resource, which the
// build makes from the project's one version; empty when there is none.
CString ProgramVersion()
{
    char path[MAX_PATH] = "";
    const DWORD length = ::GetModuleFileNameA(AfxGetResourceHandle(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return CString();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0)
        return CString();
    std::vector<char> block(size);
    char* text = nullptr;
    UINT textLength = 0;
    if (!::GetFileVersionInfoA(path, 0, size, block.data()) ||
        !::VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\ProductVersion", reinterpret_cast<void**>(&text),
                          &textLength) ||
        !text || textLength == 0)
        return CString();
    return CString(text, static_cast<int>(::strnlen(text, textLength)));
}

// A "Version" a user has stored still wins: a packager may name a build.
CString ShownVersion()
{
    const CString stored = ReadAppString(AppSetting::Version);
    return stored.IsEmpty() ? ProgramVersion() : stored;
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
    m_linkWebsite.m_strLink = ReadAppString(AppSetting::CompanyURL);
    m_linkSupport.m_strLink = CString(kMailto) + ReadAppString(AppSetting::SupportEmail);
    m_linkComments.m_strLink = CString(kMailto) + ReadAppString(AppSetting::CommentEmail);
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
    m_frameVersion.SetCaption(CString("Tapestrix - Version ") + ShownVersion(), TRUE);
    m_linkWebsite.SetWindowText(m_linkWebsite.m_strLink);
    m_linkSupport.SetWindowText(AddressOf(m_linkSupport.m_strLink));
    m_linkComments.SetWindowText(AddressOf(m_linkComments.m_strLink));
    return TRUE;
}

BOOL CAboutTapestrixPage::OnSetActive()
{
    // The sheet opens on the page shown last.
    WriteAppDword(AppSetting::CurrentActivePage, PAGE_ABOUT);
    return CPropertyPage::OnSetActive();
}
