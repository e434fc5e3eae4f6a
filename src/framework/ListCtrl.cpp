#include "framework/ListCtrl.h"

#include "framework/ImageList.h"

HIMAGELIST CListCtrl::SetImageList(CImageList* imageList, int imageListType)
{
    return ListView_SetImageList(m_hWnd, imageList ? imageList->GetSafeHandle() : nullptr, imageListType);
}

HIMAGELIST CListCtrl::GetImageList(int imageListType) const
{
    return ListView_GetImageList(m_hWnd, imageListType);
}

DWORD CListCtrl::SetExtendedStyle(DWORD exStyle)
{
    return static_cast<DWORD>(::SendMessageW(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, exStyle));
}

DWORD CListCtrl::GetExtendedStyle() const
{
    return ListView_GetExtendedListViewStyle(m_hWnd);
}

int CListCtrl::InsertColumn(int column, const wchar_t* heading, int format, int width)
{
    LVCOLUMNW col{};
    col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    col.fmt = format;
    col.cx = width;
    col.pszText = const_cast<wchar_t*>(heading ? heading : L"");
    col.iSubItem = column;
    return static_cast<int>(::SendMessageW(m_hWnd, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&col)));
}

int CListCtrl::GetColumnCount() const
{
    HWND header = ListView_GetHeader(m_hWnd);
    return header ? Header_GetItemCount(header) : 0;
}

int CListCtrl::GetColumnWidth(int column) const
{
    return ListView_GetColumnWidth(m_hWnd, column);
}

int CListCtrl::GetColumnFormat(int column) const
{
    LVCOLUMNW col{};
    col.mask = LVCF_FMT;
    if (!::SendMessageW(m_hWnd, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&col)))
        return -1;
    return col.fmt;
}

std::wstring CListCtrl::GetColumnHeading(int column) const
{
    wchar_t buffer[256] = {};
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = buffer;
    col.cchTextMax = 256;
    if (!::SendMessageW(m_hWnd, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&col)))
        return std::wstring();
    return buffer;
}

int CListCtrl::InsertItem(UINT mask, int item, const wchar_t* text, UINT state, UINT stateMask, int image, LPARAM param)
{
    LVITEMW row{};
    row.mask = mask;
    row.iItem = item;
    row.pszText = const_cast<wchar_t*>(text ? text : L"");
    row.state = state;
    row.stateMask = stateMask;
    row.iImage = image;
    row.lParam = param;
    return static_cast<int>(::SendMessageW(m_hWnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row)));
}

int CListCtrl::InsertItem(int item, const wchar_t* text, int image)
{
    return InsertItem(LVIF_TEXT | LVIF_IMAGE, item, text, 0, 0, image, 0);
}

bool CListCtrl::SetItemText(int item, int subItem, const wchar_t* text)
{
    LVITEMW row{};
    row.iSubItem = subItem;
    row.pszText = const_cast<wchar_t*>(text ? text : L"");
    return ::SendMessageW(m_hWnd, LVM_SETITEMTEXTW, item, reinterpret_cast<LPARAM>(&row)) != 0;
}

std::wstring CListCtrl::GetItemText(int item, int subItem) const
{
    // The control copies at most the buffer's size; grow until the text fits.
    std::wstring text(256, L'\0');
    for (;;) {
        LVITEMW row{};
        row.iSubItem = subItem;
        row.pszText = text.data();
        row.cchTextMax = static_cast<int>(text.size());
        const int length =
            static_cast<int>(::SendMessageW(m_hWnd, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&row)));
        if (length < static_cast<int>(text.size()) - 1 || text.size() >= 32768) {
            text.resize(wcsnlen(text.c_str(), text.size()));
            return text;
        }
        text.assign(text.size() * 2, L'\0');
    }
}

bool CListCtrl::SetItemImage(int item, int image)
{
    LVITEMW row{};
    row.mask = LVIF_IMAGE;
    row.iItem = item;
    row.iImage = image;
    return ::SendMessageW(m_hWnd, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&row)) != 0;
}

int CListCtrl::GetItemImage(int item) const
{
    LVITEMW row{};
    row.mask = LVIF_IMAGE;
    row.iItem = item;
    if (!::SendMessageW(m_hWnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&row)))
        return -1;
    return row.iImage;
}

bool CListCtrl::DeleteItem(int item)
{
    return ListView_DeleteItem(m_hWnd, item);
}

bool CListCtrl::DeleteAllItems()
{
    return ListView_DeleteAllItems(m_hWnd);
}

int CListCtrl::GetItemCount() const
{
    return ListView_GetItemCount(m_hWnd);
}

int CListCtrl::GetSelectionMark() const
{
    return ListView_GetSelectionMark(m_hWnd);
}

int CListCtrl::SetSelectionMark(int item)
{
    return ListView_SetSelectionMark(m_hWnd, item);
}

int CListCtrl::GetNextItem(int item, int flags) const
{
    return ListView_GetNextItem(m_hWnd, item, flags);
}

UINT CListCtrl::GetSelectedCount() const
{
    return ListView_GetSelectedCount(m_hWnd);
}

bool CListCtrl::SetItemState(int item, UINT state, UINT stateMask)
{
    LVITEMW row{};
    row.state = state;
    row.stateMask = stateMask;
    return ::SendMessageW(m_hWnd, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&row)) != 0;
}

UINT CListCtrl::GetItemState(int item, UINT stateMask) const
{
    return ListView_GetItemState(m_hWnd, item, stateMask);
}

bool CListCtrl::GetItemRect(int item, RECT* rect, UINT code) const
{
    if (!rect)
        return false;
    return ListView_GetItemRect(m_hWnd, item, rect, code);
}
