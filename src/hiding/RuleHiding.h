#pragma once
#include <windows.h>

#include <vector>

#include "choices/WindowRules.h"
#include "hiding/EngineTargets.h"
#include "hiding/HiddenWindows.h"

// Whether the title or the class name of `window`, as it reads now, matches
// one of `rules`. Never waits on the window's program.
bool WindowMatchesRules(const std::vector<WindowRule>& rules, HWND window);

// Hides every catalogued window (except the top window) whose title or
// class matches one of targets.rules; returns how many. Same locks as the
// other hides (Hiding.h): the hidden windows' lock and windowLock.
int HideRuleWindows(const EngineTargets& targets, HiddenWindows& hidden);
