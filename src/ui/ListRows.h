#pragma once
// A list of keys (windows, processes) shown as rows with an icon each, kept
// in step with what it should show without touching the rows that stay:
// a key keeps its image for as long as it is listed, so following a busy
// desktop costs icons only for what is new.
#include <windows.h>

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "framework/EnArray.h"
#include "framework/Handles.h"
#include "framework/ImageList.h"
#include "framework/ListCtrl.h"

// Inserts a row at `index` whose column 0 shows only image `image` and
// whose column 1 holds `text`. Returns the index the list gave the new row,
// or -1.
int InsertIconRow(CListCtrl& list, int index, const wchar_t* text, int image);

// Which image of the list's image list each listed key shows. The rows, the
// keys and the images stay the same in number; image i is row i's right
// after a fill, but once rows come and go a row shows its key's image
// wherever that lies.
template <class KEY>
class CRowImages {
public:
    using Wanted = std::vector<std::pair<KEY, std::wstring>>;

    void Clear() { imageOf_.clear(); }
    void Note(KEY key, int image) { imageOf_[key] = image; }

    // Brings `list` (its keys in `keys`, its images in `images`) in step
    // with `wanted`, in that order: rows of keys no longer wanted go, new
    // keys get a row with the icon iconOf(key) gives (the caller's to
    // release; no icon, no row), keys that moved have their row rewritten,
    // and a text that changed is set again. A key wanted twice is listed once.
    template <class IconOf>
    void Merge(CListCtrl& list, CImageList& images, CEnArray<KEY>& keys, const Wanted& wanted, IconOf iconOf);

private:
    // Moves images past the rows' count into the free places below it, so
    // that the image list holds one image per row again.
    void Compact(CListCtrl& list, CImageList& images, const std::vector<KEY>& order, std::vector<int>& freeImages);

    std::unordered_map<KEY, int> imageOf_;
};

template <class KEY>
template <class IconOf>
void CRowImages<KEY>::Merge(CListCtrl& list, CImageList& images, CEnArray<KEY>& keys, const Wanted& wanted,
                            IconOf iconOf)
{
    // A row inserted above the visible ones scrolls the list's picture at
    // once; with many such rows that costs more than all the rest. The list
    // is drawn again once, at the end. (Only a list that is shown: turning
    // drawing back on shows a hidden window.)
    const bool shown = (::GetWindowLongW(list.m_hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
    if (shown)
        list.SendMessage(WM_SETREDRAW, FALSE, 0);
    std::unordered_set<KEY> wantedKeys;
    wantedKeys.reserve(wanted.size());
    for (const auto& entry : wanted)
        wantedKeys.insert(entry.first);

    // Rows of keys no longer wanted go first, from the bottom up; their
    // images are free for new keys.
    std::vector<int> freeImages;
    for (int row = keys.GetSize() - 1; row >= 0; --row) {
        if (wantedKeys.count(keys[row]) != 0)
            continue;
        list.DeleteItem(row);
        auto known = imageOf_.find(keys[row]);
        if (known != imageOf_.end()) {
            freeImages.push_back(known->second);
            imageOf_.erase(known);
        }
    }
    std::vector<KEY> order; // the keys of the rows as they stand
    order.reserve(wanted.size());
    for (int row = 0; row < keys.GetSize(); ++row)
        if (wantedKeys.count(keys[row]) != 0)
            order.push_back(keys[row]);

    std::unordered_set<KEY> placed;
    placed.reserve(wanted.size());
    int row = 0;
    for (const auto& [key, text] : wanted) {
        if (!placed.insert(key).second)
            continue;
        auto known = imageOf_.find(key);
        if (known == imageOf_.end()) {
            const UniqueIcon icon(iconOf(key));
            if (!icon)
                continue; // asked again the next time
            int image = -1;
            if (!freeImages.empty() && images.Replace(freeImages.back(), icon.get())) {
                image = freeImages.back();
                freeImages.pop_back();
            } else {
                image = images.Add(icon.get());
            }
            if (image < 0)
                continue;
            if (InsertIconRow(list, row, text.c_str(), image) < 0) {
                freeImages.push_back(image);
                continue;
            }
            imageOf_[key] = image;
            order.insert(order.begin() + row, key);
        } else if (row < static_cast<int>(order.size()) && order[static_cast<size_t>(row)] == key) {
            if (list.GetItemText(row, 1) != text)
                list.SetItemText(row, 1, text.c_str());
        } else if (row < static_cast<int>(order.size())) {
            // Moved: this row shows it from now on, and the key the row
            // showed is rewritten into its own place further down.
            order[static_cast<size_t>(row)] = key;
            list.SetItemImage(row, known->second);
            list.SetItemText(row, 1, text.c_str());
        } else if (InsertIconRow(list, row, text.c_str(), known->second) >= 0) {
            order.push_back(key);
        } else {
            continue;
        }
        ++row;
    }
    // Every key still listed is wanted, so every row has been placed; rows
    // left below (which a list that refused an insertion may leave) go.
    while (static_cast<int>(order.size()) > row) {
        list.DeleteItem(static_cast<int>(order.size()) - 1);
        order.pop_back();
    }
    const std::unordered_set<KEY> listed(order.begin(), order.end());
    for (auto it = imageOf_.begin(); it != imageOf_.end();) {
        if (listed.count(it->first) == 0) {
            freeImages.push_back(it->second);
            it = imageOf_.erase(it);
        } else {
            ++it;
        }
    }
    Compact(list, images, order, freeImages);
    keys.RemoveAll();
    for (const KEY& key : order)
        keys.Add(key);
    if (shown) {
        list.SendMessage(WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(list.m_hWnd, nullptr, TRUE);
    }
}

template <class KEY>
void CRowImages<KEY>::Compact(CListCtrl& list, CImageList& images, const std::vector<KEY>& order,
                              std::vector<int>& freeImages)
{
    const int rows = static_cast<int>(order.size());
    if (images.GetImageCount() <= rows)
        return;
    std::vector<int> holes;
    for (int image : freeImages)
        if (image < rows)
            holes.push_back(image);
    for (int row = 0; row < rows && !holes.empty(); ++row) {
        int& image = imageOf_[order[static_cast<size_t>(row)]];
        if (image < rows || !images.CopyImage(holes.back(), image))
            continue;
        image = holes.back();
        holes.pop_back();
        list.SetItemImage(row, image);
    }
    // Only once nothing shows an image past the rows' count may it go.
    for (const KEY& key : order)
        if (imageOf_[key] >= rows)
            return;
    images.Truncate(rows);
}
