#pragma once
// The base of the program's own hidden windows, the ones that only receive
// messages (the tray icon's, the instance channel's, the session watch's).
//
// The object is bound to its window at WM_NCCREATE, from the creation
// parameter, so every message from WM_NCCREATE on reaches the object's
// WindowProc; it is unbound at WM_NCDESTROY, and before the object goes
// away, so no message ever reaches an object that is being destroyed. The
// object is kept in the window's GWLP_USERDATA: these windows are never the
// main dialog, whose user data holds the program's mark.
//
// The object owns its window: destroying the object destroys the window, on
// the thread that created it (from any other thread the window is closed
// through that thread's queue). Each window class is registered once per
// process, whichever thread asks first.
#include <windows.h>

class CMessageWindow {
public:
    CMessageWindow() = default;
    // Unbinds, then destroys the window if it is still there. A derived
    // class that must see its window's last messages calls Destroy in its
    // own destructor.
    virtual ~CMessageWindow();
    CMessageWindow(const CMessageWindow&) = delete;
    CMessageWindow& operator=(const CMessageWindow&) = delete;

    // Creates this object's window of class `className` (registered on
    // first use). `parent` HWND_MESSAGE makes a message-only window; null a
    // top-level one. False when the class cannot be registered, the window
    // cannot be made, or this object already has a window.
    [[nodiscard]] bool Create(const wchar_t* className, DWORD style = 0, DWORD exStyle = 0, HWND parent = nullptr);
    // Destroys the window (see the destructor); nothing when there is none.
    void Destroy();

    HWND Window() const { return window_; }
    explicit operator bool() const { return window_ != nullptr; }

    // Registers `className` for these windows unless that has been done;
    // true when the class is ours to use. Safe from any thread.
    static bool RegisterWindowClass(const wchar_t* className);

protected:
    // Every message of the window while the object is bound to it, from
    // WM_NCCREATE to WM_NCDESTROY. The default is DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Unbind();

    HWND window_ = nullptr;
    DWORD threadId_ = 0;
};
