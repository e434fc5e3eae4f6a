#pragma once
// Making a window the foreground window for the user's own key press.
//
// On Windows a background process has no right to set the foreground window
// unless the user's last input went to it: SetForegroundWindow then fails
// and the taskbar button only flashes. A program that polls the keyboard
// acts for the user's key press all the same, and may take the documented
// way: join the foreground thread's input for the call, then leave it.
#include <windows.h>

// Brings `window` to the foreground; when the plain call is refused, tries
// again with this thread's input attached to the foreground thread's (never
// left attached). True when the system accepted the window.
bool BringToForeground(HWND window);

// The call that sets the foreground window; tests put one in that refuses.
// Null puts back SetForegroundWindow.
using SetForegroundFunction = BOOL(WINAPI*)(HWND window);
void SetForegroundFunctionForTests(SetForegroundFunction function);
