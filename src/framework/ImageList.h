#pragma once
#include <windows.h>

#include <commctrl.h>

// An image list the program owns: created with Create, destroyed with the
// object (or by DeleteImageList). List views that show it are created with
// LVS_SHAREIMAGELISTS, so they never destroy it behind our back.
class CImageList {
public:
    CImageList() = default;
    ~CImageList();
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    // Creates the list; a list already held is destroyed first. Non-zero on
    // success.
    bool Create(int cx, int cy, UINT flags, int initial, int grow);
    bool DeleteImageList();

    // Copies the icon into the list; the caller keeps (and releases) the
    // icon. Returns the new image's index, or -1.
    int Add(HICON icon);
    // Appends a fully transparent image; returns its index, or -1.
    int AddBlank();
    // Removes image `index`; the images after it move down by one.
    bool Remove(int index);
    // Removes every image.
    bool RemoveAll();
    // Puts a copy of `icon` in place of image `index` (the caller keeps the
    // icon); the other images keep their places.
    bool Replace(int index, HICON icon);
    // Puts a copy of image `from` in place of image `to`.
    bool CopyImage(int to, int from);
    // Keeps the first `count` images and drops the rest at once (removing
    // them one by one copies the whole list each time).
    bool Truncate(int count);
    int GetImageCount() const;
    // A new icon drawn from image `index` (the caller destroys it), or null.
    HICON ExtractIcon(int index) const;

    HIMAGELIST GetSafeHandle() const { return m_hImageList; }
    operator HIMAGELIST() const { return m_hImageList; }

private:
    HIMAGELIST m_hImageList = nullptr;
};
