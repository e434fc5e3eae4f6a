#include "framework/ImageList.h"

#include <vector>

CImageList::~CImageList()
{
    DeleteImageList();
}

bool CImageList::Create(int cx, int cy, UINT flags, int initial, int grow)
{
    DeleteImageList();
    m_hImageList = ImageList_Create(cx, cy, flags, initial, grow);
    return m_hImageList != nullptr;
}

bool CImageList::DeleteImageList()
{
    if (!m_hImageList)
        return false;
    ImageList_Destroy(m_hImageList);
    m_hImageList = nullptr;
    return true;
}

int CImageList::Add(HICON icon)
{
    if (!m_hImageList || !icon)
        return -1;
    return ImageList_AddIcon(m_hImageList, icon);
}

int CImageList::AddBlank()
{
    if (!m_hImageList)
        return -1;
    int cx = 0;
    int cy = 0;
    if (!ImageList_GetIconSize(m_hImageList, &cx, &cy) || cx <= 0 || cy <= 0)
        return -1;
    // An icon whose mask is all ones and whose colour is all zeros shows
    // nothing at all.
    const int maskBytes = ((cx + 15) / 16) * 2 * cy;
    std::vector<BYTE> andMask(static_cast<size_t>(maskBytes), 0xFF);
    std::vector<BYTE> xorMask(static_cast<size_t>(maskBytes), 0x00);
    HICON blank = CreateIcon(GetModuleHandleW(nullptr), cx, cy, 1, 1, andMask.data(), xorMask.data());
    if (!blank)
        return -1;
    const int index = ImageList_AddIcon(m_hImageList, blank);
    DestroyIcon(blank);
    return index;
}

bool CImageList::Remove(int index)
{
    // ImageList_Remove takes -1 as "remove all"; a bad index from a caller
    // must never empty the list.
    if (!m_hImageList || index < 0 || index >= GetImageCount())
        return false;
    return ImageList_Remove(m_hImageList, index);
}

bool CImageList::RemoveAll()
{
    if (!m_hImageList)
        return false;
    return ImageList_RemoveAll(m_hImageList);
}

bool CImageList::Replace(int index, HICON icon)
{
    if (!m_hImageList || !icon || index < 0 || index >= GetImageCount())
        return false;
    return ImageList_ReplaceIcon(m_hImageList, index, icon) == index;
}

bool CImageList::CopyImage(int to, int from)
{
    if (to == from)
        return to >= 0 && to < GetImageCount();
    // Through an icon rather than ImageList_Copy, which does not carry an
    // image's alpha channel everywhere.
    HICON icon = ExtractIcon(from);
    if (!icon)
        return false;
    const BOOL replaced = Replace(to, icon);
    DestroyIcon(icon);
    return replaced;
}

bool CImageList::Truncate(int count)
{
    if (!m_hImageList || count < 0)
        return false;
    if (count >= GetImageCount())
        return true;
    return ImageList_SetImageCount(m_hImageList, static_cast<UINT>(count));
}

int CImageList::GetImageCount() const
{
    return m_hImageList ? ImageList_GetImageCount(m_hImageList) : 0;
}

HICON CImageList::ExtractIcon(int index) const
{
    if (!m_hImageList || index < 0 || index >= GetImageCount())
        return nullptr;
    return ImageList_GetIcon(m_hImageList, index, ILD_NORMAL);
}
