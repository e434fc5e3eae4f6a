#pragma once
#include <windows.h>

#include <functional>

namespace testsupport {

// Polls `condition` (pumping this thread's messages between polls) until it
// holds or `timeoutMs` has passed. Returns whether it held. Every wait in the
// tests goes through here, so none of them can hang.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000, DWORD pollMs = 10);

// Dispatches whatever is queued for this thread.
void PumpMessages();

} // namespace testsupport
