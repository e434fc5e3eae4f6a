#pragma once
// One set of live catalogues for a whole test program, as the application
// object owns one for the whole run; header-only, for the programs that
// link the catalogue room.
#include <windows.h>

#include <mutex>

#include "catalogue/Catalogues.h"

namespace testsupport {

inline Catalogues& TestCatalogues()
{
    static Catalogues catalogues;
    return catalogues;
}

// Whether the window catalogue lists `window` now.
inline bool WindowListed(HWND window)
{
    Catalogues& catalogues = TestCatalogues();
    std::lock_guard<CCriticalSection> guard(catalogues.windowLock);
    for (int i = 0; i < catalogues.windowCatalogue.GetSize(); ++i)
        if (catalogues.windowCatalogue[i]->GetHandle() == window)
            return true;
    return false;
}

} // namespace testsupport
