#include "sheet/WallpaperBrowserPage.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "engine/Conversion.h"
#include "engine/WallpaperChanger.h"
#include "engine/WallpaperSelection.h"
#include "flow/ChangeFlow.h"
#include "framework/FolderDialog.h"
#include "framework/Gdi.h"
#include "framework/Handles.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "sheet/TapestrixSheet.h"

// One walk of a folder tree on its own thread and what it has found but not
// yet handed over.  The page owns it and joins the thread before it goes.
struct CFolderListing {
    CString root;
    std::atomic<bool> stop{false};
    CKernelHandle thread;

    std::mutex lock;  // guards everything below
    HWND page = nullptr;  // told of new finds while the walk may still post
    BOOL posted = FALSE;  // a message is on its way: no second one needed
    BOOL done = FALSE;
    std::vector<CString> folders;
    std::string names;
    std::vector<CListedFile> files;
};

namespace {

const char kActiveWallpaperFailed[] = "Unable to set as active desktop wallpaper";
const char kNoSize[] = "??? x ???";
const char kLoading[] = "Loading...";

const UINT WM_WALK_RESULTS = WM_APP + 0x40;
// The walk hands its finds over at most this often: the count moves some
// ten times a second while the page does next to nothing per file.
const DWORD kHandOverMs = 100;
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

char FoldCase(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names compare as Explorer's list does at first sight: letters without
// regard to case; bytes beyond ASCII (UTF-8 or the code page) by value.
// The locale's comparison would cost a hundred times more on 100 000 names.
int CompareFolded(LPCSTR a, LPCSTR b)
{
    for (;; ++a, ++b) {
        const unsigned char x = static_cast<unsigned char>(FoldCase(*a));
        const unsigned char y = static_cast<unsigned char>(FoldCase(*b));
        if (x != y || !x)
            return x < y ? -1 : x > y ? 1 : 0;
    }
}

BOOL StartsFolded(LPCSTR text, LPCSTR prefix)
{
    for (; *prefix; ++text, ++prefix)
        if (FoldCase(*text) != FoldCase(*prefix))
            return FALSE;
    return TRUE;
}

DWORD WINAPI RunFolderListing(void* parameter)
{
    CFolderListing& job = *static_cast<CFolderListing*>(parameter);
    // Finds since the last hand-over.  The page's number of each folder the
    // walk has numbered (none yet: -1): a folder's files come together, but
    // its own files may follow its sub-folders' again.
    std::vector<CString> folders;
    std::string names;
    std::vector<CListedFile> files;
    std::vector<UINT> numberOfWalkFolder;
    UINT folderCount = 0, lastWalkFolder = UINT(-1), lastNumber = 0;
    DWORD handedOver = GetTickCount();

    auto handOver = [&](BOOL done) {
        const std::lock_guard<std::mutex> hold(job.lock);
        // The page has usually taken the last hand-over: the buffers change
        // hands instead of being copied.
        if (job.files.empty() && job.names.empty() && job.folders.empty()) {
            job.files.swap(files);
            job.names.swap(names);
            job.folders.swap(folders);
        } else {
            const UINT base = static_cast<UINT>(job.names.size());
            for (CListedFile& file : files)
                file.name += base;
            job.files.insert(job.files.end(), files.begin(), files.end());
            job.names += names;
            job.folders.insert(job.folders.end(), folders.begin(), folders.end());
        }
        files.clear();
        names.clear();
        folders.clear();
        job.done = done;
        if (!job.posted && job.page)
            job.posted = PostMessageA(job.page, WM_WALK_RESULTS, 0, 0);
    };
    WalkFolderTree(
        job.root,
        [&](const CFoundFile& file) {
            if (file.folderNumber != lastWalkFolder) {
                if (numberOfWalkFolder.size() <= file.folderNumber)
                    numberOfWalkFolder.resize(file.folderNumber + 1, UINT(-1));
                UINT& number = numberOfWalkFolder[file.folderNumber];
                if (number == UINT(-1)) {
                    number = folderCount++;
                    folders.push_back(file.folder);
                }
                lastWalkFolder = file.folderNumber;
                lastNumber = number;
            }
            files.push_back(CListedFile{static_cast<UINT>(names.size()), lastNumber});
            names.append(file.name, static_cast<size_t>(file.nameLength) + 1);
            if ((files.size() & 255) == 0 && GetTickCount() - handedOver >= kHandOverMs) {
                handOver(FALSE);
                handedOver = GetTickCount();
            }
        },
        nullptr, TRUE, &job.stop);
    handOver(TRUE);
    return 0;
}

}  // namespace

CWallpaperBrowserPage::CWallpaperBrowserPage() : CPropertyPage(IDD_WALLPAPER_BROWSER)
{
    m_strFolder = ReadAppString(AppSetting::WallpaperFolder);

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
    StopWalk();
    m_thumbnail.Free();
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
    WriteAppDword(AppSetting::CurrentActivePage, PAGE_WALLPAPER_BROWSER);
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
        if (header && header->idFrom == IDC_FILE_LIST) {
            *result = 0;
            switch (header->code) {
            case LVN_ITEMCHANGED:
                *result = OnItemChangedFileList(reinterpret_cast<const NMLISTVIEW*>(lParam));
                return TRUE;
            case LVN_GETDISPINFOW: OnGetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(lParam)); return TRUE;
            case LVN_ODFINDITEMW: *result = OnFindItem(reinterpret_cast<const NMLVFINDITEMW*>(lParam)); return TRUE;
            case LVN_COLUMNCLICK: OnColumnClick(reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem); return TRUE;
            default: break;
            }
        }
    }
    // The list's questions come in UTF-16 (it is asked again in
    // InitFileList): an ANSI search text reaches an ANSI parent unconverted
    // under Wine, and UTF-16 holds every name the code page gives.
    if (message == WM_NOTIFYFORMAT && lParam == NF_QUERY && reinterpret_cast<HWND>(wParam) == m_listFiles.m_hWnd) {
        *result = NFR_UNICODE;
        return TRUE;
    }
    if (message == WM_PAINT || message == WM_PRINTCLIENT) {
        OnPaint(message == WM_PRINTCLIENT ? reinterpret_cast<HDC>(wParam) : nullptr);
        return TRUE;
    }
    if (message == WM_WALK_RESULTS) {
        TakeWalkResults();
        return TRUE;
    }
    if (message == WM_TIMER && wParam == IDT_PREVIEW) {
        KillTimer(IDT_PREVIEW);
        LoadPreview();
        return TRUE;
    }
    if (message == WM_DESTROY)
        StopWalk();
    return CPropertyPage::OnWndMsg(message, wParam, lParam, result);
}

// ---------------------------------------------------------------- the list

void CWallpaperBrowserPage::InitFileList()
{
    m_listFiles.SetExtendedStyle(m_listFiles.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    // The page owns the image list and destroys it; the list view must not
    // destroy it a second time when it goes.
    ::SetWindowLongA(m_listFiles, GWL_STYLE, ::GetWindowLongA(m_listFiles, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    ::SendMessageA(m_listFiles, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(m_hWnd), NF_REQUERY);

    RECT client{};
    ::GetClientRect(m_listFiles, &client);
    const int width = client.right / 3;
    m_listFiles.InsertColumn(0, "File Name", LVCFMT_LEFT, width);
    // The rest, less the vertical scroll bar a longer list brings: no
    // horizontal one for a short list.
    // The rest, less the vertical scroll bar a longer list brings: no
    // horizontal one beside it.
    m_listFiles.InsertColumn(1, "File Location", LVCFMT_LEFT, client.right - width - ::GetSystemMetrics(SM_CXVSCROLL));

    if (!m_imageList.Create(16, 16, ILC_COLOR, 0, 1))
        return;
    m_listFiles.SetImageList(m_imageList, LVSIL_SMALL);
}

void CWallpaperBrowserPage::RefreshFileList()
{
    if (!::PathIsDirectoryA(m_strFolder))
        return;
    m_editFolder.SetWindowText(m_strFolder);
    WriteAppString(AppSetting::WallpaperFolder, m_strFolder);
    // Nothing selected remains: no thumbnail, no size, no button to press.
    ShowUnsupported();
    StopWalk();
    ListView_SetItemState(m_listFiles, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    m_listFiles.SetItemCount(0);
    m_folders.clear();
    m_names.clear();
    m_files.clear();
    m_strFileCount.Empty();
    m_staticCount.SetWindowText("");
    if (m_bSeen)
        StartWalk();
    else
        m_bWalkPending = TRUE;
}

void CWallpaperBrowserPage::StartWalk()
{
    m_bWalkPending = FALSE;
    m_walk.reset(new CFolderListing);
    m_walk->root = m_strFolder;
    m_walk->page = m_hWnd;
    m_strFileCount = "Counting...";
    m_staticCount.SetWindowText(m_strFileCount);
    m_walk->thread.Reset(::CreateThread(nullptr, 0, RunFolderListing, m_walk.get(), 0, nullptr));
    // Without a thread of its own the walk runs here; its results still
    // come by the posted message.
    if (!m_walk->thread)
        RunFolderListing(m_walk.get());
}

void CWallpaperBrowserPage::StopWalk()
{
    if (!m_walk)
        return;
    m_walk->stop = true;
    {
        const std::lock_guard<std::mutex> hold(m_walk->lock);
        m_walk->page = nullptr;
    }
    // The walk looks at the flag before every entry: it ends at once.
    if (m_walk->thread)
        ::WaitForSingleObject(m_walk->thread.Get(), INFINITE);
    m_walk.reset();
}

void CWallpaperBrowserPage::TakeWalkResults()
{
    if (!m_walk)
        return;  // a message from a walk stopped meanwhile
    std::vector<CString> folders;
    std::string names;
    std::vector<CListedFile> files;
    BOOL done = FALSE;
    {
        const std::lock_guard<std::mutex> hold(m_walk->lock);
        folders.swap(m_walk->folders);
        names.swap(m_walk->names);
        files.swap(m_walk->files);
        done = m_walk->done;
        m_walk->posted = FALSE;
    }
    const UINT base = static_cast<UINT>(m_names.size());
    for (CListedFile& file : files)
        file.name += base;
    if (m_names.empty())
        m_names.swap(names);
    else
        m_names += names;
    m_folders.insert(m_folders.end(), folders.begin(), folders.end());
    m_files.insert(m_files.end(), files.begin(), files.end());

    const int count = static_cast<int>(m_files.size());
    if (done) {
        StopWalk();
        m_strFileCount.Format("%d", count);
        if (m_nSortColumn >= 0)
            SortFiles();
    } else {
        m_strFileCount.Format("Counting... %d files", count);
    }
    // Rows added below the view cost no repaint of the list.
    ListView_SetItemCountEx(m_listFiles, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    m_staticCount.SetWindowText(m_strFileCount);
}

void CWallpaperBrowserPage::OnGetDispInfo(NMLVDISPINFOW* info)
{
    LVITEMW& item = info->item;
    if (item.iItem < 0 || item.iItem >= static_cast<int>(m_files.size()))
        return;
    const CListedFile& file = m_files[static_cast<size_t>(item.iItem)];
    if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
        const LPCSTR text = item.iSubItem == 0 ? NameOf(file) : static_cast<LPCSTR>(m_folders[file.folder]);
        if (!::MultiByteToWideChar(CP_ACP, 0, text, -1, item.pszText, item.cchTextMax)) {
            // Longer than the list's buffer: what fits.
            const int length = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
            std::wstring wide(static_cast<size_t>(std::max(length, 1)), L'\0');
            ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
            lstrcpynW(item.pszText, wide.c_str(), item.cchTextMax);
        }
    }
    if (item.mask & LVIF_IMAGE)
        item.iImage = IconOfName(NameOf(file));
}

int CWallpaperBrowserPage::IconOfName(LPCSTR name)
{
    // The icon of a type, not of a file: one question to the shell per
    // ending, whatever the folder holds.
    LPCSTR dot = strrchr(name, '.');
    std::string ending = dot ? dot : "";
    std::transform(ending.begin(), ending.end(), ending.begin(), FoldCase);
    const auto known = m_iconOfEnding.find(ending);
    if (known != m_iconOfEnding.end())
        return known->second;
    SHFILEINFOA info{};
    ::SHGetFileInfoA(("file" + ending).c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                     SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES);
    // The image list keeps a copy; the shell's icon goes at once.
    const CIconHandle icon(info.hIcon);
    const int image = icon ? m_imageList.Replace(-1, icon.Get()) : -1;
    m_iconOfEnding[ending] = image;
    return image;
}

int CWallpaperBrowserPage::OnFindItem(const NMLVFINDITEMW* find) const
{
    // Typing in the list jumps to the next name that starts with what was
    // typed, as Explorer does.
    const LVFINDINFOW& what = find->lvfi;
    if (!(what.flags & (LVFI_STRING | LVFI_PARTIAL)) || !what.psz || m_files.empty())
        return -1;
    char typed[MAX_PATH * 3] = "";
    if (!::WideCharToMultiByte(CP_ACP, 0, what.psz, -1, typed, sizeof typed, nullptr, nullptr))
        return -1;
    const int count = static_cast<int>(m_files.size());
    const int start = find->iStart >= 0 && find->iStart < count ? find->iStart : 0;
    for (int step = 0; step < count; ++step) {
        const int i = (start + step) % count;
        if (i < start && !(what.flags & LVFI_WRAP))
            break;
        const LPCSTR name = NameOf(m_files[static_cast<size_t>(i)]);
        if ((what.flags & LVFI_PARTIAL) ? StartsFolded(name, typed) : CompareFolded(name, typed) == 0)
            return i;
    }
    return -1;
}

void CWallpaperBrowserPage::OnColumnClick(int column)
{
    if (column < 0 || column > 1)
        return;
    m_nSortColumn = column;
    SortFiles();
}

void CWallpaperBrowserPage::SortFiles()
{
    const int selected = m_listFiles.GetNextItem(-1, LVNI_SELECTED);
    const UINT selectedName = selected >= 0 ? m_files[static_cast<size_t>(selected)].name : UINT(-1);

    // Folders are ranked once, so the sort compares numbers for them.
    std::vector<UINT> byText(m_folders.size());
    for (UINT i = 0; i < byText.size(); ++i)
        byText[i] = i;
    std::sort(byText.begin(), byText.end(),
              [this](UINT a, UINT b) { return CompareFolded(m_folders[a], m_folders[b]) < 0; });
    std::vector<UINT> rank(m_folders.size());
    for (UINT i = 0; i < byText.size(); ++i)
        rank[byText[i]] = i;
    const BOOL byName = m_nSortColumn == 0;
    std::stable_sort(m_files.begin(), m_files.end(), [&](const CListedFile& a, const CListedFile& b) {
        const int names = CompareFolded(NameOf(a), NameOf(b));
        const int folders = rank[a.folder] < rank[b.folder] ? -1 : rank[a.folder] > rank[b.folder] ? 1 : 0;
        const int first = byName ? names : folders, second = byName ? folders : names;
        return first != 0 ? first < 0 : second < 0;
    });

    // The selected file stays selected where it went; the thumbnail
    // already shows it.
    if (selected >= 0) {
        const auto moved = std::find_if(m_files.begin(), m_files.end(),
                                        [selectedName](const CListedFile& f) { return f.name == selectedName; });
        const int item = static_cast<int>(moved - m_files.begin());
        m_bSorting = TRUE;
        ListView_SetItemState(m_listFiles, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_SetItemState(m_listFiles, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(m_listFiles, item, FALSE);
        m_bSorting = FALSE;
    }
    ::InvalidateRect(m_listFiles, nullptr, FALSE);
}

BOOL CWallpaperBrowserPage::GetSelectedPath(CString* path) const
{
    const int item = m_listFiles.GetNextItem(-1, LVNI_SELECTED);
    if (item < 0 || item >= static_cast<int>(m_files.size()))
        return FALSE;
    const CListedFile& file = m_files[static_cast<size_t>(item)];
    *path = JoinFolderPath(m_folders[file.folder], NameOf(file));
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
    // describe the selected file.  A sort moves the selection, not the file.
    if (m_bSorting || !(change->uChanged & LVIF_STATE) || change->iItem < 0 ||
        change->iItem >= static_cast<int>(m_files.size()) || !(change->uNewState & LVIS_SELECTED) ||
        (change->uOldState & LVIS_SELECTED))
        return 0;
    const CListedFile& file = m_files[static_cast<size_t>(change->iItem)];
    const CString name = NameOf(file);

    if (IsPicture(name)) {
        ::EnableWindow(m_btnSetActive, TRUE);
        ::EnableWindow(m_btnSetNormal, TRUE);
        ++m_nPreviewRequest;
        m_strPreviewPath = JoinFolderPath(m_folders[file.folder], name);
        m_thumbnail.Free();
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
        ShowUnsupported();
    }
    return 0;
}

void CWallpaperBrowserPage::ShowUnsupported()
{
    ::EnableWindow(m_btnSetNormal, FALSE);
    ::EnableWindow(m_btnSetActive, FALSE);
    // Cleared for good: the thumbnail is let go, so no repaint brings it back.
    ++m_nPreviewRequest;
    m_bLoadPending = FALSE;
    KillTimer(IDT_PREVIEW);
    m_thumbnail.Free();
    m_bShowLoading = FALSE;
    RedrawPreview();
    m_staticSize.SetWindowText(kNoSize);
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
        const BOOL loaded =
            m_thumbnail.Make(path, m_rectPreview.right - m_rectPreview.left, m_rectPreview.bottom - m_rectPreview.top,
                             ::GetSysColor(COLOR_BTNFACE));
        if (request != m_nPreviewRequest || !m_hWnd) {
            // Another item was selected meanwhile: this picture describes
            // nothing the page shows.
            m_thumbnail.Free();
            continue;
        }
        if (loaded) {
            CString size;
            size.Format("%4d x %4d", m_thumbnail.m_nWidth, m_thumbnail.m_nHeight);
            m_bShowLoading = FALSE;
            RedrawPreview();
            m_staticSize.SetWindowText(size);
        } else {
            // A picture that cannot be shown is shown as what it is.
            ShowUnsupported();
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
    // The first real paint is the first moment anyone sees the page: the
    // walk waits for it.
    if (!printDC && !m_bSeen) {
        m_bSeen = TRUE;
        if (m_bWalkPending)
            StartWalk();
    }
    CPaintDC dc(this, printDC);
    if (!m_thumbnail.Draw(dc, m_rectPreview.left, m_rectPreview.top))
        ::FillRect(dc, &m_rectPreview, ::GetSysColorBrush(COLOR_BTNFACE));
    if (m_bShowLoading)
        DrawLoading(dc);
}
