#include "support/Keyboard.h"

#include "support/Wait.h"

namespace testsupport {

ForegroundWindow::ForegroundWindow()
{
    window_ = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"Covelin test keyboard", WS_POPUP | WS_VISIBLE, 0, 0, 64,
                              64, nullptr, nullptr, nullptr, nullptr);
    hasForeground_ = window_ && WaitUntil(
                                    [this] {
                                        if (GetForegroundWindow() == window_)
                                            return true;
                                        SetForegroundWindow(window_);
                                        SetFocus(window_);
                                        return false;
                                    },
                                    3000, 20);
}

ForegroundWindow::~ForegroundWindow()
{
    if (window_)
        DestroyWindow(window_);
}

void SendKey(WORD virtualKey, bool down)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

bool WaitForKeyState(WORD virtualKey, bool down, DWORD timeoutMs)
{
    return WaitUntil([&] { return (GetAsyncKeyState(virtualKey) < 0) == down; }, timeoutMs);
}

} // namespace testsupport
