#pragma once
// The one way the program starts a thread of its own.
#include <windows.h>

#include <functional>

#include "framework/Handles.h"

// A worker thread, owned by whoever started it: the object holds the
// thread's handle and closes it when it goes away or is moved over. Closing
// the handle does not stop the thread: it runs `body` to its end, which owns
// whatever it captured, so the object may go before the thread does.
class CWinThread {
public:
    CWinThread() = default;
    ~CWinThread() = default;
    CWinThread(CWinThread&& other) noexcept;
    CWinThread& operator=(CWinThread&& other) noexcept;
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    // Runs `body` on a new thread. False, with nothing started, when this
    // object already holds a thread or the system cannot make one.
    [[nodiscard]] bool Start(std::function<void()> body);

    // True while the object holds a thread (running or ended).
    explicit operator bool() const { return static_cast<bool>(handle_); }
    HANDLE Handle() const { return handle_.get(); }
    DWORD Id() const { return id_; }

    // Waits at most `timeoutMs` for the thread to end; true when it has.
    [[nodiscard]] bool Wait(DWORD timeoutMs) const;

    // Posts a message to the thread's queue. False until the thread has made
    // its queue (e.g. by a first PeekMessage), or when it holds no thread.
    bool PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) const;

    // Lets go of the thread: the handle is closed, the thread runs on.
    void Close();

private:
    UniqueHandle handle_;
    DWORD id_ = 0;
};
