#pragma once
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "framework/Controls.h"

class CImageList;

// A list view control: a thin wrapper over a list view that a dialog
// template created (bound with DDX_Control or Attach).
class CListCtrl : public CWnd {
public:
    // Image lists: `imageListType` is LVSIL_SMALL, LVSIL_NORMAL or
    // LVSIL_STATE. Returns the list previously set.
    HIMAGELIST SetImageList(CImageList* imageList, int imageListType);
    HIMAGELIST GetImageList(int imageListType) const;

    DWORD SetExtendedStyle(DWORD exStyle);
    DWORD GetExtendedStyle() const;

    // Columns. `format` is an LVCFMT_ value; returns the new column's index
    // or -1.
    int InsertColumn(int column, const wchar_t* heading, int format, int width);
    int GetColumnCount() const;
    int GetColumnWidth(int column) const;
    // The format (LVCFMT_) of a column, or -1 when there is no such column.
    int GetColumnFormat(int column) const;
    std::wstring GetColumnHeading(int column) const;

    // Rows. InsertItem returns the index the control gives the new row, or -1.
    int InsertItem(UINT mask, int item, const wchar_t* text, UINT state, UINT stateMask, int image, LPARAM param);
    int InsertItem(int item, const wchar_t* text, int image);
    bool SetItemText(int item, int subItem, const wchar_t* text);
    std::wstring GetItemText(int item, int subItem) const;
    bool SetItemImage(int item, int image);
    // The image index of a row, or -1 when there is no such row.
    int GetItemImage(int item) const;
    bool DeleteItem(int item);
    bool DeleteAllItems();
    int GetItemCount() const;

    // Selection. The selection mark is the row most recently selected.
    int GetSelectionMark() const;
    int SetSelectionMark(int item);
    int GetNextItem(int item, int flags) const;
    int GetFirstSelectedItem() const { return GetNextItem(-1, LVNI_SELECTED); }
    UINT GetSelectedCount() const;
    bool SetItemState(int item, UINT state, UINT stateMask);
    UINT GetItemState(int item, UINT stateMask) const;

    // `code` is LVIR_BOUNDS, LVIR_ICON, LVIR_LABEL or LVIR_SELECTBOUNDS.
    bool GetItemRect(int item, RECT* rect, UINT code) const;
};
