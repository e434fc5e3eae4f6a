#include "hiding/HideClock.h"

#include <atomic>

namespace {

std::atomic<const HideClock*> testClock{nullptr};

} // namespace

void SetHideClockForTests(const HideClock* clock)
{
    testClock.store(clock);
}

ULONGLONG HideNow()
{
    const HideClock* clock = testClock.load();
    return clock != nullptr && clock->now != nullptr ? clock->now() : GetTickCount64();
}

void HidePause(DWORD ms)
{
    const HideClock* clock = testClock.load();
    if (clock != nullptr && clock->pause != nullptr)
        clock->pause(ms);
    else if (ms == 0)
        SwitchToThread();
    else
        Sleep(ms);
}
