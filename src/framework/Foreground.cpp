#include "framework/Foreground.h"

#include <atomic>

namespace {

std::atomic<SetForegroundFunction> setForeground{nullptr};

BOOL CallSetForeground(HWND window)
{
    const SetForegroundFunction function = setForeground.load();
    return function != nullptr ? function(window) : SetForegroundWindow(window);
}

// Joins the calling thread's input to another thread's for its lifetime.
class InputAttachment {
public:
    explicit InputAttachment(DWORD otherThread)
        : self_(GetCurrentThreadId()), other_(otherThread),
          attached_(other_ != 0 && other_ != self_ && AttachThreadInput(self_, other_, TRUE) != FALSE)
    {
    }
    ~InputAttachment()
    {
        if (attached_)
            AttachThreadInput(self_, other_, FALSE);
    }
    InputAttachment(const InputAttachment&) = delete;
    InputAttachment& operator=(const InputAttachment&) = delete;

private:
    DWORD self_;
    DWORD other_;
    bool attached_;
};

} // namespace

bool BringToForeground(HWND window)
{
    if (window == nullptr || !IsWindow(window))
        return false;
    if (CallSetForeground(window))
        return true;
    const HWND foreground = GetForegroundWindow();
    const DWORD foregroundThread = foreground != nullptr ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    InputAttachment attachment(foregroundThread);
    BringWindowToTop(window);
    return CallSetForeground(window) != FALSE;
}

void SetForegroundFunctionForTests(SetForegroundFunction function)
{
    setForeground.store(function);
}
