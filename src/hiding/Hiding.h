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
// Brings the top window forward (restoring it first if minimised) and
// reports it on the debugger output; 1 if there was a live top window, else 0.
int BringTopWindow(const EngineTargets& targets);
// Shows the hidden stack from the top down, each shown window made the
// foreground window, then empties it and clears the journal; returns how
// many were shown.
int RestoreHidden(HiddenWindows& hidden);
