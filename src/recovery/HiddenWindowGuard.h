#pragma once
// Never losing a hidden window.
//
// A window hidden by Covelin stays invisible for as long as nobody shows it
// again, and only Covelin knows it is there. If Covelin dies while windows
// are hidden (a crash, a kill from the Task Manager, the session ending),
// they would stay invisible for good, with the user's unsaved work inside.
// So, while windows are hidden, each carries our mark (HiddenMark.h) and the
// journal "hidden.dat" lists them (HiddenJournal.h). At start-up the guard
// shows what a previous instance left hidden (StartupRecovery.h); the session
// ending (SessionGuard.h) or a fault inside Covelin (FaultGuard.h) restores
// the windows before the process goes.
#include <string>

#include "recovery/HiddenWindowsOwner.h"
#include "recovery/StartupRecovery.h"

// The guard, for start-up: recovers what a previous instance left (the
// journal in `moduleDirectory`, beside "setting.dat"; none when it is
// empty), opens `owner`'s journal there and restores
// hidden windows on an unhandled fault. The watch for the end of the session
// (CSessionGuard, SessionGuard.h) is the caller's to start, on the
// thread that pumps messages, at the latest before the engine first hides:
// until then there is nothing to restore.
RecoveryReport StartHiddenWindowGuard(HiddenWindowsOwner& owner, const std::wstring& moduleDirectory);
