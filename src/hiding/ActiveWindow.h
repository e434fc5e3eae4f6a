#pragma once
#include <windows.h>

#include "hiding/EngineTargets.h"
#include "hiding/HiddenWindows.h"

// The window in front that a press of the hide-the-active-window chord would
// hide: the root owner of the foreground window, or null when that is not
// ours to hide (nothing in front, the desktop, the taskbar or another window
// of the shell, a window of this program, the top window, a window not on
// screen).
HWND ActiveWindowToHide(const EngineTargets& targets);

// Hides ActiveWindowToHide() with the visible windows it owns; they join
// `hidden` and its journal like every hidden window, and come back with the
// next restore. Runs no side action. Returns how many windows were hidden
// (0 when there was nothing to hide). The caller holds the hidden windows'
// lock (the engine's engineLock); windowLock is not needed.
int HideActiveWindow(const EngineTargets& targets, HiddenWindows& hidden);
