#include "recovery/SessionGuard.h"

CSessionGuard::~CSessionGuard()
{
    Destroy();
}

HWND CSessionGuard::Create(HiddenWindowsOwner& owner)
{
    owner_ = &owner;
    if (Window() != nullptr)
        return Window();
    // A real top-level window, never shown: the system asks every top-level
    // window about the end of the session (a message-only window is not asked).
    if (!CMessageWindow::Create(kSessionGuardClass, WS_POPUP, WS_EX_TOOLWINDOW))
        return nullptr;
    return Window();
}

void CSessionGuard::Destroy()
{
    CMessageWindow::Destroy();
    owner_ = nullptr;
}

void CSessionGuard::RestoreForSessionEnd()
{
    // The audio interfaces would join this thread to a COM apartment: the
    // unmute runs on a helper thread.
    if (owner_ != nullptr)
        owner_->RestoreEverything(true);
}

LRESULT CSessionGuard::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_QUERYENDSESSION:
        // Before anyone is asked whether the session may end: a window the
        // user cannot see cannot ask to save its work.
        RestoreForSessionEnd();
        return TRUE;
    case WM_ENDSESSION:
        if (wParam)
            RestoreForSessionEnd();
        return 0;
    case WM_CLOSE:
        // A close request from another program goes to the main dialog too,
        // which ends the program; this window stays until then.
        return 0;
    default:
        return CMessageWindow::WindowProc(message, wParam, lParam);
    }
}
