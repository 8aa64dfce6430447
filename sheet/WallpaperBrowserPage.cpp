#include "sheet/WallpaperBrowserPage.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "engine/Conversion.h"
#include "engine/WallpaperChanger.h"
#include "engine/WallpaperSelection.h"
#include "flow/ChangeFlow.h"
#include "framework/FolderDialog.h"
#include "framework/Gdi.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "sheet/TapestrixSheet.h"

namespace {

const char kActiveWallpaperFailed[] = "Unable to set as active desktop wallpaper";
const char kNoSize[] = "??? x ???";
const char kLoading[] = "Loading...";

// The list fills in slices of this many milliseconds of work, each followed
// by one repaint of the list: its progress shows some twenty times a second
// while the repaints cost next to nothing against the icon look-ups.
const DWORD kFillSliceMs = 50;
const UINT WM_FILL_SLICE = WM_APP + 0x40;
const UINT_PTR IDT_FILL_SLICE = 1;
// A picture is loaded once no other item has been selected for this long:
// holding an arrow key moves through the list without decoding every
// picture on the way.
const UINT kPreviewSettleMs = 150;
const UINT_PTR IDT_PREVIEW = 2;

BOOL IsPicture(const CString& name)
{
    return HasFileEnding(name, ".bmp") || HasFileEnding(name, ".jpg") || HasFileEnding(name, ".gif");
}

BOOL IsWebPage(const CString& name)
{
    return HasFileEnding(name, ".htm") || (name.GetLength() >= 5 && name.Right(5).CompareNoCase(".html") == 0);
}

}  // namespace

CWallpaperBrowserPage::CWallpaperBrowserPage() : CPropertyPage(IDD_WALLPAPER_BROWSER)
{
    ReadSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_WALLPAPER_FOLDER, &m_strFolder);

    m_frameFolder.SetCaptionFont(PageCaptionFont());

    LOGFONTA loading{};
    loading.lfHeight = ScaleForDpi(16, GetWindowDpi(nullptr));
    loading.lfWeight = FW_BOLD;
    loading.lfCharSet = ANSI_CHARSET;
    loading.lfOutPrecision = OUT_STROKE_PRECIS;
    loading.lfClipPrecision = CLIP_STROKE_PRECIS;
    loading.lfQuality = PROOF_QUALITY;
    lstrcpynA(loading.lfFaceName, "Arial", LF_FACESIZE);
    m_fontLoading.CreateFontIndirect(loading);
}

CWallpaperBrowserPage::~CWallpaperBrowserPage()
{
    m_picture.FreePicture();
    // The list view shares the image list (LVS_SHAREIMAGELISTS): this is its
    // only owner.
    m_imageList.DeleteImageList();
    m_fontLoading.DeleteObject();
}

void CWallpaperBrowserPage::DoDataExchange(CDataExchange* dx)
{
    CPropertyPage::DoDataExchange(dx);
    DDX_Control(dx, IDC_SET_AS_ACTIVE, m_btnSetActive);
    DDX_Control(dx, IDC_PREVIEW_SIZE, m_staticSize);
    DDX_Control(dx, IDC_PREVIEW_FRAME, m_staticPreview);
    DDX_Control(dx, IDC_SET_AS_NORMAL, m_btnSetNormal);
    DDX_Control(dx, IDC_FILE_COUNT, m_staticCount);
    DDX_Control(dx, IDC_FOLDER_PATH, m_editFolder);
    DDX_Control(dx, IDC_FILE_LIST, m_listFiles);
    DDX_Control(dx, IDC_FRAME_FOLDER, m_frameFolder);
    DDX_Text(dx, IDC_FILE_COUNT, m_strFileCount);
    DDX_Text(dx, IDC_FOLDER_PATH, m_strFolder);
}

BOOL CWallpaperBrowserPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    ::GetWindowRect(m_staticPreview, &m_rectPreview);
    ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&m_rectPreview), 2);
    ::InflateRect(&m_rectPreview, -1, -1);
    InitFileList();
    RefreshFileList();
    UpdateData(FALSE);
    return TRUE;
}

BOOL CWallpaperBrowserPage::OnSetActive()
{
    // The sheet opens on the page shown last.
    WriteSettingDword(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_CURRENT_ACTIVE_PAGE, PAGE_WALLPAPER_BROWSER);
    return CPropertyPage::OnSetActive();
}

BOOL CWallpaperBrowserPage::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_BROWSE_FOLDER: OnBrowseFolder(); return TRUE;
        case IDC_SET_AS_NORMAL: OnSetAsNormal(); return TRUE;
        case IDC_SET_AS_ACTIVE: OnSetAsActive(); return TRUE;
        default: break;
        }
    }
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->idFrom == IDC_FILE_LIST && header->code == LVN_ITEMCHANGED) {
            *result = OnItemChangedFileList(reinterpret_cast<const NMLISTVIEW*>(lParam));
            return TRUE;
        }
    }
    if (message == WM_PAINT || message == WM_PRINTCLIENT) {
        OnPaint(message == WM_PRINTCLIENT ? reinterpret_cast<HDC>(wParam) : nullptr);
        return TRUE;
    }
    if (message == WM_FILL_SLICE) {
        FillSlice();
        return TRUE;
    }
    if (message == WM_TIMER && wParam == IDT_FILL_SLICE) {
        KillTimer(IDT_FILL_SLICE);
        FillSlice();
        return TRUE;
    }
    if (message == WM_TIMER && wParam == IDT_PREVIEW) {
        KillTimer(IDT_PREVIEW);
        LoadPreview();
        return TRUE;
    }
    return CPropertyPage::OnWndMsg(message, wParam, lParam, result);
}

// ---------------------------------------------------------------- the list

void CWallpaperBrowserPage::InitFileList()
{
    m_listFiles.SetExtendedStyle(m_listFiles.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    // The page owns the image list and destroys it; the list view must not
    // destroy it a second time when it goes.
    ::SetWindowLongA(m_listFiles, GWL_STYLE, ::GetWindowLongA(m_listFiles, GWL_STYLE) | LVS_SHAREIMAGELISTS);

    RECT client{};
    ::GetClientRect(m_listFiles, &client);
    const int width = client.right / 3;
    m_listFiles.InsertColumn(0, "File Name", LVCFMT_LEFT, width);
    m_listFiles.InsertColumn(1, "File Location", LVCFMT_LEFT, 2 * width - 15);

    if (!m_imageList.Create(16, 16, ILC_COLOR, 0, 1))
        return;
    m_listFiles.SetImageList(m_imageList, LVSIL_SMALL);
}

void CWallpaperBrowserPage::RefreshFileList()
{
    if (!::PathIsDirectoryA(m_strFolder))
        return;
    m_editFolder.SetWindowText(m_strFolder);
    WriteSettingString(HKEY_CURRENT_USER, TPX_KEY_APP, TPX_VAL_WALLPAPER_FOLDER, m_strFolder);
    CStringArray names, folders;
    ScanFolder(m_strFolder, &names, &folders);
    FillFileList(names, folders);
}

void CWallpaperBrowserPage::ScanFolder(const CString& folder, CStringArray* names, CStringArray* folders)
{
    // The engine's walk: every directory once, so a link back to an
    // ancestor ends the descent instead of repeating the tree until paths
    // grow too long.  Names the code page cannot hold come as short names,
    // so every listed file can be opened.
    WalkFolderTree(
        folder,
        [names, folders](const CString& holder, const CString& name) {
            names->Add(name);
            folders->Add(holder);
        },
        nullptr, TRUE);
}

void CWallpaperBrowserPage::FillFileList(const CStringArray& names, const CStringArray& folders)
{
    m_fillNames = names;
    m_fillFolders = folders;
    m_nFilled = 0;
    KillTimer(IDT_FILL_SLICE);

    if (m_imageList.GetSafeHandle())
        m_imageList.SetImageCount(static_cast<UINT>(names.GetSize()));
    m_listFiles.DeleteAllItems();
    if (!m_listFiles.GetImageList(LVSIL_SMALL)) {
        FinishFill();
        return;
    }
    // No count until the list is complete: a number beside a list that is
    // still growing would say something the list does not show.
    m_strFileCount.Empty();
    m_staticCount.SetWindowText("");
    m_listFiles.SetItemCount(names.GetSize());
    m_bFilling = TRUE;
    ScheduleFillSlice();
}

void CWallpaperBrowserPage::ScheduleFillSlice()
{
    // Input, painting and timers that wait go first (a timer is served only
    // when nothing else is queued); otherwise the next slice follows at once.
    if (HIWORD(::GetQueueStatus(QS_INPUT | QS_PAINT | QS_TIMER | QS_HOTKEY)))
        SetTimer(IDT_FILL_SLICE, USER_TIMER_MINIMUM);
    else
        ::PostMessageA(m_hWnd, WM_FILL_SLICE, 0, 0);
}

void CWallpaperBrowserPage::FillSlice()
{
    if (!m_bFilling)
        return;
    const int count = m_fillNames.GetSize();
    const DWORD start = ::GetTickCount();
    ::SendMessageA(m_listFiles, WM_SETREDRAW, FALSE, 0);
    while (m_nFilled < count) {
        const int i = m_nFilled++;
        const CString path = JoinFolderPath(m_fillFolders[i], m_fillNames[i]);
        SHFILEINFOA info{};
        ::SHGetFileInfoA(path, 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON);
        // The shell hands over an icon of our own: the image list keeps a
        // copy, the icon itself goes at once (one per file would soon reach
        // the process's limit of handles).
        const CIconHandle icon(info.hIcon);
        const int image = m_imageList.Replace(i, icon.Get());
        m_listFiles.InsertItem(i, m_fillNames[i], image);
        m_listFiles.SetItemText(i, 1, m_fillFolders[i]);
        if (::GetTickCount() - start >= kFillSliceMs)
            break;
    }
    ::SendMessageA(m_listFiles, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_listFiles, nullptr, FALSE);
    ::UpdateWindow(m_listFiles);
    if (m_nFilled < count)
        ScheduleFillSlice();
    else
        FinishFill();
}

void CWallpaperBrowserPage::FinishFill()
{
    m_bFilling = FALSE;
    m_strFileCount.Format("%d", m_fillNames.GetSize());
    m_staticCount.SetWindowText(m_strFileCount);
    m_fillNames.RemoveAll();
    m_fillFolders.RemoveAll();
}

BOOL CWallpaperBrowserPage::GetSelectedPath(CString* path) const
{
    const int item = m_listFiles.GetNextItem(-1, LVNI_SELECTED);
    if (item < 0)
        return FALSE;
    *path = JoinFolderPath(m_listFiles.GetItemText(item, 1), m_listFiles.GetItemText(item, 0));
    return TRUE;
}

// ---------------------------------------------------------------- the buttons

void CWallpaperBrowserPage::OnBrowseFolder()
{
    CFolderDialog dialog("Choose the folder containing your wallpapers", BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN,
                         m_hWnd);
    if (dialog.DoModal() != IDOK)
        return;
    m_strFolder = dialog.GetFolderPath();
    RefreshFileList();
}

void CWallpaperBrowserPage::OnSetAsNormal()
{
    // The path is taken before any question box: what is set is the file
    // the page showed when the button was pressed.
    CString path;
    if (!GetSelectedPath(&path))
        return;
    theChangeFlow.SetPicture(this, FALSE, path, kActiveWallpaperFailed);
}

void CWallpaperBrowserPage::OnSetAsActive()
{
    CString path;
    if (!GetSelectedPath(&path))
        return;
    theChangeFlow.SetPicture(this, TRUE, path, kActiveWallpaperFailed);
}

// ---------------------------------------------------------------- the thumbnail

LRESULT CWallpaperBrowserPage::OnItemChangedFileList(const NMLISTVIEW* change)
{
    // Any item that becomes selected, also one that had the focus already
    // (Ctrl+arrows, then Space): the buttons and the thumbnail always
    // describe the selected file.
    if (!(change->uChanged & LVIF_STATE) || change->iItem < 0 || !(change->uNewState & LVIS_SELECTED) ||
        (change->uOldState & LVIS_SELECTED))
        return 0;
    const CString name = m_listFiles.GetItemText(change->iItem, 0);
    const CString folder = m_listFiles.GetItemText(change->iItem, 1);

    if (IsPicture(name)) {
        ::EnableWindow(m_btnSetActive, TRUE);
        ::EnableWindow(m_btnSetNormal, TRUE);
        ++m_nPreviewRequest;
        m_strPreviewPath = JoinFolderPath(folder, name);
        // The previous picture goes now, as its load would free it: drawing
        // a large one again under "Loading..." would cost each arrow step
        // what the settling saves.
        m_picture.FreePicture();
        m_bLoadPending = TRUE;
        m_bShowLoading = TRUE;
        RedrawPreview();
        SetTimer(IDT_PREVIEW, kPreviewSettleMs);
    } else if (IsWebPage(name)) {
        // A web page can only be an Active Desktop wallpaper; the thumbnail
        // keeps what it showed.
        ::EnableWindow(m_btnSetActive, TRUE);
        ::EnableWindow(m_btnSetNormal, FALSE);
    } else {
        ::EnableWindow(m_btnSetNormal, FALSE);
        ::EnableWindow(m_btnSetActive, FALSE);
        // Cleared for good: the picture is let go, so no repaint brings it back.
        ++m_nPreviewRequest;
        m_bLoadPending = FALSE;
        KillTimer(IDT_PREVIEW);
        m_picture.FreePicture();
        m_bShowLoading = FALSE;
        RedrawPreview();
        m_staticSize.SetWindowText(kNoSize);
    }
    return 0;
}

void CWallpaperBrowserPage::LoadPreview()
{
    // A load that shows a message box runs that box's loop, where the next
    // selection (or its timer) may arrive: the running load takes the newest
    // request when it returns instead of starting a second one inside it.
    if (m_bInLoad)
        return;
    m_bInLoad = TRUE;
    while (m_bLoadPending && m_hWnd) {
        m_bLoadPending = FALSE;
        const UINT request = m_nPreviewRequest;
        const CString path = m_strPreviewPath;
        m_picture.FreePicture();
        const BOOL loaded = m_picture.Load(path);
        if (request != m_nPreviewRequest || !m_hWnd) {
            // Another item was selected meanwhile: this picture describes
            // nothing the page shows.
            m_picture.FreePicture();
            continue;
        }
        if (loaded) {
            CString size;
            size.Format("%4d x %4d", m_picture.m_nWidth, m_picture.m_nHeight);
            m_bShowLoading = FALSE;
            RedrawPreview();
            m_staticSize.SetWindowText(size);
        } else {
            // "Loading..." stays; the loader said what went wrong.
            RedrawPreview();
        }
    }
    m_bInLoad = FALSE;
}

void CWallpaperBrowserPage::RedrawPreview()
{
    if (!m_hWnd)
        return;
    ::InvalidateRect(m_hWnd, &m_rectPreview, FALSE);
    ::UpdateWindow(m_hWnd);
}

void CWallpaperBrowserPage::DrawLoading(HDC dc)
{
    CSelectObjectGuard font(dc, m_fontLoading.GetSafeHandle());
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = ::SetTextColor(dc, RGB(255, 255, 255));
    RECT rect = m_rectPreview;
    ::DrawTextA(dc, kLoading, -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    ::SetTextColor(dc, oldColour);
    ::SetBkMode(dc, oldMode);
}

void CWallpaperBrowserPage::OnPaint(HDC printDC)
{
    CPaintDC dc(this, printDC);
    if (m_picture.m_pPicture)
        m_picture.Draw(&dc, m_rectPreview);
    else
        ::FillRect(dc, &m_rectPreview, ::GetSysColorBrush(COLOR_BTNFACE));
    if (m_bShowLoading)
        DrawLoading(dc);
}
