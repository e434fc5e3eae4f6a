#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace testsupport {

// The full path of a helper program built beside the test executables.
std::wstring HelperProgramPath(const std::wstring& exeName);

// The description of `count` plain windows of class `className` titled
// `title` (numbered by the host), for WindowHost.
std::string WindowsOfClass(int count, const std::string& className, const std::string& title);

// A child process (window_host.exe, or a copy of it) that owns top-level
// windows made from the descriptions given (see programs/window_host.cpp), and
// reports their handles. The process is ended when the object goes, and
// with the test program if that dies first.
class WindowHost {
public:
    // Starts `program` (default: window_host.exe beside the tests) and
    // waits, at most `timeoutMs`, for it to report its windows.
    explicit WindowHost(const std::vector<std::string>& windowDescriptions, const std::wstring& program = L"",
                        DWORD timeoutMs = 15000);
    ~WindowHost();
    WindowHost(const WindowHost&) = delete;
    WindowHost& operator=(const WindowHost&) = delete;

    bool Ready() const { return ready_; }
    // When not ready, why: how the program ended or how long it was silent,
    // and what it wrote (also printed to stderr when it happens).
    const std::string& Failure() const { return failure_; }
    const std::vector<HWND>& Windows() const { return windows_; }
    HWND Window(size_t index) const { return index < windows_.size() ? windows_[index] : nullptr; }
    DWORD ProcessId() const { return processId_; }

    // Has the program open one more plain window (listed after the others);
    // null when it could not.
    HWND OpenWindow(DWORD timeoutMs = 5000);
    // Has the program open one more window owned by `owner` (one of its own).
    HWND OpenOwnedWindow(HWND owner, DWORD timeoutMs = 5000);
    // Has the program create one more window hidden, and show it (without
    // activating it) `delayMs` later.
    HWND OpenWindowShownLater(DWORD delayMs, DWORD timeoutMs = 5000);
    // Has the program make its window `window` a child of `parent`.
    bool MakeChildOf(HWND window, HWND parent, DWORD timeoutMs = 5000);
    // Makes the program stop pumping messages for `ms`.
    void Hang(DWORD ms);
    // Whether the program answers a message within `timeoutMs`.
    bool Responds(DWORD timeoutMs = 1000) const;
    // Ends the program and waits (bounded) for it to be gone.
    void Terminate();

private:
    // Sends a window-opening command; the new window is listed.
    HWND Open(HWND to, UINT message, WPARAM wParam, DWORD timeoutMs);
    void Explain(const std::string& why);

    HANDLE process_ = nullptr;
    HANDLE job_ = nullptr;
    DWORD processId_ = 0;
    std::vector<HWND> windows_;
    bool ready_ = false;
    std::string failure_;
};

// A top-level window of the calling thread, destroyed with the object.
class TestWindow {
public:
    TestWindow(const std::wstring& className, const std::wstring& title, DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE,
               DWORD exStyle = 0, HWND parent = nullptr);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Handle() const { return window_; }
    operator HWND() const { return window_; }
    // Destroys the window now (the object then holds a dead handle).
    void Destroy();

private:
    HWND window_ = nullptr;
};

// Whether the window is visible by its own style (ignoring its parents).
bool HasVisibleStyle(HWND window);

} // namespace testsupport
