#pragma once
// Making a window the foreground window.
//
// The system restricts which processes may set the foreground window. Among
// the conditions it lists, at least one of these must hold: the caller is
// the foreground process, was started by it, received the last input event,
// there is no foreground window, or the foreground lock time-out has
// expired; and none of these may: the foreground process has locked the
// foreground (LockSetForegroundWindow), or a menu is active. A registered
// hotkey's press is input to the process that registered it, so an act the
// press starts has that right; a click on the tray icon or into the dialog
// has it too. A process that has the right may hand it to another with
// AllowSetForegroundWindow (the instance channel does so for the running
// instance); only the process that set the lock may lift it
// (LockSetForegroundWindow(LSFW_UNLOCK)).
//
// Without the right, the system refuses and flashes the window's taskbar
// button instead. Nothing else is tried: no documented call gives the right
// to a process that does not have it, and every refused call flashes again.
#include <windows.h>

// Asks the system once to bring `window` to the foreground. True when it
// accepted the window.
bool BringToForeground(HWND window);

// The call that sets the foreground window; tests put in a refusal of their
// own. Null puts back the system's call.
using SetForegroundFunction = BOOL(WINAPI*)(HWND window);
void SetForegroundFunctionForTests(SetForegroundFunction function);
