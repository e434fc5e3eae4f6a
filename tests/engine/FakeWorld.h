#pragma once
// One world the engine tests control: a clock, a keyboard, the input the
// engine sleeps on and the side actions, with every operation the engine
// calls logged together with the locks held at the time: [E] the engine's
// lock, [EW] it and windowLock. A test makes one (it becomes the current
// world for as long as it lives) and hands its Operations() to the engine;
// the tables' entries act on the current world.
#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "catalogue/Catalogues.h"
#include "engine/Engine.h"
#include "framework/Handles.h"
#include "framework/Sync.h"

namespace enginetest {

using Events = std::vector<std::string>;

Events operator+(Events a, const Events& b);

struct FakeWorld {
    FakeWorld();
    ~FakeWorld();
    FakeWorld(const FakeWorld&) = delete;
    FakeWorld& operator=(const FakeWorld&) = delete;

    static FakeWorld& Current();

    // The engine's tables acting on the current world.
    static EngineOperations Operations();

    // Logs `what` with the locks this thread holds.
    void Note(const std::string& what);
    // The log so far, emptied.
    Events Take();

    // The keyboard and the clock.
    std::set<int> heldKeys;
    std::atomic<DWORD> now{100000}; // the engine thread reads it too
    int keyReads = 0;
    // A started engine's thread sleeps and waits for real.
    bool realSleep = false;
    // Whether the `index`th started engine thread to stop listening (at its
    // end) has ended, waiting up to `timeoutMs` for it.
    bool WaitThreadEnded(size_t index, DWORD timeoutMs);

    // The hides: the first rule hides this many windows.
    int hideCount = 0;
    // The lock of the engine under test, and the catalogues whose windowLock
    // the hides are expected under.
    CCriticalSection* engineLockSeen = nullptr;
    Catalogues catalogues;

    // Run once, from inside the engine's next chord reading, hide, wait,
    // bringing forward of the top window (between the hide and its side
    // actions), or mute (before it is noted).
    std::function<void()> onChordRead, onHide, onWait, onBringTop, onMute;

    // The input the engine sleeps on: raw input records queued for it, what
    // the registration answers, and whether it still comes to the engine.
    std::deque<RAWINPUT> rawInputs;
    bool rawInputRegisters = true;
    bool rawInputInForce = true;
    DWORD lastWaitMs = 0;
    // Waits that nothing ends before the world gives up and stops `sleeper`.
    int idleWaitsLeft = 0;
    EngineRun* sleeper = nullptr;

    // The side actions' world as the fakes leave it.
    bool muteInForce = false;
    bool notifyAreaThere = true; // the shell has the notification area's windows
    OwnTrayIcon ownSeen;         // what the last show of the area was handed
    DisplayMode modeSeen;        // what the last display change was handed
    std::vector<std::wstring> executablesSeen;
    bool sessionsListable = true;

private:
    void NoteThreadEnding();

    CCriticalSection eventsLock_; // one test logs from the engine thread
    Events events_;
    std::vector<UniqueHandle> endingThreads_;
};

// Runs `hook` once, if set.
void RunOnce(std::function<void()>& hook);

} // namespace enginetest
