#include "recovery/FaultGuard.h"

#include <atomic>
#include <cstdlib>
#include <exception>

#include "recovery/HiddenMark.h"

namespace {

LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
std::terminate_handler previousTerminate = nullptr;
std::atomic<bool> inFaultHandler{false};
std::atomic<HiddenJournal*> guardedJournal{nullptr};

void ShowHiddenBeforeDying()
{
    // A fault inside this very handler comes back here: it must not loop.
    if (inFaultHandler.exchange(true))
        return;
    if (HiddenJournal* journal = guardedJournal.load())
        journal->ShowForFault();
    inFaultHandler.store(false);
}

[[noreturn]] void RestoreHiddenOnTerminate()
{
    ShowHiddenBeforeDying();
    if (previousTerminate != nullptr)
        previousTerminate();
    std::abort();
}

} // namespace

LONG WINAPI RestoreHiddenOnFault(EXCEPTION_POINTERS* pointers)
{
    ShowHiddenBeforeDying();
    // Called without a fault's record there is nothing to hand on.
    if (pointers == nullptr || previousFilter == nullptr)
        return EXCEPTION_CONTINUE_SEARCH;
    return previousFilter(pointers);
}

void ReleaseFaultGuard(HiddenJournal& journal)
{
    HiddenJournal* held = &journal;
    guardedJournal.compare_exchange_strong(held, nullptr);
}

void InstallFaultGuard(HiddenJournal& journal)
{
    MarkKey();
    guardedJournal.store(&journal);
    LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(RestoreHiddenOnFault);
    if (previous != RestoreHiddenOnFault)
        previousFilter = previous;
    std::terminate_handler terminate = std::set_terminate(RestoreHiddenOnTerminate);
    if (terminate != RestoreHiddenOnTerminate)
        previousTerminate = terminate;
}
