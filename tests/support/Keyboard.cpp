#include "support/Keyboard.h"

#include "support/Wait.h"

namespace testsupport {

ForegroundWindow::ForegroundWindow()
{
    window_ = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"Covelin test keyboard", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64,
                              nullptr, nullptr, nullptr, nullptr);
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

void SendKeys(const std::vector<WORD>& keys, bool up)
{
    std::vector<INPUT> inputs;
    for (size_t i = 0; i < keys.size(); ++i) {
        const WORD vk = up ? keys[keys.size() - 1 - i] : keys[i];
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        if (vk == VK_LEFT || vk == VK_RIGHT || vk == VK_UP || vk == VK_DOWN)
            in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
        if (up)
            in.ki.dwFlags |= KEYEVENTF_KEYUP;
        inputs.push_back(in);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void SendKey(WORD virtualKey, bool down)
{
    SendKeys({virtualKey}, !down);
}

bool WaitForKeyState(WORD virtualKey, bool down, DWORD timeoutMs)
{
    return WaitUntil([&] { return (GetAsyncKeyState(virtualKey) < 0) == down; }, timeoutMs);
}

namespace {

// Wine passes injected keys on only while the desktop has a visible
// foreground window. The window made for that lives to the end of the run.
void EnsureKeyboardFocus()
{
    static ForegroundWindow* keyWindow = nullptr;
    HWND front = GetForegroundWindow();
    if (front && IsWindowVisible(front))
        return;
    if (!keyWindow)
        keyWindow = new ForegroundWindow;
    else
        SetForegroundWindow(keyWindow->Handle());
}

} // namespace

bool HoldKeysUntil(const std::vector<WORD>& keys, const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    bool held = false;
    for (;;) {
        EnsureKeyboardFocus();
        SendKeys(keys, false);
        PumpMessages();
        if (done()) {
            held = true;
            break;
        }
        if (GetTickCount64() >= deadline)
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 30, QS_ALLINPUT);
    }
    EnsureKeyboardFocus();
    SendKeys(keys, true);
    return held;
}

} // namespace testsupport
