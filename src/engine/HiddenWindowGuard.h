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
#include "engine/Engine.h"
#include "engine/StartupRecovery.h"

// The whole guard, for start-up: recovers what a previous instance left
// (the journal beside "setting.dat"), opens `engine`'s journal there, starts
// watching for the end of the session (a hidden top-level window of the
// calling thread, which must pump messages) and restores hidden windows on
// an unhandled fault.
RecoveryReport StartHiddenWindowGuard(CEngine& engine);
