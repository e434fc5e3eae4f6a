#include "engine/Engine.h"

#include <mutex>

#include "actions/Display.h"
#include "actions/NotifyArea.h"
#include "actions/Unmute.h"
#include "catalogue/Catalogues.h"
#include "hiding/Hiding.h"

namespace {

constexpr DWORD kPollPeriodMs = 20;
constexpr DWORD kDebounceMs = 1000;
// A thread makes its queue first thing; a start never waits longer for it.
constexpr DWORD kQueueReadyTimeoutMs = 1000;

} // namespace

EngineOperations DefaultEngineOperations()
{
    EngineOperations ops{};
    ops.chordIsDown = [](const HotkeyChord& chord) { return ChordIsDown(chord); };
    ops.tickCount = []() -> DWORD { return GetTickCount(); };
    ops.sleep = [](DWORD milliseconds) { Sleep(milliseconds); };
    ops.hideChosenWindows = HideChosenWindows;
    ops.hideProcessWindows = HideProcessWindows;
    ops.hideFileWindows = HideFileWindows;
    ops.bringTopWindow = BringTopWindow;
    ops.restoreHidden = RestoreHidden;
    ops.setVolumeMute = [](VolumeMute& volume, bool mute) { volume.SetVolumeMute(mute); };
    ops.lockWorkStation = []() -> BOOL { return LockWorkStation(); };
    ops.startScreensaver = [] { StartScreensaver(); };
    ops.applyStoredDisplayMode = []() -> LONG { return ApplyStoredDisplayMode(); };
    ops.hideNotificationArea = [](bool hide, const OwnTrayIcon& own) { HideNotificationArea(hide, own); };
    ops.postToDialog = [](HWND dialog, UINT message) {
        if (dialog != nullptr)
            PostMessageW(dialog, message, 0, 0);
    };
    return ops;
}

bool EngineRun::Post(UINT message)
{
    if (PostThreadMessageW(threadId.load(), message, 0, 0) == FALSE)
        return false;
    commandWaiting.store(true);
    return true;
}

// ---- one poll ----------------------------------------------------------------------------

bool EnginePoller::Poll()
{
    const EngineOperations& ops = engine_.operations;
    ops.sleep(kPollPeriodMs);

    // One message per poll; whatever else is queued waits for the next polls.
    // Without a message the buffer is cleared, so a command is acted on only
    // in the poll that took it.
    if (!TakeMessage())
        message_ = MSG{};
    // Only thread messages are commands; the engine owns no windows.
    const UINT command = message_.hwnd == nullptr ? message_.message : 0;

    // The toggle goes first: a show-dialog chord that contains the toggle
    // chord toggles, and a command taken while the toggle chord is held is
    // dropped.
    if (ops.chordIsDown(run_.settings.toggleChord) || command == UM_TOGGLE_HIDE) {
        Toggle();
        // The sequences call into other programs' windows, and anything that
        // peeks at our queue meanwhile may leave its status bits cleared
        // under a message still queued: look at the queue itself next time.
        queueSeenEmpty_ = false;
        return true;
    }
    if (ops.chordIsDown(run_.settings.showDialogChord) || command == UM_SHOW_SETTINGS) {
        ShowDialogAndEnd();
        return false;
    }
    if (command == UM_RESTORE_EXIT) {
        RestoreAndExit();
        return false;
    }
    return true;
}

bool EnginePoller::TakeMessage()
{
    // Nearly every poll finds the queue empty, and any look at it is a round
    // trip to the system (under Wine, to the wineserver) fifty times a
    // second. Once a poll has seen it empty, the run's flag tells whether a
    // command has been posted since: it is raised after the message is in
    // the queue. After a poll that took a message the rest of the queue is
    // looked at directly, since more may be queued under one flag.
    if (queueSeenEmpty_ && !run_.commandWaiting.exchange(false))
        return false;
    queueSeenEmpty_ = !PeekMessageW(&message_, nullptr, 0, 0, PM_REMOVE);
    return !queueSeenEmpty_;
}

void EnginePoller::Toggle()
{
    // Unsigned 32-bit difference: right across the wrap of the tick count.
    const DWORD now = engine_.operations.tickCount();
    if (static_cast<DWORD>(now - lastToggleTick_) < kDebounceMs)
        return;
    lastToggleTick_ = now;
    if (!hidden_)
        HideSequence();
    else
        engine_.RestoreEverything(false);
    // Flips even when the hide found nothing: the next press is a restore.
    hidden_ = !hidden_;
}

void EnginePoller::HideSequence()
{
    const EngineOperations& ops = engine_.operations;
    int count = 0;
    {
        // The refresher must not rebuild the catalogue while it is walked.
        std::lock_guard<CCriticalSection> engineGuard(engine_.engineLock);
        std::unique_lock<CCriticalSection> windowGuard;
        if (run_.targets.catalogues != nullptr)
            windowGuard = std::unique_lock<CCriticalSection>(run_.targets.catalogues->windowLock);
        count += ops.hideChosenWindows(run_.targets, engine_.hidden_);
        count += ops.hideProcessWindows(run_.targets, engine_.hidden_);
        count += ops.hideFileWindows(run_.targets, engine_.hidden_);
    }
    ops.bringTopWindow(run_.targets);
    // Locking or blanking the screen only makes sense when there was
    // something to hide.
    if (count > 0)
        engine_.ApplySideActions(run_.settings);
}

void EnginePoller::ShowDialogAndEnd()
{
    if (hidden_ && engine_.HoldsHiddenWindows())
        engine_.RestoreEverything(false);
    run_.engineStop.store(1);
    engine_.operations.postToDialog(run_.dialog, UM_ENGINE_SHOW_DIALOG);
}

void EnginePoller::RestoreAndExit()
{
    if (hidden_)
        engine_.RestoreEverything(false);
    // Closed on its own thread, as its Exit button closes it.
    engine_.operations.postToDialog(run_.dialog, WM_CLOSE);
    run_.engineStop.store(1);
}

// ---- the engine ------------------------------------------------------------------------------

CEngine::CEngine() : operations(DefaultEngineOperations()), volume_(std::make_shared<VolumeMute>())
{
}

CEngine::~CEngine() = default;

void CEngine::ApplySideActions(const SettingData& settings)
{
    // The calls that may wait on the system (the lock, the screensaver, a
    // display mode change) run without engineLock, so that the session's end
    // or the tray is never held up by them.
    if (settings.muteVolume) {
        operations.setVolumeMute(*volume_, true);
        std::lock_guard<CCriticalSection> guard(engineLock);
        muteRequested_ = true;
    }
    if (settings.lockComputer)
        operations.lockWorkStation();
    if (settings.startScreensaver)
        operations.startScreensaver();
    if (settings.restoreResolution)
        operations.applyStoredDisplayMode();
    if (settings.hideNotifyArea) {
        const OwnTrayIcon own{settings.trayIcon, settings.hideOwnIcon != 0};
        operations.hideNotificationArea(true, own);
        std::lock_guard<CCriticalSection> guard(engineLock);
        notifyAreaHidden_ = true;
        notifyAreaOwnIcon_ = own;
    }
    // Whoever restores after our death must know what to undo.
    std::lock_guard<CCriticalSection> guard(engineLock);
    hidden_.hiddenJournal.NoteSideActions(volume_->Muted(), volume_->SavedWaveVolume(), notifyAreaHidden_);
    hidden_.hiddenJournal.Save();
}

int CEngine::RestoreEverything(bool onHelperThread)
{
    // Each side action is taken over under the lock and undone once, by
    // whichever thread restores first.
    bool unmute = false;
    bool showNotifyArea = false;
    OwnTrayIcon own;
    {
        std::lock_guard<CCriticalSection> guard(engineLock);
        std::swap(unmute, muteRequested_);
        std::swap(showNotifyArea, notifyAreaHidden_);
        own = notifyAreaOwnIcon_;
    }
    if (unmute) {
        if (onHelperThread)
            UndoOwnMute(volume_, operations.setVolumeMute);
        else
            operations.setVolumeMute(*volume_, false);
    }
    if (showNotifyArea)
        operations.hideNotificationArea(false, own);
    std::lock_guard<CCriticalSection> guard(engineLock);
    return operations.restoreHidden(hidden_);
}

bool CEngine::HoldsHiddenWindows()
{
    std::lock_guard<CCriticalSection> guard(engineLock);
    return !hidden_.IsEmpty();
}

namespace {

struct ThreadStart {
    CEngine* engine;
    std::shared_ptr<EngineRun> run;
};

} // namespace

DWORD WINAPI CEngine::ThreadMain(LPVOID parameter)
{
    // The thread holds its own run: a run the dialog has let go of, or
    // replaced, stays alive until its thread is done with it.
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
    EngineRun& run = *start->run;
    run.threadId.store(GetCurrentThreadId());
    {
        // Make the message queue now, so the tray's first command is kept
        // even when it comes before the first poll.
        MSG probe;
        PeekMessageW(&probe, nullptr, 0, 0, PM_NOREMOVE);
        SetEvent(run.queueReady.get());
    }
    EnginePoller poller(*start->engine, run);
    while (run.engineStop.load() == 0) {
        if (!poller.Poll())
            break;
    }
    run.engineDone.store(1);
    return 0;
}

bool CEngine::Start(const SettingData& settings, EngineTargets targets, HWND dialog)
{
    auto run = std::make_shared<EngineRun>();
    run->settings = settings;
    run->targets = std::move(targets);
    run->dialog = dialog;
    run->queueReady.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!run->queueReady)
        return false;
    auto start = std::make_unique<ThreadStart>(ThreadStart{this, run});
    run->thread.reset(CreateThread(nullptr, 0, ThreadMain, start.get(), 0, nullptr));
    if (!run->thread)
        return false;
    static_cast<void>(start.release()); // the thread owns it now
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
        run_->engineStop.store(1);
    if (previous_)
        previous_->engineStop.store(1);
}

bool CEngine::WaitEnded(ULONGLONG deadlineTick) const
{
    for (const auto* run : {&previous_, &run_}) {
        if (!*run || (*run)->engineDone.load() != 0)
            continue;
        const ULONGLONG now = GetTickCount64();
        const DWORD wait = deadlineTick > now ? static_cast<DWORD>(deadlineTick - now) : 0;
        WaitForSingleObject((*run)->thread.get(), wait);
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

CEngine& TheEngine()
{
    static CEngine engine;
    return engine;
}
