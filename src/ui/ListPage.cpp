#include "ui/ListPage.h"

#include "framework/Dpi.h"
#include "framework/Handles.h"

int InsertIconRow(CListCtrl& list, int index, const wchar_t* text, int image)
{
    // Column 0 carries the image alone; the text goes into column 1 so that
    // it lines up under its heading, clear of the icon.
    const int row = list.InsertItem(LVIF_IMAGE, index, nullptr, 0, 0, image, 0);
    if (row >= 0)
        list.SetItemText(row, 1, text);
    return row;
}

void InsertIconColumns(CListCtrl& list, const wchar_t* heading, int textWidth, UINT dpi)
{
    list.InsertColumn(0, L"", LVCFMT_IMAGE, ScaleForDpi(20, dpi));
    list.InsertColumn(1, heading, LVCFMT_LEFT, ScaleForDpi(textWidth, dpi));
}

void RescaleColumns(CListCtrl& list, UINT previousDpi, UINT dpi)
{
    if (previousDpi == 0 || previousDpi == dpi)
        return;
    for (int column = 0; column < list.GetColumnCount(); ++column) {
        const int width = ::MulDiv(list.GetColumnWidth(column), static_cast<int>(dpi), static_cast<int>(previousDpi));
        list.SendMessage(LVM_SETCOLUMNWIDTH, column, MAKELPARAM(width, 0));
    }
}

void SetUpIconList(CListCtrl& list, CImageList& images, UINT dpi)
{
    const int size = SmallIconSize(dpi);
    images.Create(size, size, ILC_COLOR32 | ILC_MASK, 0, 100);
    // Given again even when only the size changed: the list then measures
    // its rows anew.
    list.SetImageList(&images, LVSIL_SMALL);
    list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
}

int AddIconAndRelease(CImageList& images, HICON icon)
{
    const UniqueIcon owned(icon);
    return owned ? images.Add(owned.get()) : -1;
}

int AddIconOrBlank(CImageList& images, HICON icon)
{
    const int image = AddIconAndRelease(images, icon);
    return image >= 0 ? image : images.AddBlank();
}

void RenumberRowImages(CListCtrl& list, int first)
{
    const int count = list.GetItemCount();
    for (int row = first < 0 ? 0 : first; row < count; ++row)
        list.SetItemImage(row, row);
}

void SelectRowAfterRemoval(CListCtrl& list, int removed)
{
    const int last = list.GetItemCount() - 1;
    const int row = removed <= last ? removed : removed - 1;
    if (row >= 0)
        list.SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
}

bool CursorBelowLastRow(const CListCtrl& list)
{
    const int count = list.GetItemCount();
    if (count <= 0)
        return true;
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(list.m_hWnd, &cursor);
    RECT last{};
    if (!list.GetItemRect(count - 1, &last, LVIR_BOUNDS))
        return true;
    return cursor.y > last.bottom;
}
