#include "catalogue/HideSets.h"

CEnArray<HWND> hideWindowSet;
CEnArray<unsigned long> hideProcessSet;
CPathSet hideFileSet;
CCvWnd* topWindow = nullptr;
std::wstring ownExecutablePath;

std::wstring UpperCasePath(const std::wstring& path)
{
    std::wstring upper = path;
    if (!upper.empty())
        CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    return upper;
}

CPathSet::~CPathSet()
{
    CPathSet::RemoveAll();
}

int CPathSet::AddPath(const std::wstring& path)
{
    return Add(new std::wstring(UpperCasePath(path)));
}

int CPathSet::FindPath(const std::wstring& path) const
{
    const std::wstring upper = UpperCasePath(path);
    for (int i = 0; i < GetSize(); ++i) {
        const std::wstring* item = GetAt(i);
        if (item && *item == upper)
            return i;
    }
    return -1;
}

void CPathSet::RemoveAll()
{
    for (std::wstring* item : items_)
        delete item;
    CEnArray<std::wstring*>::RemoveAll();
}

void CPathSet::RemoveAt(int index, int count)
{
    if (index < 0 || index >= GetSize() || count <= 0)
        return;
    int end = index + std::min(count, GetSize() - index);
    for (int i = index; i < end; ++i)
        delete items_[static_cast<size_t>(i)];
    CEnArray<std::wstring*>::RemoveAt(index, end - index);
}
