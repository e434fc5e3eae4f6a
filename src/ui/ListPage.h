#pragma once
// What the Windows, Processes and Executable Files pages share: rows that
// carry an icon in an image column, image lists kept in step with the rows,
// and (for the Windows and Processes pages) the whole two-list page: the
// list of what exists, the list of what is to be hidden, the timer that keeps
// the first in step with its catalogue, the double clicks, Reverse Select and
// Clear.
#include <windows.h>

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "framework/Dialog.h"
#include "framework/EnArray.h"
#include "framework/ImageList.h"
#include "framework/ListCtrl.h"
#include "framework/WinApp.h"
#include "ui/ListRows.h"
#include "ui/Texts.h"
#include "ui/res/resource.h"

// Timer 100 drives the synchronisation; event 1000 is the forced one made
// when the page is set up, so the lists are filled at once.
inline constexpr UINT_PTR PAGE_TIMER_ID = 100;
inline constexpr UINT_PTR FORCED_SYNC_EVENT = 1000;
inline constexpr UINT PAGE_TIMER_PERIOD_MS = 1000;
// Timer 101 asks, soon after a paint, for the icons of the rows it drew
// without them, a few rows per event so that the page stays responsive.
inline constexpr UINT_PTR ICON_TIMER_ID = 101;
inline constexpr int ICONS_PER_EVENT = 8;

// A page of two lists: "all" mirrors a catalogue (of windows or processes,
// identified by KEY), "hide" mirrors a hide set of the same keys.
//
// Invariants kept by every operation:
// - the all list holds no rows of its own (LVS_OWNERDATA): row i shows
//   element i of RowKeys(), with its text and its image of imagesAll asked
//   for when the row is first drawn or, when a paint draws it, by the icon
//   timer just after (see CVirtualRows);
// - row i of the hide list shows element i of the hide set with image i of
//   imagesHide.
template <class KEY>
class CListPairDlg : public CDialog {
public:
    struct Layout {
        int allListId;
        int hideListId;
        const wchar_t* columnHeading;
        const wchar_t* alreadyHiddenMessage;
    };

    CListPairDlg(UINT templateId, const Layout& layout, CEnArray<KEY>& hideSet)
        : CDialog(templateId), layout_(layout), hideSet_(hideSet)
    {
    }

    // Brings the all list in step with the catalogue and drops from the hide
    // set what is no longer there.
    virtual void SyncWithCatalogue() = 0;

    // Whether the page's timer runs: only while the dialog can be seen, so
    // that a hidden dialog's thread sleeps. The next tick follows the
    // catalogue again.
    void FollowCatalogue(bool follow);

    // Double click on the all list: puts the marked row into the hide set.
    // False when the double click fell below the last row and was ignored.
    bool AddMarkedToHideList();
    // Double click on the hide list: takes the marked row out of the set.
    bool RemoveMarkedFromHideList();
    // The hide set becomes every listed entry that was not in it.
    void ReverseSelect();
    void ClearHideList();

    CListCtrl allList;
    CListCtrl hideList;
    CImageList imagesAll;
    CImageList imagesHide;

protected:
    // The key shown by each row of the all list.
    virtual CEnArray<KEY>& RowKeys() = 0;
    // The text of a row of the all list, asked when the row shows.
    virtual std::wstring TextOfKey(KEY key) = 0;
    // The icon of a temporary record made from `key` (the caller releases
    // it), or null.
    virtual HICON IconOfKey(KEY key) = 0;
    // Whether an entry of the hide set still belongs there.
    virtual bool StillPresent(KEY key) = 0;
    // Asked after the already-hidden test of a double click: false (after
    // telling the user why) refuses the key.
    virtual bool MayHide(KEY) { return true; }
    // Keys that Reverse Select never puts into the hide set.
    virtual bool KeptOutOfReverse(KEY) { return false; }

    BOOL OnInitDialog() override;
    // Image lists at the new small-icon size, filled again for the rows as
    // they are, and the columns widened with the scale.
    void OnDpiChanged(UINT dpi) override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnTimer(UINT_PTR nIDEvent) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // For SyncWithCatalogue, while the catalogue's lock is held: whether the
    // catalogue's keys (keyOf of each record) differ from RowKeys().
    template <class Catalogue, class KeyOf>
    bool CatalogueDiffers(const Catalogue& catalogue, KeyOf keyOf)
    {
        const CEnArray<KEY>& rows = RowKeys();
        if (rows.GetSize() != catalogue.GetSize())
            return true;
        for (int i = 0; i < rows.GetSize(); ++i) {
            if (catalogue[i] == nullptr || keyOf(catalogue[i]) != rows[i])
                return true;
        }
        return false;
    }
    // The all list shows `keys` (each once), in order; what is drawn is
    // asked for when it shows.
    void ShowListedKeys(const std::vector<KEY>& keys) { rows_.Show(allList, RowKeys(), keys); }
    // A tick: the texts of the rows on screen are read again, the others
    // when they next show.
    void RefreshListedTexts()
    {
        rows_.RefreshTexts(allList, RowKeys(), [this](KEY key) { return TextOfKey(key); });
    }
    // The text a row of the all list shows.
    const std::wstring& ListedText(int row)
    {
        return rows_.Text(RowKeys()[row], [this](KEY key) { return TextOfKey(key); });
    }
    // Drops every hide-set entry that StillPresent rejects, with its row and
    // image, then renumbers the images of the hide list.
    void PruneHideList();

    CEnArray<KEY>& HideSet() { return hideSet_; }

private:
    // Appends `key` with `text` to the hide list; false if it has no icon or
    // the list refuses the row (the set is then as it was).
    bool AppendToHideList(KEY key, const std::wstring& text);

    Layout layout_;
    CEnArray<KEY>& hideSet_;
    CVirtualRows<KEY> rows_;
};

// ---- CListPairDlg ------------------------------------------------------------

template <class KEY>
BOOL CListPairDlg<KEY>::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetUpIconList(allList, imagesAll, GetDpi());
    SetUpIconList(hideList, imagesHide, GetDpi());
    InsertIconColumns(allList, layout_.columnHeading, 150, GetDpi());
    InsertIconColumns(hideList, layout_.columnHeading, 150, GetDpi());
    SetTimer(PAGE_TIMER_ID, PAGE_TIMER_PERIOD_MS);
    OnTimer(FORCED_SYNC_EVENT);
    return TRUE;
}

template <class KEY>
void CListPairDlg<KEY>::FollowCatalogue(bool follow)
{
    if (m_hWnd == nullptr)
        return; // made later, with its timer running
    if (follow)
        SetTimer(PAGE_TIMER_ID, PAGE_TIMER_PERIOD_MS);
    else
        KillTimer(PAGE_TIMER_ID);
}

template <class KEY>
void CListPairDlg<KEY>::OnDpiChanged(UINT dpi)
{
    const UINT previous = GetDpi();
    CDialog::OnDpiChanged(dpi);
    RescaleColumns(allList, previous, dpi);
    RescaleColumns(hideList, previous, dpi);
    // The rows stay; each gets its icon again, at the new size, as it shows.
    SetUpIconList(allList, imagesAll, dpi);
    rows_.Clear(imagesAll);
    ::InvalidateRect(allList.m_hWnd, nullptr, TRUE);
    SetUpIconList(hideList, imagesHide, dpi);
    for (int i = 0; i < hideList.GetItemCount() && i < hideSet_.GetSize(); ++i)
        AddIconOrBlank(imagesHide, IconOfKey(hideSet_[i]));
}

template <class KEY>
void CListPairDlg<KEY>::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, layout_.allListId, allList);
    DDX_Control(pDX, layout_.hideListId, hideList);
}

template <class KEY>
void CListPairDlg<KEY>::OnTimer(UINT_PTR nIDEvent)
{
    // The page shows a catalogue that changes twice a second; following it
    // costs work, so it is done only while someone can see the page. The
    // base handler is deliberately not called.
    if (nIDEvent == PAGE_TIMER_ID) {
        if (IsWindowVisible())
            SyncWithCatalogue();
    } else if (nIDEvent == FORCED_SYNC_EVENT) {
        SyncWithCatalogue();
    } else if (nIDEvent == ICON_TIMER_ID &&
               !rows_.FetchVisibleImages(
                   allList, RowKeys(), imagesAll, [this](KEY key) { return IconOfKey(key); }, ICONS_PER_EVENT)) {
        KillTimer(ICON_TIMER_ID);
    }
}

template <class KEY>
BOOL CListPairDlg<KEY>::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case IDC_REVERSE_SELECT:
            ReverseSelect();
            return TRUE;
        case IDC_CLEAR_HIDE_LIST:
            ClearHideList();
            return TRUE;
        default:
            break;
        }
    }
    return CDialog::OnCommand(wParam, lParam);
}

template <class KEY>
BOOL CListPairDlg<KEY>::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header != nullptr && header->code == LVN_GETDISPINFOW &&
        static_cast<int>(header->idFrom) == layout_.allListId) {
        rows_.FillDisplayInfo(
            *reinterpret_cast<NMLVDISPINFOW*>(lParam), RowKeys(), imagesAll, [this](KEY key) { return TextOfKey(key); },
            [this](KEY key) { return IconOfKey(key); });
        *result = 0;
        return TRUE;
    }
    if (header != nullptr && header->code == NM_CUSTOMDRAW && static_cast<int>(header->idFrom) == layout_.allListId) {
        // Asking another program for an icon may take a while: a paint
        // draws the rows first, and the icon timer asks for what it left out.
        bool iconsPutOff = false;
        const DWORD stage = reinterpret_cast<const NMCUSTOMDRAW*>(lParam)->dwDrawStage;
        *result = rows_.PaintStage(stage, RowKeys().GetSize(), iconsPutOff);
        if (iconsPutOff)
            SetTimer(ICON_TIMER_ID, USER_TIMER_MINIMUM);
        return TRUE;
    }
    if (header == nullptr || header->code != NM_DBLCLK)
        return CDialog::OnNotify(wParam, lParam, result);
    bool acted = false;
    if (static_cast<int>(header->idFrom) == layout_.allListId)
        acted = AddMarkedToHideList();
    else if (static_cast<int>(header->idFrom) == layout_.hideListId)
        acted = RemoveMarkedFromHideList();
    else
        return CDialog::OnNotify(wParam, lParam, result);
    // A double click on the empty area leaves the answer as it was.
    if (!acted)
        return FALSE;
    *result = 0;
    return TRUE;
}

template <class KEY>
bool CListPairDlg<KEY>::AddMarkedToHideList()
{
    const int mark = allList.GetSelectionMark();
    if (mark < 0)
        return true;
    // The mark stays on the row last clicked even when the double click
    // lands on the empty area below the rows.
    if (CursorBelowLastRow(allList))
        return false;
    const CEnArray<KEY>& rows = RowKeys();
    if (mark >= rows.GetSize())
        return true;
    const KEY key = rows[mark];
    if (hideSet_.Find(key) >= 0) {
        AfxMessageBox(layout_.alreadyHiddenMessage, MB_OK | MB_ICONINFORMATION);
        return true;
    }
    if (!MayHide(key))
        return true;
    AppendToHideList(key, ListedText(mark));
    return true;
}

template <class KEY>
bool CListPairDlg<KEY>::AppendToHideList(KEY key, const std::wstring& text)
{
    const int image = AddIconAndRelease(imagesHide, IconOfKey(key));
    if (image < 0)
        return false;
    const int row = hideList.GetItemCount();
    hideSet_.InsertAt(row, key);
    if (InsertIconRow(hideList, row, text.c_str(), row) < 0) {
        // A key the list does not show would be hidden unseen: keep the
        // set, the rows and the images the same length.
        hideSet_.RemoveAt(row);
        imagesHide.Remove(image);
        return false;
    }
    return true;
}

template <class KEY>
bool CListPairDlg<KEY>::RemoveMarkedFromHideList()
{
    const int mark = hideList.GetSelectionMark();
    if (mark < 0)
        return true;
    if (CursorBelowLastRow(hideList))
        return false;
    if (mark >= hideSet_.GetSize())
        return true;
    hideSet_.RemoveAt(mark);
    hideList.DeleteItem(mark);
    imagesHide.Remove(mark);
    RenumberRowImages(hideList, mark);
    SelectRowAfterRemoval(hideList, mark);
    return true;
}

template <class KEY>
void CListPairDlg<KEY>::ReverseSelect()
{
    const CEnArray<KEY>& rows = RowKeys();
    // Rows of the all list whose entries are in the hide set now (by key:
    // a row is marked when the first row of its key is).
    std::unordered_set<KEY> chosen;
    const int hidden = hideList.GetItemCount();
    for (int i = 0; i < hidden && i < hideSet_.GetSize(); ++i)
        chosen.insert(hideSet_[i]);
    std::unordered_set<KEY> seen;
    hideSet_.RemoveAll();
    hideList.DeleteAllItems();
    imagesHide.RemoveAll();

    const int listed = allList.GetItemCount();
    for (int i = 0; i < listed && i < rows.GetSize(); ++i) {
        const KEY key = rows[i];
        if (seen.insert(key).second && chosen.count(key) != 0)
            continue;
        if (KeptOutOfReverse(key))
            continue;
        AppendToHideList(key, ListedText(i));
    }
}

template <class KEY>
void CListPairDlg<KEY>::ClearHideList()
{
    hideList.DeleteAllItems();
    hideSet_.RemoveAll();
    imagesHide.RemoveAll();
}

template <class KEY>
void CListPairDlg<KEY>::PruneHideList()
{
    // The entries that stay move up over those that go, each image with its
    // entry, and the images left over go at once: removing them one by one
    // would copy the whole image list for each.
    const int count = std::min(hideList.GetItemCount(), hideSet_.GetSize());
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        if (!StillPresent(hideSet_[i])) {
            hideList.DeleteItem(kept);
            continue;
        }
        if (kept != i) {
            hideSet_[kept] = hideSet_[i];
            imagesHide.CopyImage(kept, i);
        }
        ++kept;
    }
    if (kept < count) {
        hideSet_.RemoveAt(kept, count - kept);
        imagesHide.Truncate(imagesHide.GetImageCount() - (count - kept));
    }
    RenumberRowImages(hideList);
}
