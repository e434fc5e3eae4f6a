#include "framework/Thread.h"

#include <process.h>

#include <memory>
#include <utility>

namespace {

unsigned __stdcall ThreadEntry(void* arg)
{
    // The thread owns its body: whoever started it may have let go of it.
    const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(arg));
    (*body)();
    return 0;
}

} // namespace

CWinThread::CWinThread(CWinThread&& other) noexcept
    : handle_(std::move(other.handle_)), id_(std::exchange(other.id_, 0))
{
}

CWinThread& CWinThread::operator=(CWinThread&& other) noexcept
{
    if (this != &other) {
        handle_ = std::move(other.handle_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

bool CWinThread::Start(std::function<void()> body)
{
    if (handle_ || !body)
        return false;
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    unsigned id = 0;
    const auto handle = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadEntry, owned.get(), 0, &id));
    if (handle == nullptr)
        return false;
    static_cast<void>(owned.release()); // the thread's now
    handle_.reset(handle);
    id_ = id;
    return true;
}

bool CWinThread::Wait(DWORD timeoutMs) const
{
    return handle_ && ::WaitForSingleObject(handle_.get(), timeoutMs) == WAIT_OBJECT_0;
}

bool CWinThread::PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return id_ != 0 && ::PostThreadMessageW(id_, message, wParam, lParam) != FALSE;
}

void CWinThread::Close()
{
    handle_.reset();
    id_ = 0;
}
