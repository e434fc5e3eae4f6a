#include "engine/Engine.h"

#include <utility>

#include "engine/ChordPoll.h"

namespace {

// A thread makes its queue first thing; a start never waits longer for it.
constexpr DWORD kQueueReadyTimeoutMs = 1000;

} // namespace

EngineOperations DefaultEngineOperations()
{
    EngineOperations ops{};
    ops.input = DefaultInputOperations();
    ops.hide = DefaultHideOperations();
    ops.sideActions = DefaultSideActionOperations();
    ops.postToDialog = [](HWND dialog, UINT message) {
        if (dialog != nullptr)
            PostMessageW(dialog, message, 0, 0);
    };
    return ops;
}

bool EngineRun::Post(UINT message)
{
    return PostThreadMessageW(threadId.load(), message, 0, 0) != FALSE;
}

void EngineRun::RequestStop()
{
    engineStop.store(1);
    if (stopSignal)
        SetEvent(stopSignal.get());
}

CEngine::CEngine(TrayIconPort* trayIcon)
    : operations(DefaultEngineOperations()), session_(operations.hide, operations.sideActions, trayIcon)
{
}

CEngine::~CEngine() = default;

void CEngine::ThreadMain(CEngine& engine, EngineRun& run)
{
    run.threadId.store(GetCurrentThreadId());
    {
        // Make the message queue now, so the tray's first command is kept
        // even when it comes before the first poll.
        MSG probe;
        PeekMessageW(&probe, nullptr, 0, 0, PM_NOREMOVE);
        SetEvent(run.queueReady.get());
    }
    {
        EnginePoller poller(engine, run);
        poller.Listen();
        while (poller.AwaitPoll() && poller.Poll()) {
        }
    }
    run.engineDone.store(1);
}

bool CEngine::Start(const SettingData& settings, EngineTargets targets, HWND dialog, const RunChoices& choices)
{
    auto run = std::make_shared<EngineRun>();
    run->settings = settings;
    run->choices = choices;
    run->targets = std::move(targets);
    run->dialog = dialog;
    run->queueReady.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!run->queueReady)
        return false;
    // The thread holds its own run: a run the dialog has let go of, or
    // replaced, stays alive until its thread is done with it.
    if (!run->thread.Start([this, run] { ThreadMain(*this, *run); }))
        return false;
    // A thread message posted before the thread has a queue is lost, so the
    // tray's commands are taken only once the queue exists.
    WaitForSingleObject(run->queueReady.get(), kQueueReadyTimeoutMs);
    // A run still ending keeps itself alive; shutdown waits for it as well.
    if (run_ && run_->engineDone.load() == 0)
        previous_ = run_;
    run_ = std::move(run);
    dialogOwned_ = true;
    return true;
}

void CEngine::ForgetRun()
{
    dialogOwned_ = false;
}

bool CEngine::AcceptsCommands() const
{
    return HasRun() && run_->engineStop.load() == 0 && run_->engineDone.load() == 0 && run_->threadId.load() != 0;
}

bool CEngine::PostCommand(UINT message)
{
    if (!AcceptsCommands())
        return false;
    return run_->Post(message);
}

void CEngine::RequestStop()
{
    if (run_)
        run_->RequestStop();
    if (previous_)
        previous_->RequestStop();
}

bool CEngine::WaitEnded(ULONGLONG deadlineTick) const
{
    for (const auto* run : {&previous_, &run_}) {
        if (!*run || (*run)->engineDone.load() != 0)
            continue;
        const ULONGLONG now = GetTickCount64();
        const DWORD wait = deadlineTick > now ? static_cast<DWORD>(deadlineTick - now) : 0;
        static_cast<void>((*run)->thread.Wait(wait));
    }
    return RunEnded();
}

bool CEngine::RunEnded() const
{
    for (const auto* run : {&previous_, &run_}) {
        if (*run && (*run)->engineDone.load() == 0)
            return false;
    }
    return true;
}
