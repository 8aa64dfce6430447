#include "framework/ListCtrl.h"

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow)
{
    m_list.Reset(ImageList_Create(cx, cy, flags, initial, grow));
    return m_list.IsValid();
}

BOOL CImageList::SetImageCount(UINT count)
{
    return m_list && ImageList_SetImageCount(m_list.Get(), count);
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

int CListCtrl::InsertItem(int item, LPCSTR text, int image)
{
    LVITEMA lvi{};
    lvi.mask = LVIF_TEXT | LVIF_IMAGE;
    lvi.iItem = item;
    lvi.pszText = const_cast<LPSTR>(text);
    lvi.iImage = image;
    return static_cast<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&lvi)));
}

BOOL CListCtrl::SetItemText(int item, int subItem, LPCSTR text)
{
    LVITEMA lvi{};
    lvi.iSubItem = subItem;
    lvi.pszText = const_cast<LPSTR>(text);
    return SendMessage(LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi)) != 0;
}

CString CListCtrl::GetItemText(int item, int subItem) const
{
    // Paths are at most MAX_PATH; the buffer grows until the text fits.
    for (int size = MAX_PATH + 1;; size *= 2) {
        CString buffer;
        char* text = buffer.GetBuffer(size);
        LVITEMA lvi{};
        lvi.iSubItem = subItem;
        lvi.pszText = text;
        lvi.cchTextMax = size;
        const int length =
            static_cast<int>(SendMessage(LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi)));
        buffer.ReleaseBuffer(length);
        if (length < size - 1 || size > 0x10000)
            return buffer;
    }
}

BOOL CListCtrl::DeleteAllItems()
{
    return SendMessage(LVM_DELETEALLITEMS) != 0;
}

int CListCtrl::GetItemCount() const
{
    return static_cast<int>(SendMessage(LVM_GETITEMCOUNT));
}

void CListCtrl::SetItemCount(int count)
{
    SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(count), LVSICF_NOINVALIDATEALL);
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
