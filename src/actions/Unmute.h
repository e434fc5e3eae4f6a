#pragma once
// Undoing a mute from a thread that must not join a COM apartment: the
// audio interfaces join the calling thread to one, and the user-interface
// thread must be left to choose its own. The work runs on a short-lived
// thread of its own that shares ownership of what it changes, so a helper
// that finishes after its caller stopped waiting still writes only into
// live objects.
#include <windows.h>

#include <memory>

#include "actions/Volume.h"

// How an unmute is carried out: VolumeMute::SetVolumeMute unless a test
// records it instead.
using VolumeMuteSetter = void (*)(VolumeMute& volume, bool mute);

// Our own mute, if it is in force (`setter` null: the real one). Waits at
// most `timeoutMs`; returns whether the unmute finished in that time.
bool UndoOwnMute(const std::shared_ptr<VolumeMute>& volume, VolumeMuteSetter setter = nullptr, DWORD timeoutMs = 3000);

// The mute a dead instance left, as its journal tells it: the endpoint it
// muted (left alone when the user had muted it), the sessions it muted and
// the wave volume it saved. Nothing of this instance's own state changes.
bool UndoLeftMute(const MuteState& left, DWORD timeoutMs = 3000);
