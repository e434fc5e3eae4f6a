#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "choices/WindowRules.h"

struct Catalogues;
struct HideChoices;

// What one armed run hides: a copy of the pages' choices taken when the
// engine is started. The pages keep changing their own lists on the UI
// thread; the engine thread only ever reads this copy.
struct EngineTargets {
    std::vector<HWND> windows;       // chosen windows, in the order chosen
    std::vector<DWORD> processes;    // chosen process ids
    std::vector<std::wstring> files; // chosen executables, upper-cased paths
    std::vector<WindowRule> rules;   // title and class rules
    HWND topWindow = nullptr;
    // The live catalogues the process and file rules walk, under their
    // windowLock; they belong to the application object and outlive every
    // run. Null: those rules find no window.
    Catalogues* catalogues = nullptr; // never hidden by the rules, brought forward after a hide

    bool IsTopWindow(HWND window) const { return topWindow != nullptr && window == topWindow; }
};

// Copies the pages' current choices (hideWindowSet, hideProcessSet,
// hideFileSet, hideRules, topWindow), to be looked up in `catalogues`. UI thread only:
// that is where the choices live.
EngineTargets CaptureTargets(const HideChoices& choices, Catalogues* catalogues);
