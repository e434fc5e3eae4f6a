#pragma once
#include <windows.h>

namespace testsupport {

// Another process that holds a registered hotkey (hotkey_holder.exe) for the
// object's lifetime. Held() tells whether it got it within the time.
class HotkeyHolder {
public:
    HotkeyHolder(UINT modifiers, UINT key, DWORD timeoutMs = 15000);
    ~HotkeyHolder();
    HotkeyHolder(const HotkeyHolder&) = delete;
    HotkeyHolder& operator=(const HotkeyHolder&) = delete;

    bool Held() const { return held_; }

private:
    HANDLE heldEvent_ = nullptr;
    HANDLE releaseEvent_ = nullptr;
    HANDLE process_ = nullptr;
    bool held_ = false;
};

} // namespace testsupport
