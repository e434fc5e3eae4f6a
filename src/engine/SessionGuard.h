#pragma once
// The end of the session while windows are hidden: their owners must be able
// to ask about unsaved work, so the engine restores everything (side actions
// undone, windows shown) as soon as the system asks whether the session may
// end, and again when it ends.
#include <windows.h>

#include "engine/Engine.h"

// The watcher's window class.
inline constexpr wchar_t kSessionGuardClass[] = L"CovelinSessionGuard";

// A hidden top-level window of the calling thread (which must pump
// messages) that restores through `engine`. Returns the window, or null.
HWND CreateSessionGuardWindow(CEngine& engine);
void DestroySessionGuardWindow();
