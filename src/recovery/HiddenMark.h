#pragma once
// The mark a hidden window carries: a window property whose value names the
// Covelin instance that hid it. The property lives with the window, not with
// us: it survives our death, and a window that is destroyed takes it along,
// so a handle that is later reused never carries it.
#include <windows.h>

#include "system/ProcessInfo.h" // ProcessCreationTime

// The name of the window property that marks a window Covelin hid.
inline constexpr wchar_t kHiddenMarkName[] = L"Covelin.HiddenBy";

// The property's key (an atom, added once per process and never deleted).
// Taken early, so that a fault handler never has to add it.
LPCWSTR MarkKey();
// The atom behind MarkKey, 0 until MarkKey was first asked: for a fault
// handler, which must not add atoms.
ATOM MarkAtomIfAdded();

// The mark value that names this process: its id and the low half of its
// creation time, so that a later process with the same id is told apart.
ULONG_PTR MarkToken();
// The same for any process; 0 when it cannot be opened.
ULONG_PTR MarkTokenOf(DWORD processId);
// The mark a window carries, 0 for none.
ULONG_PTR MarkOf(HWND window);
// Whether the instance that put `token` on a window still runs: then the
// window is its business, not ours.
bool MarkerRuns(ULONG_PTR token);
