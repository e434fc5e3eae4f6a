#pragma once
#include <windows.h>

#include <atomic>
#include <functional>

#include "framework/Handles.h"
#include "framework/Thread.h"

// A worker that keeps one catalogue current: it rebuilds it, then waits
// 500 ms, until asked to stop. The rebuild function takes the catalogue's
// lock itself, so the lock is held for exactly one rebuild. While nobody
// looks at the catalogue it can be told to rest: it then rebuilds nothing
// and sleeps until woken to work again or to stop.
//
// Stop/done protocol: `stop` is 0 and `done` 1 at load; `done` is 0 while the
// thread runs, and the thread sets it back to 1 as its last act. Shutdown
// sets `stop` (RequestStop also cuts the wait short) and waits for `done`.
// Setting `stop` alone ends the thread within one period.
class CCatalogueRefresher {
public:
    using Rebuild = std::function<void()>;
    static constexpr DWORD kPeriodMs = 500;

    // `periodMs`: the wait between rebuilds; tests give INFINITE, so that
    // only a wake (a stop, the end of a rest) can end a wait.
    explicit CCatalogueRefresher(Rebuild rebuild, DWORD periodMs = kPeriodMs);
    CCatalogueRefresher(const CCatalogueRefresher&) = delete;
    CCatalogueRefresher& operator=(const CCatalogueRefresher&) = delete;

    // Clears `stop` and `done`, then starts the thread, so that a stop
    // asked for at any time after this call is never lost. Returns the
    // thread (the caller owns it), or an empty one - with `done` back at 1 -
    // when the thread cannot be made. While a thread of this refresher still
    // runs, no second one is started (empty, flags untouched).
    [[nodiscard]] CWinThread Start();

    // Sets `stop` and wakes the thread from its wait.
    void RequestStop();

    // Resting: the thread ends the rebuild under way, if any, and rebuilds
    // no more until told to work again, which it does at once with a
    // rebuild. Any thread may call it, before or after Start.
    void Rest(bool resting);
    bool Resting() const { return resting_.load(); }

    std::atomic<int> stop{0};
    std::atomic<int> done{1};

private:
    void Run();
    void WaitPeriod();

    Rebuild rebuild_;
    DWORD periodMs_;
    std::atomic<bool> resting_{false};
    // Signalled by RequestStop and by the end of a rest: the thread waits
    // out its period (or its rest) in one wait, since a wake-up costs as
    // much as a small rebuild, and still ends or works again at once.
    UniqueEvent wake_;
};
