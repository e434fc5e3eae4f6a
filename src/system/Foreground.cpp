#include "system/Foreground.h"

#include <atomic>

#include "system/Elevation.h"

namespace {

std::atomic<const ForegroundSystem*> fakeSystem{nullptr};
std::atomic<SetForegroundFunction> setForeground{nullptr};

// The system's calls, with a test's in place where it gave one.
struct Calls {
    const ForegroundSystem* fake = fakeSystem.load();

    BOOL SetForeground(HWND window) const
    {
        if (fake && fake->setForeground)
            return fake->setForeground(window);
        const SetForegroundFunction function = setForeground.load();
        return function != nullptr ? function(window) : SetForegroundWindow(window);
    }
    HWND Foreground() const { return fake && fake->getForeground ? fake->getForeground() : GetForegroundWindow(); }
    bool Hung(HWND window) const
    {
        return (fake && fake->isHung ? fake->isHung(window) : IsHungAppWindow(window)) != FALSE;
    }
    bool OutranksUs(DWORD processId) const
    {
        return fake && fake->outranksUs ? fake->outranksUs(processId) : ProcessOutranksUs(processId);
    }
    BOOL Attach(DWORD thread, DWORD attachTo, BOOL attach) const
    {
        return fake && fake->attachInput ? fake->attachInput(thread, attachTo, attach)
                                         : AttachThreadInput(thread, attachTo, attach);
    }
    BOOL Unlock() const
    {
        return fake && fake->lockSetForeground ? fake->lockSetForeground(LSFW_UNLOCK)
                                               : LockSetForegroundWindow(LSFW_UNLOCK);
    }
};

// Joins the calling thread's input to another thread's for its lifetime.
class InputAttachment {
public:
    InputAttachment(const Calls& calls, DWORD otherThread)
        : calls_(calls), self_(GetCurrentThreadId()), other_(otherThread),
          attached_(other_ != 0 && other_ != self_ && calls_.Attach(self_, other_, TRUE) != FALSE)
    {
    }
    ~InputAttachment()
    {
        if (attached_)
            calls_.Attach(self_, other_, FALSE);
    }
    InputAttachment(const InputAttachment&) = delete;
    InputAttachment& operator=(const InputAttachment&) = delete;

private:
    const Calls& calls_;
    DWORD self_;
    DWORD other_;
    bool attached_;
};

} // namespace

bool BringToForeground(HWND window)
{
    if (window == nullptr || !IsWindow(window))
        return false;
    const Calls calls;
    if (calls.SetForeground(window))
        return true;
    const HWND foreground = calls.Foreground();
    DWORD foregroundProcess = 0;
    const DWORD foregroundThread = foreground != nullptr ? GetWindowThreadProcessId(foreground, &foregroundProcess) : 0;
    // A hung thread's input is not joined (the join may wait for it), nor
    // that of a program with more rights than ours (the system refuses).
    if (foregroundThread != 0 && !calls.Hung(foreground) && !calls.OutranksUs(foregroundProcess)) {
        const InputAttachment attachment(calls, foregroundThread);
        BringWindowToTop(window);
        if (calls.SetForeground(window))
            return true;
    }
    // The lock the foreground program may have put on: lifted as the
    // system documents, then the one last call.
    calls.Unlock();
    return calls.SetForeground(window) != FALSE;
}

void SetForegroundSystemForTests(const ForegroundSystem* system)
{
    fakeSystem.store(system);
}

void SetForegroundFunctionForTests(SetForegroundFunction function)
{
    setForeground.store(function);
}
