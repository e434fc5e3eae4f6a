#pragma once
#include <windows.h>

#include "hiding/EngineTargets.h"
#include "hiding/HiddenWindows.h"

// The hide and restore operations of the engine thread, on a run's copy of
// the targets. The caller holds the lock that guards `hidden` (the engine's
// engineLock); the process and file rules also need windowLock, since they
// walk the window catalogue. None of them waits on a hung window: such a
// window is hidden and shown asynchronously.

// Hides every live window of targets.windows; returns how many were hidden.
int HideChosenWindows(const EngineTargets& targets, HiddenWindows& hidden);
// Hides every catalogued window (except the top window) whose process is one
// of targets.processes; returns how many.
int HideProcessWindows(const EngineTargets& targets, HiddenWindows& hidden);
// Hides every catalogued window (except the top window) whose executable
// path, upper-cased, is one of targets.files; returns how many.
int HideFileWindows(const EngineTargets& targets, HiddenWindows& hidden);
// What the check after a hide found.
struct HideCheck {
    int ownedHidden = 0;     // windows hidden with the window that owns them
    int pushesNotHidden = 0; // pushes (of the three hides) of windows still in view
    int minimised = 0;       // windows that stayed in view and were minimised instead
    int leftInView = 0;      // windows that could be neither hidden nor minimised
    // Windows the user still sees, one way or the other.
    int NotHidden() const { return minimised + leftInView; }
};

// After the three hides: hides the visible windows that the hidden ones own
// (down the owner chain), then sorts out every window whose hide has not
// taken. A hung window keeps its queued hide and counts as hidden; any other
// (one of an elevated program, or one that refuses) is minimised instead,
// and one still in view after that is left alone and taken off the stack.
// Each window not hidden gets a line in the log. Same locks as the hides.
HideCheck FinishHide(const EngineTargets& targets, HiddenWindows& hidden);

// Brings the top window forward (restoring it first if minimised) and
// reports it on the debugger output; 1 if there was a live top window, else 0.
int BringTopWindow(const EngineTargets& targets);
// Shows the hidden stack from the top down without activating any window
// (a window that owns others before them, a minimised one from minimised),
// then makes the first window hidden the foreground window, once; empties
// the stack and clears the journal. Returns how many were shown.
int RestoreHidden(HiddenWindows& hidden);
