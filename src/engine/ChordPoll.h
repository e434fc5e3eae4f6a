#pragma once
// The chord poll: one run of the engine's loop, which turns what the input
// wait brings into the run's commands. Toggle first (the 1000 ms debounce
// and the hold that repeats it), then the show-dialog chord, then the tray's
// "Restore && Exit", then the chord that hides the window in front; one
// command per poll.
//
// Split so that a test can run it wait by wait and poll by poll on its own
// thread (messages come from the calling thread's queue). The loop: Listen
// once, then AwaitPoll and Poll in turn.
#include <windows.h>

#include "engine/Engine.h"
#include "engine/HideSession.h"
#include "engine/InputWait.h"

class EnginePoller {
public:
    // Fresh state: not hidden, last toggle at tick 0. Acts through
    // `engine`'s operations and hide session on `run`'s copies.
    EnginePoller(CEngine& engine, EngineRun& run);
    EnginePoller(const EnginePoller&) = delete;
    EnginePoller& operator=(const EnginePoller&) = delete;

    // The input wait's (InputWait.h).
    void Listen() { wait_.Listen(); }
    bool AwaitPoll() { return wait_.AwaitPoll(); }

    // One poll: sleep 20 ms (not when a press is already known), take at
    // most one command, then toggle, show the dialog, or restore and exit.
    // Returns false when the loop must end.
    bool Poll();

    bool Hidden() const { return hidden_; }
    DWORD LastToggleTick() const { return lastToggleTick_; }
    bool Listening() const { return wait_.Listening(); }
    bool PollingBlind() const { return wait_.PollingBlind(); }
    ChordWatch WatchOf(int id) const { return wait_.WatchOf(id); }

private:
    void Toggle();
    void ShowDialogAndEnd();
    void RestoreAndExit();
    void HideWindowInFront();

    const EngineOperations& ops_;
    CHideSession& session_;
    EngineRun& run_;
    CInputWait wait_;
    bool hidden_ = false;
    DWORD lastToggleTick_ = 0;
    bool hideActiveHeld_ = false; // the chord was down at the last poll
    DWORD lastHideActiveTick_ = 0;
};
