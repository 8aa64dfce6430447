#include "framework/ListCtrl.h"

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow)
{
    m_list.Reset(ImageList_Create(cx, cy, flags, initial, grow));
    return m_list.IsValid();
}

int CImageList::Replace(int index, HICON icon)
{
    return m_list ? ImageList_ReplaceIcon(m_list.Get(), index, icon) : -1;
}

DWORD CListCtrl::GetExtendedStyle() const
{
    return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE));
}

void CListCtrl::SetExtendedStyle(DWORD style)
{
    SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style));
}

int CListCtrl::InsertColumn(int column, LPCSTR heading, int format, int width)
{
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT | LVCF_FMT | LVCF_WIDTH | LVCF_SUBITEM;
    col.fmt = format;
    col.cx = width;
    col.pszText = const_cast<LPSTR>(heading);
    col.iSubItem = column;
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col)));
}

int CListCtrl::GetItemCount() const
{
    return static_cast<int>(SendMessage(LVM_GETITEMCOUNT));
}

void CListCtrl::SetItemCount(int count)
{
    SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(count), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

int CListCtrl::GetNextItem(int item, UINT flags) const
{
    return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(item), MAKELPARAM(flags, 0)));
}

HIMAGELIST CListCtrl::SetImageList(HIMAGELIST list, int kind)
{
    return reinterpret_cast<HIMAGELIST>(
        SendMessage(LVM_SETIMAGELIST, static_cast<WPARAM>(kind), reinterpret_cast<LPARAM>(list)));
}

HIMAGELIST CListCtrl::GetImageList(int kind) const
{
    return reinterpret_cast<HIMAGELIST>(SendMessage(LVM_GETIMAGELIST, static_cast<WPARAM>(kind)));
}
