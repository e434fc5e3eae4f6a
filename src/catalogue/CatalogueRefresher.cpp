#include "catalogue/CatalogueRefresher.h"

#include "framework/Log.h"
#include "framework/Thread.h"

CCatalogueRefresher::CCatalogueRefresher(Rebuild rebuild, DWORD periodMs)
    : rebuild_(std::move(rebuild)), periodMs_(periodMs)
{
}

CWinThread CCatalogueRefresher::Start()
{
    if (done.load() == 0)
        return {};
    stop = 0;
    done = 0;
    // A wake left over from the last stop would cut the first period short.
    wake_.Reset();
    CWinThread thread;
    if (!thread.Start([this] { Run(); })) {
        Log::Failure(L"Starting a catalogue refresher");
        done = 1;
    }
    return thread;
}

void CCatalogueRefresher::RequestStop()
{
    stop = 1;
    wake_.Set();
}

void CCatalogueRefresher::Rest(bool resting)
{
    // A rest begins at the end of the period under way; the end of a rest
    // wakes the thread, so the catalogue is current as soon as can be.
    if (resting_.exchange(resting) && !resting)
        wake_.Set();
}

void CCatalogueRefresher::Run()
{
    // The stop flag is cleared by Start, never here: a stop asked for
    // before this thread got to run must not be lost.
    while (!stop.load()) {
        if (!resting_.load())
            rebuild_();
        WaitPeriod();
    }
    done = 1;
}

void CCatalogueRefresher::WaitPeriod()
{
    if (wake_) {
        if (stop.load())
            return;
        const DWORD period = resting_.load() ? INFINITE : periodMs_;
        // Cleared before `stop` and `resting_` are looked at again, and set
        // only after either changed: no wake is lost.
        if (wake_.Wait(period) && !stop.load())
            wake_.Reset();
        return;
    }
    // Without the event: look at the flags often enough that shutdown (which
    // polls every 100 ms) is not held up for a whole period.
    for (DWORD waited = 0; (waited < periodMs_ || resting_.load()) && !stop.load(); waited += 100)
        Sleep(100);
}
