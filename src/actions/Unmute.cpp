#include "actions/Unmute.h"
#include "framework/Thread.h"

namespace {

bool RunUnmute(const std::shared_ptr<VolumeMute>& volume, VolumeMuteSetter setter, DWORD timeoutMs)
{
    // The thread keeps its own reference to the state for as long as the
    // unmute takes, whoever has stopped waiting for it.
    CWinThread thread;
    if (!thread.Start([volume, setter] {
            if (setter != nullptr)
                setter(*volume, false);
            else
                volume->SetVolumeMute(false);
        }))
        return false;
    return thread.Wait(timeoutMs);
}

} // namespace

bool UndoOwnMute(const std::shared_ptr<VolumeMute>& volume, VolumeMuteSetter setter, DWORD timeoutMs)
{
    if (!volume)
        return true;
    return RunUnmute(volume, setter, timeoutMs);
}

bool UndoLeftMute(DWORD savedWaveVolume, DWORD timeoutMs)
{
    auto left = std::make_shared<VolumeMute>();
    left->TakeOver(savedWaveVolume);
    return RunUnmute(left, nullptr, timeoutMs);
}
