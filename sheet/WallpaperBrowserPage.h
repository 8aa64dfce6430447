// CWallpaperBrowserPage: the wallpaper folder and every file found below
// it, with the shell's icon per file, their number, a thumbnail with the
// picture's pixel size, and the two buttons that set the selected file as
// the normal or the Active Desktop wallpaper.
//
// The list fills in bounded slices after the page is initialised, so a
// folder of many thousand files shows the sheet at once and its progress
// while it fills; the count appears when the list is complete.  A picture's
// thumbnail is loaded once the selection has settled ("Loading..." shows at
// once), so moving through large pictures with the arrow keys never waits
// on each step.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "controls/CaptionFrame.h"
#include "controls/ReadOnlyEdit.h"
#include "engine/Picture.h"
#include "framework/Controls.h"
#include "framework/ListCtrl.h"
#include "framework/PropertySheet.h"

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
    CPicture m_picture;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void OnBrowseFolder();
    void OnSetAsNormal();
    void OnSetAsActive();
    LRESULT OnItemChangedFileList(const NMLISTVIEW* change);
    void OnPaint(HDC printDC);

    void InitFileList();
    void RefreshFileList();
    void ScanFolder(const CString& folder, CStringArray* names, CStringArray* folders);
    void FillFileList(const CStringArray& names, const CStringArray& folders);

private:
    void ScheduleFillSlice();
    void FillSlice();
    void FinishFill();
    void LoadPreview();
    void RedrawPreview();
    void DrawLoading(HDC dc);
    // The selected item's full path; FALSE with no selection.
    BOOL GetSelectedPath(CString* path) const;

    // The list being filled: the scan's two arrays and how far the list got.
    CStringArray m_fillNames;
    CStringArray m_fillFolders;
    int m_nFilled = 0;
    BOOL m_bFilling = FALSE;

    // The thumbnail: the picture to load once the selection settles, the
    // number of the selection that asked for it, and what the area shows.
    CString m_strPreviewPath;
    UINT m_nPreviewRequest = 0;
    BOOL m_bLoadPending = FALSE;
    BOOL m_bInLoad = FALSE;
    BOOL m_bShowLoading = FALSE;
};
