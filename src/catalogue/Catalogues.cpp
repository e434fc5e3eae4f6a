#include "catalogue/Catalogues.h"

#include <mutex>

Catalogues::Catalogues()
    : windowRefresher([this] { RefreshWindows(); }), processRefresher([this] { RefreshProcesses(); })
{
}

void Catalogues::RefreshWindows()
{
    std::lock_guard<CCriticalSection> guard(windowLock);
    windowCatalogue.Refresh();
}

void Catalogues::RefreshProcesses()
{
    std::lock_guard<CCriticalSection> guard(processLock);
    processCatalogue.Refresh();
}

void Catalogues::RequestRefreshersStop()
{
    windowRefresher.RequestStop();
    processRefresher.RequestStop();
}
