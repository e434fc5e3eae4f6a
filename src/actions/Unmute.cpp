#include "actions/Unmute.h"
#include "framework/Handles.h"

namespace {

struct UnmuteJob {
    std::shared_ptr<VolumeMute> volume;
    VolumeMuteSetter setter;
};

DWORD WINAPI UnmuteThread(LPVOID parameter)
{
    // The thread's own reference: it keeps the state alive for as long as
    // the unmute takes, whoever has stopped waiting for it.
    std::unique_ptr<UnmuteJob> job(static_cast<UnmuteJob*>(parameter));
    if (job->setter != nullptr)
        job->setter(*job->volume, false);
    else
        job->volume->SetVolumeMute(false);
    return 0;
}

bool RunUnmute(const std::shared_ptr<VolumeMute>& volume, VolumeMuteSetter setter, DWORD timeoutMs)
{
    auto reference = std::make_unique<UnmuteJob>(UnmuteJob{volume, setter});
    const UniqueHandle thread(CreateThread(nullptr, 0, UnmuteThread, reference.get(), 0, nullptr));
    if (!thread)
        return false;
    static_cast<void>(reference.release()); // the thread owns it now
    return WaitForSingleObject(thread.get(), timeoutMs) == WAIT_OBJECT_0;
}

} // namespace

bool UndoOwnMute(const std::shared_ptr<VolumeMute>& volume, VolumeMuteSetter setter, DWORD timeoutMs)
{
    if (!volume)
        return true;
    return RunUnmute(volume, setter, timeoutMs);
}

bool UndoLeftMute(const MuteState& left, DWORD timeoutMs)
{
    auto volume = std::make_shared<VolumeMute>();
    volume->TakeOver(left);
    return RunUnmute(volume, nullptr, timeoutMs);
}
