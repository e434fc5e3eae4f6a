#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "catalogue/WindowCatalogue.h"
#include "choices/WindowRules.h"
#include "framework/EnArray.h"
#include "system/ProcessInfo.h"

// The chosen executable files: heap strings owned by the set (removing an
// element deletes its string), full paths in upper case.
class CPathSet : public COwningArray<std::wstring> {
public:
    // Appends a new string holding `path` upper-cased; returns its index.
    int AddPath(const std::wstring& path);
    // Index of the first element whose text equals `path` upper-cased, or -1.
    int FindPath(const std::wstring& path) const;
};

// The user's choices of what to hide, owned by the application object.
// User-interface thread only: the pages change them at any time, and the
// engine takes a copy when it is armed.
struct HideChoices {
    CEnArray<HWND> hideWindowSet;           // chosen windows
    CEnArray<unsigned long> hideProcessSet; // chosen process ids
    CPathSet hideFileSet;                   // chosen executables
    CRuleList hideRules;                    // title and class rules

    // The window that the process and file rules never hide and that is
    // brought to the front after a hide; a record of its own, or null.
    std::unique_ptr<CCvWnd> topWindow;
};
