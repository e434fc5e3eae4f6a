#include "engine/Engine.h"

#include <mutex>

#include "catalogue/WindowCatalogue.h"
#include "engine/Display.h"
#include "engine/EngineDialog.h"
#include "engine/Hiding.h"
#include "engine/NotifyArea.h"
#include "engine/Recovery.h"
#include "engine/SettingFile.h"
#include "engine/Volume.h"
#include "framework/Thread.h"

std::atomic<LONG> engineStop{0};
std::atomic<LONG> engineDone{1};
CWinThread* engineThread = nullptr;
EngineDialog* mainDialog = nullptr;

namespace {

constexpr DWORD kPollPeriodMs = 20;
constexpr DWORD kDebounceMs = 1000;

} // namespace

EngineOperations DefaultEngineOperations()
{
    EngineOperations ops{};
    ops.chordIsDown = [](const HotkeyChord& chord) { return ChordIsDown(chord); };
    ops.tickCount = []() -> DWORD { return GetTickCount(); };
    ops.sleep = [](DWORD milliseconds) { Sleep(milliseconds); };
    ops.hideChosenWindows = [] { return HideChosenWindows(); };
    ops.hideProcessWindows = [] { return HideProcessWindows(); };
    ops.hideFileWindows = [] { return HideFileWindows(); };
    ops.bringTopWindow = [] { return BringTopWindow(); };
    ops.restoreHidden = [] { return RestoreHidden(); };
    ops.setVolumeMute = [](bool mute) { SetVolumeMute(mute); };
    ops.lockWorkStation = []() -> BOOL { return LockWorkStation(); };
    ops.startScreensaver = [] { StartScreensaver(); };
    ops.applyStoredDisplayMode = []() -> LONG { return ApplyStoredDisplayMode(); };
    ops.hideNotificationArea = [](bool hide) { HideNotificationArea(hide); };
    return ops;
}

EngineOperations engineOperations = DefaultEngineOperations();

EnginePoller::EnginePoller() : EnginePoller(settingFile.Data()) {}

EnginePoller::EnginePoller(SettingData* settings) : settings_(settings) {}

bool EnginePoller::Poll()
{
    engineOperations.sleep(kPollPeriodMs);

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
    if (engineOperations.chordIsDown(settings_->toggleChord) || command == UM_TOGGLE_HIDE) {
        Toggle();
        // The sequences call into other programs' windows, and anything that
        // peeks at our queue meanwhile may leave its status bits cleared
        // under a message still queued: look at the queue itself next time.
        queueSeenEmpty_ = false;
        return true;
    }
    if (engineOperations.chordIsDown(settings_->showDialogChord) || command == UM_SHOW_SETTINGS) {
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
    // Nearly every poll finds the queue empty. Once a poll has seen it empty,
    // the queue's status tells whether anything has come since, for less
    // than a look that finds nothing (under Wine both are a round trip to
    // the wineserver, fifty times a second). A message posted since sets the
    // status; only taking messages clears it. After a poll that took a
    // message the rest of the queue is looked at directly, since taking one
    // may clear the status while more are queued.
    if (queueSeenEmpty_ && !HIWORD(GetQueueStatus(QS_ALLINPUT)))
        return false;
    queueSeenEmpty_ = !PeekMessageW(&message_, nullptr, 0, 0, PM_REMOVE);
    return !queueSeenEmpty_;
}

void EnginePoller::Toggle()
{
    // Unsigned 32-bit difference: right across the wrap of the tick count.
    const DWORD now = engineOperations.tickCount();
    if (static_cast<DWORD>(now - lastToggleTick_) < kDebounceMs)
        return;
    lastToggleTick_ = now;
    {
        std::lock_guard<CCriticalSection> guard(engineLock);
        if (!hidden_)
            HideSequence();
        else
            RestoreSequence();
    }
    // Flips even when the hide found nothing: the next press is a restore.
    hidden_ = !hidden_;
}

void EnginePoller::HideSequence()
{
    int count = 0;
    {
        // The refresher must not rebuild the catalogue while it is walked.
        std::lock_guard<CCriticalSection> guard(windowLock);
        count += engineOperations.hideChosenWindows();
        count += engineOperations.hideProcessWindows();
        count += engineOperations.hideFileWindows();
    }
    engineOperations.bringTopWindow();
    if (count <= 0)
        return;

    // Locking or blanking the screen only makes sense when there was
    // something to hide.
    if (settings_->muteVolume)
        engineOperations.setVolumeMute(true);
    if (settings_->lockComputer)
        engineOperations.lockWorkStation();
    if (settings_->startScreensaver)
        engineOperations.startScreensaver();
    if (settings_->restoreResolution)
        engineOperations.applyStoredDisplayMode();
    if (settings_->hideNotifyArea)
        engineOperations.hideNotificationArea(true);
    // Whoever restores after our death must know what to undo.
    hiddenJournal.NoteSideActions(muted != 0, savedWaveVolume, settings_->hideNotifyArea != 0);
    hiddenJournal.Save();
}

void EnginePoller::RestoreSequence()
{
    // An empty stack means the last hide found nothing, so no side action ran.
    if (!hiddenStack.IsEmpty()) {
        if (settings_->muteVolume)
            engineOperations.setVolumeMute(false);
        if (settings_->hideNotifyArea)
            engineOperations.hideNotificationArea(false);
    }
    engineOperations.restoreHidden();
}

void EnginePoller::ShowDialogAndEnd()
{
    {
        std::lock_guard<CCriticalSection> guard(engineLock);
        if (hidden_ && !hiddenStack.IsEmpty()) {
            if (settings_->muteVolume)
                engineOperations.setVolumeMute(false);
            if (settings_->hideNotifyArea)
                engineOperations.hideNotificationArea(false);
            engineOperations.restoreHidden();
        }
    }
    engineStop.store(1);
    if (EngineDialog* dialog = mainDialog) {
        dialog->EngineShowDialog();
        dialog->EngineRestoreDialog();
        dialog->EngineForegroundDialog();
        dialog->EngineRepaintDialog();
    }
}

void EnginePoller::RestoreAndExit()
{
    if (hidden_) {
        // Unmutes only if we muted, whatever the option says now.
        engineOperations.setVolumeMute(false);
        std::lock_guard<CCriticalSection> guard(engineLock);
        if (settings_->hideNotifyArea && !hiddenStack.IsEmpty())
            engineOperations.hideNotificationArea(false);
        engineOperations.restoreHidden();
    }
    if (EngineDialog* dialog = mainDialog)
        dialog->PostCloseDialog();
    engineStop.store(1);
}

namespace {

// Signalled by the engine once its message queue exists. Made once and kept
// for the whole run, so a thread that comes late never signals a closed handle.
HANDLE EngineQueueReady()
{
    static const HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return ready;
}

} // namespace

UINT EngineThread(LPVOID)
{
    // The stop flag was cleared by the starter before the thread existed:
    // clearing it again here could lose a stop asked for in between.
    engineDone.store(0);
    {
        // Make the message queue now, so the tray's first command is kept
        // even when it comes before the first poll.
        MSG probe;
        PeekMessageW(&probe, nullptr, 0, 0, PM_NOREMOVE);
        if (HANDLE ready = EngineQueueReady())
            SetEvent(ready);
    }
    EnginePoller poller;
    while (engineStop.load() == 0) {
        if (!poller.Poll())
            break;
    }
    engineDone.store(1);
    return 0;
}

CWinThread* StartEngineThread()
{
    engineStop.store(0);
    engineDone.store(0);
    // A thread message posted before the thread has a queue is lost, so the
    // tray's commands are taken only once the queue exists (a short, bounded
    // wait: the thread makes it first thing).
    HANDLE ready = EngineQueueReady();
    if (ready)
        ResetEvent(ready);
    CWinThread* thread = AfxBeginThread(EngineThread, nullptr);
    if (!thread)
        engineDone.store(1);
    else if (ready)
        WaitForSingleObject(ready, 1000);
    return thread;
}

bool EngineAcceptsCommands()
{
    return engineThread != nullptr && engineStop.load() == 0 && engineDone.load() == 0;
}

bool PostEngineCommand(UINT message)
{
    if (!EngineAcceptsCommands())
        return false;
    return engineThread->PostThreadMessage(message, 0, 0) != 0;
}
