#include "sheet/DesktopInformationPage.h"

#include "engine/WallpaperChanger.h"
#include "flow/ChangeFlow.h"
#include "framework/CommonDialogs.h"
#include "framework/Gdi.h"
#include "framework/Handles.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "sheet/TapestrixSheet.h"

namespace {

const char kStyleFailed[] = "Unable to change display style";

// The swatch's black frame stays visible around the colour.
const int kSwatchFrame = 2;

}  // namespace

CDesktopInformationPage::CDesktopInformationPage() : CPropertyPage(IDD_DESKTOP_INFORMATION)
{
    const LOGFONTA caption = PageCaptionFont();
    m_frameNormal.SetCaptionFont(caption);
    m_frameActive.SetCaptionFont(caption);
    m_frameDisplay.SetCaptionFont(caption);
    m_frameColor.SetCaptionFont(caption);
}

CDesktopInformationPage::~CDesktopInformationPage() = default;

void CDesktopInformationPage::DoDataExchange(CDataExchange* dx)
{
    CPropertyPage::DoDataExchange(dx);
    DDX_Control(dx, IDC_COLOR_SWATCH, m_staticColor);
    DDX_Control(dx, IDC_FRAME_COLOR, m_frameColor);
    DDX_Control(dx, IDC_ACTIVE_WALLPAPER, m_editActive);
    DDX_Control(dx, IDC_NORMAL_WALLPAPER, m_editNormal);
    DDX_Control(dx, IDC_FRAME_DISPLAY, m_frameDisplay);
    DDX_Control(dx, IDC_FRAME_ACTIVE, m_frameActive);
    DDX_Control(dx, IDC_FRAME_NORMAL, m_frameNormal);
    DDX_Control(dx, IDC_DISPLAY_STYLE, m_comboDisplayStyle);
    DDX_CBIndex(dx, IDC_DISPLAY_STYLE, m_nDisplayStyle);
    DDX_Text(dx, IDC_ACTIVE_WALLPAPER, m_strActiveWallpaper);
    DDX_Text(dx, IDC_NORMAL_WALLPAPER, m_strNormalWallpaper);
}

BOOL CDesktopInformationPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    LoadDesktopInfo();
    return TRUE;
}

BOOL CDesktopInformationPage::OnSetActive()
{
    // The sheet opens on the page shown last.
    WriteAppDword(AppSetting::CurrentActivePage, PAGE_DESKTOP_INFORMATION);
    LoadDesktopInfo();
    return CPropertyPage::OnSetActive();
}

void CDesktopInformationPage::LoadDesktopInfo()
{
    // What the shell holds now, nothing remembered: a value that went away
    // meanwhile (a change from the tray or the timer under the open sheet)
    // shows as an empty field, not as the path read last time.
    m_strActiveWallpaper.Empty();
    m_strNormalWallpaper.Empty();
    ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_GENERAL, TPX_VAL_WALLPAPER, &m_strActiveWallpaper);
    ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_GENERAL, TPX_VAL_BACKUP_WALLPAPER, &m_strNormalWallpaper);
    m_nDisplayStyle = theWallpaperChanger.GetDisplayStyle();
    UpdateData(FALSE);
}

BOOL CDesktopInformationPage::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_PAINT || message == WM_PRINTCLIENT) {
        OnPaint(message == WM_PRINTCLIENT ? reinterpret_cast<HDC>(wParam) : nullptr);
        *result = 0;
        return TRUE;
    }
    if (message == PSM_QUERYSIBLINGS && wParam == TPX_SIBLINGS_WALLPAPER_CHANGED) {
        // A change from anywhere (the tray, the timer, another page).
        LoadDesktopInfo();
        *result = 0;   // every page hears it
        return TRUE;
    }
    if (message == WM_COMMAND) {
        const UINT id = LOWORD(wParam);
        const UINT code = HIWORD(wParam);
        if (code == BN_CLICKED) {
            switch (id) {
            case IDC_BROWSE_NORMAL: OnBrowseNormal(); return TRUE;
            case IDC_BROWSE_ACTIVE: OnBrowseActive(); return TRUE;
            case IDC_CHANGE_COLOR: OnChangeColor(); return TRUE;
            default: break;
            }
        }
        if (code == CBN_SELCHANGE && id == IDC_DISPLAY_STYLE) {
            OnSelchangeDisplayStyle();
            return TRUE;
        }
    }
    return CPropertyPage::OnWndMsg(message, wParam, lParam, result);
}

void CDesktopInformationPage::OnBrowseNormal()
{
    // A converted picture is shown by the converted bitmap's path: that is
    // the file the desktop shows.
    CString shown;
    if (!theChangeFlow.BrowseAndSet(this, FALSE, &shown))
        return;
    m_strNormalWallpaper = shown;
    UpdateData(FALSE);
}

void CDesktopInformationPage::OnBrowseActive()
{
    CString shown;
    if (!theChangeFlow.BrowseAndSet(this, TRUE, &shown))
        return;
    m_strActiveWallpaper = shown;
    UpdateData(FALSE);
}

void CDesktopInformationPage::OnChangeColor()
{
    CColorDialog dialog(::GetSysColor(COLOR_BACKGROUND), CC_ANYCOLOR, this);
    if (dialog.DoModal() != IDOK)
        return;
    const COLORREF colour = dialog.GetColor();
    const INT element = COLOR_BACKGROUND;
    // Only a colour the desktop took is made to persist.
    if (!::SetSysColors(1, &element, &colour))
        return;
    // Red first, as the control panel stores it; a failed write is not
    // reported, the colour holds for this session.
    CString text;
    text.Format("%d %d %d", static_cast<int>(GetRValue(colour)), static_cast<int>(GetGValue(colour)),
                static_cast<int>(GetBValue(colour)));
    WriteSettingString(HKEY_CURRENT_USER, TPX_KEY_COLORS, TPX_VAL_BACKGROUND, text);
    if (const HDC dc = ::GetDC(m_hWnd)) {
        PaintSwatch(dc);
        ::ReleaseDC(m_hWnd, dc);
    }
}

void CDesktopInformationPage::OnSelchangeDisplayStyle()
{
    if (IsFillingControls())
        return;
    const int style = m_comboDisplayStyle.GetCurSel();
    if (style < 0)
        return;
    if (theChangeFlow.IsChanging()) {
        // A change waits for the user: the list goes back to the style in
        // force.
        m_comboDisplayStyle.SetCurSel(m_nDisplayStyle);
        return;
    }
    if (theWallpaperChanger.SetDisplayStyle(style)) {
        // Remembered, so showing a new path later does not put back the
        // style read before.
        m_nDisplayStyle = style;
        return;
    }
    SheetMessageBox(m_hWnd, kStyleFailed);
    // The list shows the style the desktop has, not the one that failed.
    m_nDisplayStyle = theWallpaperChanger.GetDisplayStyle();
    m_comboDisplayStyle.SetCurSel(m_nDisplayStyle);
}

RECT CDesktopInformationPage::SwatchInterior() const
{
    RECT rect{};
    const HWND swatch = GetDlgItem(IDC_COLOR_SWATCH);
    if (!swatch)
        return rect;
    ::GetWindowRect(swatch, &rect);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    ::InflateRect(&rect, -kSwatchFrame, -kSwatchFrame);
    return rect;
}

void CDesktopInformationPage::PaintSwatch(HDC dc) const
{
    const RECT interior = SwatchInterior();
    if (::IsRectEmpty(&interior))
        return;
    const CBrushHandle brush(::CreateSolidBrush(::GetSysColor(COLOR_BACKGROUND)));
    if (brush)
        ::FillRect(dc, &interior, brush.Get());
}

void CDesktopInformationPage::OnPaint(HDC printDC)
{
    CPaintDC dc(this, printDC);
    PaintSwatch(dc);
}
