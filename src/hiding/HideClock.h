#pragma once
// The clock that the hide's waits are measured by. The waits have bounds
// (a stall limit, a deadline) that tests must be able to reach without
// sleeping through them: a test puts a clock of its own here and moves it
// on each pause. Null members (and a null clock) are the system's own.
#include <windows.h>

struct HideClock {
    ULONGLONG (*now)();
    // A short pause between two looks at windows that have not yet done
    // what they were asked; 0 only gives up the rest of the time slice.
    void (*pause)(DWORD ms);
};
void SetHideClockForTests(const HideClock* clock);

ULONGLONG HideNow();
void HidePause(DWORD ms);
