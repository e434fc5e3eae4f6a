#pragma once
// Keeps hidden what a hide chose while the windows are hidden: a window that
// appears later (a chosen program opens or shows one, or a hidden window
// gets a new dialog) is hidden too, joins the hidden stack and the journal,
// and comes back at the restore.
//
// It lives only while windows are hidden, on a thread of its own, and costs
// nothing otherwise. The system tells it of windows created and shown
// anywhere (WinEvent hooks, called on its thread between its waits). Some
// systems (Wine) tell of other programs' windows created but not of those
// shown, so until it has been told of one shown it also looks at every
// window again every kLookAgainMs; a window created by a chosen program is
// looked at every kPendingLookMs until it shows. A Store app's frame is
// looked at again when the app enters it.
#include <windows.h>

#include <memory>

#include "framework/Sync.h"
#include "hiding/EngineTargets.h"
#include "hiding/HiddenWindows.h"

class HiddenWatch {
public:
    static constexpr DWORD kLookAgainMs = 200;
    static constexpr DWORD kPendingLookMs = 15;

    HiddenWatch() = default;
    ~HiddenWatch() { Stop(); }
    HiddenWatch(const HiddenWatch&) = delete;
    HiddenWatch& operator=(const HiddenWatch&) = delete;

    // Starts watching for `targets`' windows and for windows owned by those
    // of `hidden`, which `lock` guards (and which must outlive the watch).
    // A watch already running is stopped first. Any thread.
    void Start(const EngineTargets& targets, HiddenWindows& hidden, CCriticalSection& lock);
    // Ends the watch and waits for its thread. Any thread but the watch's,
    // never while holding `lock`.
    void Stop();
    bool Running();

    // How many windows the watch has hidden since it started.
    int HiddenSoFar();
    // How many times it has looked at every window of its own accord.
    int LooksSoFar();
    // Whether it has been told of another program's window shown, and so
    // no longer looks of its own accord.
    bool EventDriven();
    // Hands the watch an event of another program's window as the system
    // would (Wine sends none of SHOW or PARENTCHANGE); false when no watch runs.
    bool SendEventForTests(DWORD event, HWND window);

    // What the watch's thread keeps (HiddenWatch.cpp).
    struct State;

private:
    CCriticalSection control_;
    std::shared_ptr<State> state_;
};

// The engine's way to start it (a slot of its operations table).
void WatchWhileHidden(HiddenWatch& watch, const EngineTargets& targets, HiddenWindows& hidden, CCriticalSection& lock);
