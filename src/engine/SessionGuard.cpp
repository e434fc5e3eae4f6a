#include "engine/SessionGuard.h"

namespace {

HWND sessionGuardWindow = nullptr;
CEngine* guardedEngine = nullptr;

void RestoreForSessionEnd()
{
    // The audio interfaces would join this thread to a COM apartment: the
    // unmute runs on a helper thread.
    if (guardedEngine != nullptr)
        guardedEngine->RestoreEverything(true);
}

LRESULT CALLBACK SessionGuardProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
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
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

HWND CreateSessionGuardWindow(CEngine& engine)
{
    guardedEngine = &engine;
    if (sessionGuardWindow != nullptr)
        return sessionGuardWindow;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = SessionGuardProc;
    wc.hInstance = instance;
    wc.lpszClassName = kSessionGuardClass;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;
    // A real top-level window, never shown: the system asks every top-level
    // window about the end of the session (a message-only window is not asked).
    sessionGuardWindow = CreateWindowExW(WS_EX_TOOLWINDOW, kSessionGuardClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                         nullptr, instance, nullptr);
    return sessionGuardWindow;
}

void DestroySessionGuardWindow()
{
    if (sessionGuardWindow != nullptr) {
        DestroyWindow(sessionGuardWindow);
        sessionGuardWindow = nullptr;
    }
    guardedEngine = nullptr;
}
