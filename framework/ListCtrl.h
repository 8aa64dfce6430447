// List views and image lists, as thin as the settings pages need them.
//
// CListCtrl is a list view (SysListView32) of a dialog template, bound with
// DDX_Control: report columns, the item count of a virtual list
// (LVS_OWNERDATA: its owner gives each row's text and image when asked),
// the selection and the small-icon image list.
// CImageList owns one image list; it is destroyed with its owner, so a list
// view showing it must be given LVS_SHAREIMAGELISTS (the view then leaves it
// alone) or the list would be destroyed twice.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/Controls.h"
#include "framework/Handles.h"
#include "framework/String.h"

class CImageList {
public:
    CImageList() = default;
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    void DeleteImageList() { m_list.Reset(); }
    // Copies `icon` into the list at `index` (-1 appends); the caller keeps
    // the icon.  The image's index, or -1.
    int Replace(int index, HICON icon);

    HIMAGELIST GetSafeHandle() const { return m_list.Get(); }
    operator HIMAGELIST() const { return m_list.Get(); }

private:
    CImageListHandle m_list;
};

class CListCtrl : public CSubclassWnd {
public:
    DWORD GetExtendedStyle() const;
    void SetExtendedStyle(DWORD style);
    int InsertColumn(int column, LPCSTR heading, int format, int width);
    int GetItemCount() const;
    // A virtual list's number of rows; what shows stays where it is and
    // only rows in view are drawn again.
    void SetItemCount(int count);
    int GetNextItem(int item, UINT flags) const;
    HIMAGELIST SetImageList(HIMAGELIST list, int kind);
    HIMAGELIST GetImageList(int kind) const;
};
