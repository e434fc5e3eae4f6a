#pragma once
#include <windows.h>

#include <functional>
#include <vector>

namespace testsupport {

// Wine routes injected keys through the foreground window of the desktop:
// without one, SendInput changes nothing that GetAsyncKeyState can see.
// This window takes the foreground (waiting, with a deadline, until it has
// it) and is destroyed with the object.
class ForegroundWindow {
public:
    ForegroundWindow();
    ~ForegroundWindow();
    ForegroundWindow(const ForegroundWindow&) = delete;
    ForegroundWindow& operator=(const ForegroundWindow&) = delete;

    HWND Handle() const { return window_; }
    bool HasForeground() const { return hasForeground_; }

private:
    HWND window_ = nullptr;
    bool hasForeground_ = false;
};

// Presses `keys` in order, or releases them in reverse order, in one
// SendInput call, with their scan codes (and the extended bit of the arrow
// keys) as a keyboard sends them.
void SendKeys(const std::vector<WORD>& keys, bool up);
// Presses or releases one key through the system's input queue.
void SendKey(WORD virtualKey, bool down);

// Waits (pumping messages) until the asynchronous state of the key is as asked.
bool WaitForKeyState(WORD virtualKey, bool down, DWORD timeoutMs = 3000);

// Holds a chord the way a user holding the keys looks to a poller: key-down
// for every key again every ~30 ms (Wine may forget injected keys when the
// focus moves), until `done` holds or the deadline passes; then releases the
// keys. When the windows in front are hidden, a small window of ours takes
// the foreground first, so that the keys reach the key state at all.
// Returns whether `done` held.
bool HoldKeysUntil(const std::vector<WORD>& keys, const std::function<bool()>& done, DWORD timeoutMs = 5000);

} // namespace testsupport
