#pragma once
#include <windows.h>

#include "catalogue/EnArray.h"
#include "framework/Sync.h"

// The hide and restore operations of the engine thread. The three hide
// operations run inside engineLock and windowLock (in that order); the top
// window step and the restore inside engineLock. None of them waits on a
// hung window: such a window is hidden and shown asynchronously.

// Handles hidden since the last restore, in the order they were hidden; a
// handle may appear more than once. Guarded by engineLock.
extern CEnArray<HWND> hiddenStack;
extern CCriticalSection engineLock;

// Hides every live window of hideWindowSet; returns how many were hidden.
int HideChosenWindows();
// Hides every catalogued window (except the top window) whose process is in
// hideProcessSet; returns how many.
int HideProcessWindows();
// Hides every catalogued window (except the top window) whose executable
// path, upper-cased, is in hideFileSet; returns how many.
int HideFileWindows();
// Brings topWindow forward (restoring it first if minimised) and reports it
// on the debugger output; 1 if there was a live top window, else 0.
int BringTopWindow();
// Shows hiddenStack from the top down, each shown window made the
// foreground window, then empties it; returns how many were shown.
int RestoreHidden();
