#include "catalogue/Refreshers.h"

#include <mutex>

#include "catalogue/ProcessCatalogue.h"
#include "catalogue/WindowCatalogue.h"

CCatalogueRefresher windowRefresher([] {
    std::lock_guard<CCriticalSection> guard(windowLock);
    windowCatalogue.Refresh();
});

CCatalogueRefresher processRefresher([] {
    std::lock_guard<CCriticalSection> guard(processLock);
    processCatalogue.Refresh();
});

void RequestRefreshersStop()
{
    windowRefresher.RequestStop();
    processRefresher.RequestStop();
}
