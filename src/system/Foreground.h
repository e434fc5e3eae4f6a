#pragma once
// Making a window the foreground window for the user's own key press.
//
// On Windows a background process has no right to set the foreground window
// unless the user's last input went to it: SetForegroundWindow then fails
// and the taskbar button flashes. A program that polls the keyboard acts for
// the user's key press all the same, and takes, in turn:
// - the plain call;
// - the call with this thread's input joined to the foreground thread's
//   (left again at once) - but never with a thread that is hung (joining it
//   may wait for it) or that runs elevated while we do not (the system
//   refuses);
// - the call once more after lifting the foreground lock the way the system
//   documents (LockSetForegroundWindow(LSFW_UNLOCK)).
// Each window is asked for once: every refused call flashes its button.
#include <windows.h>

// Brings `window` to the foreground as above. True when the system accepted
// the window. Never waits on a hung thread.
bool BringToForeground(HWND window);

// What the moves above ask of the system; tests put in a foreground lock of
// their own. A null member is the system's own call.
struct ForegroundSystem {
    BOOL(WINAPI* setForeground)(HWND window);
    HWND(WINAPI* getForeground)();
    BOOL(WINAPI* isHung)(HWND window);
    bool (*outranksUs)(DWORD processId);
    BOOL(WINAPI* attachInput)(DWORD thread, DWORD attachTo, BOOL attach);
    BOOL(WINAPI* lockSetForeground)(UINT code);
};
// Null puts back the system's calls.
void SetForegroundSystemForTests(const ForegroundSystem* system);

// Only the call that sets the foreground window; the rest stays the system's.
using SetForegroundFunction = BOOL(WINAPI*)(HWND window);
void SetForegroundFunctionForTests(SetForegroundFunction function);
