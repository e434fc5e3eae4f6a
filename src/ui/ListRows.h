#pragma once
// A list of keys (windows, processes) shown as rows with an icon each, in a
// list view that holds no rows of its own (LVS_OWNERDATA): the list asks for
// a row's text and image only when the row is drawn, so a desktop of
// thousands of windows costs questions to other programs for the rows on
// screen alone. A key keeps its image for as long as it is listed, and its
// text until the next tick. While the list paints, a row whose icon was never
// asked for is drawn without one: the icons are asked for after the paint
// (FetchVisibleImages), so that the rows show at once.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "framework/EnArray.h"
#include "framework/Handles.h"
#include "framework/ImageList.h"
#include "framework/ListCtrl.h"

// Column 0: the image column (20 pixels at 96 DPI, no heading); column 1:
// left-aligned text under `heading`, `textWidth` pixels at 96 DPI wide. Both
// scaled to `dpi`.
void InsertIconColumns(CListCtrl& list, const wchar_t* heading, int textWidth, UINT dpi);
// Widens or narrows every column from the scale `previousDpi` to `dpi`.
void RescaleColumns(CListCtrl& list, UINT previousDpi, UINT dpi);

// Creates (or creates anew, empty) an image list of small icons for `dpi`
// (16 x 16 at 96 DPI) with 32-bit colour and a mask and gives it to `list`
// as its small-image list; sets full-row selection.
void SetUpIconList(CListCtrl& list, CImageList& images, UINT dpi);

// Copies `icon` into `images` and releases it; the new image's index, or -1
// (the icon is released either way).
int AddIconAndRelease(CImageList& images, HICON icon);
// Same, but without an icon a blank image keeps the place: the image index
// stays the row index.
int AddIconOrBlank(CImageList& images, HICON icon);

// Inserts a row at `index` whose column 0 shows only image `image` and
// whose column 1 holds `text`. Returns the index the list gave the new row,
// or -1. (For lists that hold their rows.)
int InsertIconRow(CListCtrl& list, int index, const wchar_t* text, int image);

// Makes the image index of every row from `first` on equal to its row index.
void RenumberRowImages(CListCtrl& list, int first = 0);

// After row `removed` has gone: selects the row that took its place, or the
// new last row when it was the last one.
void SelectRowAfterRemoval(CListCtrl& list, int removed);

// Whether the mouse cursor lies below the last row of `list` (a double click
// there falls on the empty area, not on a row). A list with no rows counts
// as all empty area.
bool CursorBelowLastRow(const CListCtrl& list);

template <class KEY>
class CVirtualRows {
public:
    // Forgets every text and image (the image list is emptied too).
    void Clear(CImageList& images)
    {
        text_.clear();
        image_.clear();
        freeImages_.clear();
        images.RemoveAll();
    }

    // The rows become `wanted` (each key once, in order). Texts and images
    // of keys still listed stay; the images of keys gone are reused.
    // Returns the first row whose key changed (the row count when none).
    int Show(CListCtrl& list, CEnArray<KEY>& keys, const std::vector<KEY>& wanted)
    {
        const std::unordered_set<KEY> kept(wanted.begin(), wanted.end());
        for (auto it = image_.begin(); it != image_.end();) {
            if (kept.count(it->first) != 0) {
                ++it;
                continue;
            }
            if (it->second >= 0)
                freeImages_.push_back(it->second);
            text_.erase(it->first);
            it = image_.erase(it);
        }
        int firstChanged = 0;
        const int common = std::min(keys.GetSize(), static_cast<int>(wanted.size()));
        while (firstChanged < common && keys[firstChanged] == wanted[static_cast<size_t>(firstChanged)])
            ++firstChanged;
        const bool countChanged = keys.GetSize() != static_cast<int>(wanted.size());
        keys.RemoveAll();
        for (const KEY& key : wanted)
            keys.Add(key);
        // The list erases the rows that came or went itself; of the rows
        // that changed, only those on screen need drawing again (each row
        // redrawn costs the window manager a round trip).
        if (countChanged)
            list.SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(wanted.size()),
                             LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
        const auto [top, end] = RowsOnScreen(list, keys.GetSize());
        const int from = std::max(firstChanged, top);
        if (from < end)
            list.SendMessage(LVM_REDRAWITEMS, static_cast<WPARAM>(from), end - 1);
        return firstChanged;
    }

    // The text of `key`, asked of textOf only the first time since the last
    // tick.
    template <class TextOf>
    const std::wstring& Text(KEY key, TextOf textOf)
    {
        auto [entry, isNew] = text_.try_emplace(key);
        if (isNew)
            entry->second = textOf(key);
        return entry->second;
    }

    // The image of `key`, its icon asked of iconOf (the icon is released
    // here) the first time; -1 when it has none.
    template <class IconOf>
    int Image(KEY key, CImageList& images, IconOf iconOf)
    {
        auto [entry, isNew] = image_.try_emplace(key, -1);
        if (!isNew)
            return entry->second;
        const UniqueIcon icon(iconOf(key));
        if (!icon)
            return -1;
        if (!freeImages_.empty() && images.Replace(freeImages_.back(), icon.get())) {
            entry->second = freeImages_.back();
            freeImages_.pop_back();
        } else {
            entry->second = images.Add(icon.get());
        }
        return entry->second;
    }

    // A tick: the texts are read again, those of the rows on screen at once
    // (redrawn where they changed), the others when they next show.
    template <class TextOf>
    void RefreshTexts(CListCtrl& list, const CEnArray<KEY>& keys, TextOf textOf)
    {
        std::unordered_map<KEY, std::wstring> before;
        before.swap(text_);
        const auto [top, end] = RowsOnScreen(list, keys.GetSize());
        for (int row = top; row < end; ++row) {
            auto old = before.find(keys[row]);
            if (old == before.end())
                continue; // never drawn: asked when it is
            const std::wstring& now = Text(keys[row], textOf);
            if (now != old->second)
                list.SendMessage(LVM_REDRAWITEMS, static_cast<WPARAM>(row), row);
        }
    }

    // Answers the list's LVN_GETDISPINFO for a row of `keys`: column 0 its
    // image, column 1 its text.
    template <class TextOf, class IconOf>
    void FillDisplayInfo(NMLVDISPINFOW& info, const CEnArray<KEY>& keys, CImageList& images, TextOf textOf,
                         IconOf iconOf)
    {
        LVITEMW& item = info.item;
        if (item.iItem < 0 || item.iItem >= keys.GetSize())
            return;
        const KEY key = keys[item.iItem];
        if ((item.mask & LVIF_IMAGE) != 0) {
            int image = -1;
            if (item.iSubItem == 0 && painting_ && image_.count(key) == 0)
                iconsPutOff_ = true;
            else if (item.iSubItem == 0)
                image = Image(key, images, iconOf);
            item.iImage = image >= 0 ? image : I_IMAGENONE;
        }
        if ((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr && item.cchTextMax > 0) {
            const std::wstring* text = item.iSubItem == 1 ? &Text(key, textOf) : nullptr;
            const size_t room = static_cast<size_t>(item.cchTextMax) - 1;
            const size_t length = text != nullptr ? std::min(text->size(), room) : 0;
            if (length > 0)
                text->copy(item.pszText, length);
            item.pszText[length] = L'\0';
        }
    }

    // The list's custom-draw stage `stage` with `rowCount` rows: the answer
    // for the list. While it paints, rows whose icons were never asked for
    // are drawn without them; at its end `iconsPutOff` tells whether it drew
    // any. (A list view with no rows tells no end of its paint: none starts.)
    LRESULT PaintStage(DWORD stage, int rowCount, bool& iconsPutOff)
    {
        if (stage == CDDS_PREPAINT && rowCount > 0) {
            painting_ = true;
            return CDRF_NOTIFYPOSTPAINT;
        }
        if (stage == CDDS_POSTPAINT) {
            painting_ = false;
            iconsPutOff = iconsPutOff_;
            iconsPutOff_ = false;
        }
        return CDRF_DODEFAULT;
    }

    // Asks for the icons of at most `most` rows on screen that were drawn
    // without them, and draws those rows again. Returns whether rows on
    // screen are still waiting for theirs.
    template <class IconOf>
    bool FetchVisibleImages(CListCtrl& list, const CEnArray<KEY>& keys, CImageList& images, IconOf iconOf, int most)
    {
        painting_ = false;
        const auto [top, end] = RowsOnScreen(list, keys.GetSize());
        for (int row = top; row < end; ++row) {
            if (image_.count(keys[row]) != 0)
                continue;
            if (most-- == 0)
                return true;
            if (Image(keys[row], images, iconOf) >= 0)
                list.SendMessage(LVM_REDRAWITEMS, static_cast<WPARAM>(row), row);
        }
        return false;
    }

    // Whether `key` has an image (its icon has been asked for and found).
    bool HasImage(KEY key) const
    {
        auto known = image_.find(key);
        return known != image_.end() && known->second >= 0;
    }

private:
    // The rows [first, end) that the list shows now, of `count`.
    static std::pair<int, int> RowsOnScreen(CListCtrl& list, int count)
    {
        const int top = std::max(static_cast<int>(list.SendMessage(LVM_GETTOPINDEX, 0, 0)), 0);
        const int perPage = static_cast<int>(list.SendMessage(LVM_GETCOUNTPERPAGE, 0, 0));
        return {std::min(top, count), std::min(count, top + perPage + 1)};
    }

    std::unordered_map<KEY, std::wstring> text_;
    std::unordered_map<KEY, int> image_; // -1: asked, no icon
    std::vector<int> freeImages_;
    bool painting_ = false;
    bool iconsPutOff_ = false;
};
