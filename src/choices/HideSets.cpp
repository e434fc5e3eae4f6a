#include "choices/HideSets.h"

int CPathSet::AddPath(const std::wstring& path)
{
    return Add(std::make_unique<std::wstring>(UpperCasePath(path)));
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
