#pragma once
// The end of the session while windows are hidden: their owners must be able
// to ask about unsaved work, so everything is restored (side actions undone,
// windows shown) as soon as the system asks whether the session may end, and
// again when it ends.
#include <windows.h>

#include "framework/MessageWindow.h"
#include "recovery/HiddenWindowsOwner.h"

// The watcher's window class.
inline constexpr wchar_t kSessionGuardClass[] = L"CovelinSessionGuard";

// A hidden top-level window of the thread that creates it (which must pump
// messages) that restores through the owner it was given.
class CSessionGuard : public CMessageWindow {
public:
    CSessionGuard() = default;
    ~CSessionGuard() override;

    // Makes the window (once; a later call only changes the owner).
    // Returns the window, or null.
    HWND Create(HiddenWindowsOwner& owner);
    void Destroy();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void RestoreForSessionEnd();

    HiddenWindowsOwner* owner_ = nullptr;
};
