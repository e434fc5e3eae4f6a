#pragma once
#include <windows.h>

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

// Presses or releases one key through the system's input queue.
void SendKey(WORD virtualKey, bool down);

// Waits (pumping messages) until the asynchronous state of the key is as asked.
bool WaitForKeyState(WORD virtualKey, bool down, DWORD timeoutMs = 3000);

} // namespace testsupport
