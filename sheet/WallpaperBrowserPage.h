// CWallpaperBrowserPage: the wallpaper folder and every file found below
// it, with the shell's icon for each file's type, their number, a thumbnail
// with the picture's pixel size, and the two buttons that set the selected
// file as the normal or the Active Desktop wallpaper.
//
// The folder tree is walked on a thread of its own, started when the page
// is first painted (a sheet left on another page costs nothing) and stopped
// and joined when the page goes or another folder is chosen; the walk hands
// its finds over in batches through a locked buffer and a posted message,
// and the page shows "Counting... N files" until it ends.  The list is
// virtual: the page keeps one compact table (each folder once, names in one
// buffer) and the list asks for a row's text and icon as it draws it.  A
// picture's thumbnail is made once the selection has settled ("Loading..."
// shows at once) and kept at the preview's size, so a repaint is a copy.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controls/CaptionFrame.h"
#include "controls/ReadOnlyEdit.h"
#include "engine/Thumbnail.h"
#include "framework/Controls.h"
#include "framework/ListCtrl.h"
#include "framework/PropertySheet.h"

// One listed file: where its name starts in the page's name buffer and
// which of the page's folders holds it.
struct CListedFile {
    UINT name;
    UINT folder;
};

struct CFolderListing;

class CWallpaperBrowserPage : public CPropertyPage {
public:
    CWallpaperBrowserPage();
    ~CWallpaperBrowserPage() override;

    CButton m_btnSetActive;
    CStatic m_staticSize;
    CStatic m_staticPreview;
    CButton m_btnSetNormal;
    CStatic m_staticCount;
    CReadOnlyEdit m_editFolder;
    CListCtrl m_listFiles;
    CCaptionFrame m_frameFolder;
    CString m_strFileCount;
    CString m_strFolder;
    CFont m_fontLoading;
    RECT m_rectPreview{};
    CImageList m_imageList;
    CThumbnail m_thumbnail;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void OnBrowseFolder();
    void OnSetAsNormal();
    void OnSetAsActive();
    LRESULT OnItemChangedFileList(const NMLISTVIEW* change);
    void OnGetDispInfo(NMLVDISPINFOW* info);
    int OnFindItem(const NMLVFINDITEMW* find) const;
    void OnColumnClick(int column);
    void OnPaint(HDC printDC);

    void InitFileList();
    void RefreshFileList();

private:
    void StartWalk();
    void StopWalk();
    void TakeWalkResults();
    void SortFiles();
    int IconOfName(LPCSTR name);
    LPCSTR NameOf(const CListedFile& file) const { return m_names.c_str() + file.name; }
    void ShowUnsupported();
    void LoadPreview();
    void RedrawPreview();
    void DrawLoading(HDC dc);
    // The selected item's full path; FALSE with no selection.
    BOOL GetSelectedPath(CString* path) const;

    // The walk's results: each folder once, every name in one buffer (each
    // ended by its NUL), one small record per file, in the list's order.
    std::vector<CString> m_folders;
    std::string m_names;
    std::vector<CListedFile> m_files;
    int m_nSortColumn = -1;  // -1: the walk's own order
    BOOL m_bSorting = FALSE;
    // The shell's small icon of each file ending, as an index of m_imageList.
    std::map<std::string, int> m_iconOfEnding;

    std::unique_ptr<CFolderListing> m_walk;
    BOOL m_bWalkPending = FALSE;  // a folder to walk once the page is seen
    BOOL m_bSeen = FALSE;

    // The thumbnail: the picture to load once the selection settles, the
    // number of the selection that asked for it, and what the area shows.
    CString m_strPreviewPath;
    UINT m_nPreviewRequest = 0;
    BOOL m_bLoadPending = FALSE;
    BOOL m_bInLoad = FALSE;
    BOOL m_bShowLoading = FALSE;
};
