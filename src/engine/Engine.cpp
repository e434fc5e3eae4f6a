#include "engine/Engine.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "actions/Display.h"
#include "actions/NotifyArea.h"
#include "actions/TrayIconPort.h"
#include "actions/Unmute.h"
#include "catalogue/Catalogues.h"
#include "framework/Log.h"
#include "hiding/Hiding.h"
#include "system/ProcessInfo.h"

namespace {

constexpr DWORD kPollPeriodMs = 20;
constexpr DWORD kDebounceMs = 1000;
// A thread makes its queue first thing; a start never waits longer for it.
constexpr DWORD kQueueReadyTimeoutMs = 1000;
// How often a sleeping engine wakes to ask whether input moves that raw
// input does not bring: each look costs a wake-up.
constexpr DWORD kInputCheckMs = 2000;

constexpr wchar_t kInputWindowClass[] = L"CovelinEngineInput";

// The generic desktop page's usages: the mouse and the keyboard.
constexpr USHORT kUsagePageGeneric = 0x01;
constexpr USHORT kUsageMouse = 0x02;
constexpr USHORT kUsageKeyboard = 0x06;

// Raw input is registered once per process and device: two runs (one
// ending while the next starts) must not undo each other's registration.
CCriticalSection& RawInputLock()
{
    static CCriticalSection lock;
    return lock;
}

bool RegisterRawInput(HWND target, bool mouse)
{
    std::lock_guard<CCriticalSection> guard(RawInputLock());
    // Sink: the input comes whichever program has the focus.
    RAWINPUTDEVICE devices[2] = {{kUsagePageGeneric, kUsageKeyboard, RIDEV_INPUTSINK, target},
                                 {kUsagePageGeneric, kUsageMouse, RIDEV_INPUTSINK, target}};
    return RegisterRawInputDevices(devices, mouse ? 2 : 1, sizeof(RAWINPUTDEVICE)) != FALSE;
}

void UnregisterRawInput(HWND target)
{
    std::lock_guard<CCriticalSection> guard(RawInputLock());
    UINT count = 0;
    if (GetRegisteredRawInputDevices(nullptr, &count, sizeof(RAWINPUTDEVICE)) == static_cast<UINT>(-1) || count == 0)
        return;
    std::vector<RAWINPUTDEVICE> devices(count);
    const UINT listed = GetRegisteredRawInputDevices(devices.data(), &count, sizeof(RAWINPUTDEVICE));
    if (listed == static_cast<UINT>(-1))
        return;
    devices.resize(listed);
    for (RAWINPUTDEVICE device : devices) {
        if (device.hwndTarget != target)
            continue; // a later run's
        device.dwFlags = RIDEV_REMOVE;
        device.hwndTarget = nullptr;
        RegisterRawInputDevices(&device, 1, sizeof device);
    }
}

DWORD WaitForInput(HANDLE stop, DWORD milliseconds)
{
    // Input already in the queue counts too, whether or not a look at the
    // queue has seen it.
    return MsgWaitForMultipleObjectsEx(stop != nullptr ? 1 : 0, &stop, milliseconds, QS_ALLINPUT | QS_RAWINPUT,
                                       MWMO_INPUTAVAILABLE);
}

EngineInput TakeInput(HWND window, RAWINPUT& input, MSG& command)
{
    // One pass over the whole queue: every look at it is a round trip to
    // the system (under Wine, to the wineserver).
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.hwnd == nullptr) {
            command = message;
            return EngineInput::Command;
        }
        if (message.message != WM_INPUT || message.hwnd != window) {
            DispatchMessageW(&message);
            continue;
        }
        UINT size = sizeof input;
        const UINT read = GetRawInputData(reinterpret_cast<HRAWINPUT>(message.lParam), RID_INPUT, &input, &size,
                                          sizeof(RAWINPUTHEADER));
        // The window's procedure frees what the system kept for the message.
        DispatchMessageW(&message);
        if (read != static_cast<UINT>(-1) && read >= sizeof(RAWINPUTHEADER))
            return EngineInput::RawInput;
    }
    return EngineInput::None;
}

DWORD LastInputTick()
{
    LASTINPUTINFO info{sizeof info, 0};
    return GetLastInputInfo(&info) ? info.dwTime : 0;
}

// The thread's own window for raw input: message-only, never shown.
HWND CreateInputWindow()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kInputWindowClass;
    // Registered by the first run; later runs find it there.
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, kInputWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance,
                           nullptr);
}

// A chord of the one key `code`: asked through chordIsDown, it tells
// whether that key is down.
HotkeyChord KeyAlone(int code)
{
    HotkeyChord chord{};
    chord.keys[code] = HotkeyChord::kMember;
    return chord;
}

} // namespace

EngineOperations DefaultEngineOperations()
{
    EngineOperations ops{};
    ops.chordIsDown = [](const HotkeyChord& chord) { return ChordIsDown(chord); };
    ops.tickCount = []() -> DWORD { return GetTickCount(); };
    ops.sleep = [](DWORD milliseconds) { Sleep(milliseconds); };
    ops.registerRawInput = RegisterRawInput;
    ops.unregisterRawInput = UnregisterRawInput;
    ops.waitForInput = WaitForInput;
    ops.takeInput = TakeInput;
    ops.lastInputTick = LastInputTick;
    ops.cursorPos = []() -> POINT {
        POINT cursor{};
        GetCursorPos(&cursor);
        return cursor;
    };
    // A refresher at work keeps the catalogue current; a resting one leaves
    // it to the hide.
    ops.rebuildWindowCatalogue = [](Catalogues& catalogues) {
        if (catalogues.windowRefresher.Resting())
            catalogues.windowCatalogue.Refresh();
    };
    ops.hideChosenWindows = HideChosenWindows;
    ops.hideProcessWindows = HideProcessWindows;
    ops.hideFileWindows = HideFileWindows;
    ops.hideRuleWindows = HideRuleWindows;
    ops.bringTopWindow = BringTopWindow;
    ops.restoreHidden = RestoreHidden;
    ops.finishHide = FinishHide;
    ops.watchHidden = WatchWhileHidden;
    ops.noteNotHidden = [](int windows) {
        if (TrayIconPort* tray = NotifyAreaTrayIcon())
            tray->NoteNotHidden(windows);
    };
    ops.setVolumeMute = [](VolumeMute& volume, bool mute) { volume.SetVolumeMute(mute); };
    ops.muteHiddenPrograms = [](VolumeMute& volume, const std::vector<std::wstring>& executables) {
        return volume.MuteSessionsOf(executables);
    };
    ops.lockWorkStation = []() -> BOOL { return LockWorkStation(); };
    ops.startScreensaver = [] { StartScreensaver(); };
    ops.applyStoredDisplayMode = [](const DisplayMode& mode) -> LONG { return ApplyStoredDisplayMode(mode); };
    ops.hideNotificationArea = [](bool hide, const OwnTrayIcon& own) { return HideNotificationArea(hide, own); };
    ops.executablesOfWindows = [](const std::vector<HWND>& windows) {
        std::vector<DWORD> processes;
        std::vector<std::wstring> paths;
        for (HWND window : windows) {
            DWORD processId = 0;
            if (GetWindowThreadProcessId(window, &processId) == 0 ||
                std::find(processes.begin(), processes.end(), processId) != processes.end())
                continue;
            processes.push_back(processId);
            std::wstring path;
            if (ExecutablePathOfProcess(processId, path)) {
                path = UpperCasePath(path);
                if (std::find(paths.begin(), paths.end(), path) == paths.end())
                    paths.push_back(std::move(path));
            }
        }
        return paths;
    };
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

// ---- sleeping until input ----------------------------------------------------------------

EnginePoller::~EnginePoller()
{
    if (listening_)
        engine_.operations.unregisterRawInput(window_.get());
}

void EnginePoller::Listen()
{
    const EngineOperations& ops = engine_.operations;
    const SettingData& settings = run_.settings;
    window_.reset(CreateInputWindow());
    // The mouse wakes the thread only for a chord that needs it: its moves
    // would wake it all the time.
    mouse_ = ChordHasMouseButton(settings.toggleChord) || ChordHasMouseButton(settings.showDialogChord);
    listening_ = window_ && ops.registerRawInput(window_.get(), mouse_);
    if (!listening_)
        Log::Failure(L"Raw input for the hotkeys; they are polled every 20 ms instead");
    lastCheckTick_ = ops.tickCount();
    lastInputTick_ = ops.lastInputTick();
    lastCursor_ = ops.cursorPos();
}

bool EnginePoller::AwaitPoll()
{
    const EngineOperations& ops = engine_.operations;
    bool queueMayHold = true; // false after a wait that ran out: it was empty
    bool wokenForQueue = false;
    for (;;) {
        if (run_.engineStop.load() != 0)
            return false;
        // Asleep, one record per wake: the next wait tells whether more are
        // queued, for the price of the look that would find none. The looks
        // after the queue's stop at the first that calls for a poll; a poll
        // after a look that emptied the queue need not look again.
        bool took = false;
        bool emptied = false;
        const bool chordKeyPressed = queueMayHold && TakeInput(polling_, took, emptied);
        queueLooked_ = emptied;
        polling_ = chordKeyPressed || commandTaken_ || !listening_ || BlindToInput() || (polling_ && AnyChordKeyDown());
        if (polling_)
            return true;
        // Woken for the queue and nothing in it for us: whatever keeps the
        // wait from sleeping is not allowed to make it spin.
        if (wokenForQueue && !took)
            ops.sleep(kPollPeriodMs);
        const DWORD sinceCheck = ops.tickCount() - lastCheckTick_;
        const DWORD waited =
            ops.waitForInput(run_.stopSignal.get(), sinceCheck < kInputCheckMs ? kInputCheckMs - sinceCheck : 0);
        queueMayHold = waited != WAIT_TIMEOUT;
        wokenForQueue = waited != WAIT_TIMEOUT && waited != WAIT_OBJECT_0;
    }
}

bool EnginePoller::TakeInput(bool all, bool& took, bool& emptied)
{
    const EngineOperations& ops = engine_.operations;
    bool chordKey = false;
    RAWINPUT input{};
    while (!commandTaken_) {
        const EngineInput taken = ops.takeInput(window_.get(), input, command_);
        if (taken == EngineInput::None) {
            emptied = true;
            break;
        }
        took = true;
        if (taken == EngineInput::Command) {
            commandTaken_ = true;
            break;
        }
        rawSeen_ = true;
        chordKey = chordKey || RawInputPressesChordKey(input, run_.settings.toggleChord) ||
                   RawInputPressesChordKey(input, run_.settings.showDialogChord);
        if (!all)
            break;
    }
    return chordKey;
}

bool EnginePoller::AnyChordKeyDown() const
{
    const SettingData& settings = run_.settings;
    for (int code = 0; code < 256; ++code) {
        if ((settings.toggleChord.Has(code) || settings.showDialogChord.Has(code)) &&
            engine_.operations.chordIsDown(KeyAlone(code)))
            return true;
    }
    return false;
}

bool EnginePoller::BlindToInput()
{
    const EngineOperations& ops = engine_.operations;
    const DWORD now = ops.tickCount();
    if (now - lastCheckTick_ < kInputCheckMs)
        return blind_;
    lastCheckTick_ = now;
    // Input came and none of it raw: keys the polls must watch, unless the
    // cursor moved and so the mouse, whose raw input is not asked for, can
    // explain it. The cursor is asked about only then.
    const DWORD input = ops.lastInputTick();
    blind_ = false;
    if (input != lastInputTick_) {
        const POINT cursor = ops.cursorPos();
        const bool cursorMoved = cursor.x != lastCursor_.x || cursor.y != lastCursor_.y;
        blind_ = !rawSeen_ && (mouse_ || !cursorMoved);
        lastCursor_ = cursor;
    }
    lastInputTick_ = input;
    rawSeen_ = false;
    if (blind_ && !blindLogged_) {
        blindLogged_ = true;
        Log::Line(L"Input arrives that raw input does not bring: the hotkeys are polled every 20 ms while it lasts");
    }
    return blind_;
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
    const UINT command = message_.message;

    // The toggle goes first: a show-dialog chord that contains the toggle
    // chord toggles, and a command taken while the toggle chord is held is
    // dropped.
    if (ops.chordIsDown(run_.settings.toggleChord) || command == UM_TOGGLE_HIDE) {
        Toggle();
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
    // The wait before the poll has looked at the queue just now: a command
    // that came since is taken by the next. Any look at the queue is a round
    // trip to the system (under Wine, to the wineserver).
    const bool looked = std::exchange(queueLooked_, false);
    if (std::exchange(commandTaken_, false)) {
        message_ = command_;
        return true;
    }
    if (looked)
        return false;
    // Commands are thread messages; the window's messages are raw input's.
    return PeekMessageW(&message_, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE) != FALSE;
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
    HideCheck check;
    unsigned restoresSeen = 0;
    {
        // The refresher must not rebuild the catalogue while it is walked.
        std::lock_guard<CCriticalSection> engineGuard(engine_.engineLock);
        std::unique_lock<CCriticalSection> windowGuard;
        if (run_.targets.catalogues != nullptr) {
            windowGuard = std::unique_lock<CCriticalSection>(run_.targets.catalogues->windowLock);
            // The catalogue rests while the dialog is hidden: rebuilt here,
            // for this hide alone, before it is walked.
            ops.rebuildWindowCatalogue(*run_.targets.catalogues);
        }
        count += ops.hideChosenWindows(run_.targets, engine_.hidden_);
        count += ops.hideProcessWindows(run_.targets, engine_.hidden_);
        count += ops.hideFileWindows(run_.targets, engine_.hidden_);
        if (ops.hideRuleWindows)
            count += ops.hideRuleWindows(run_.targets, engine_.hidden_);
        if (ops.finishHide)
            check = ops.finishHide(run_.targets, engine_.hidden_);
        restoresSeen = engine_.restores_;
    }
    // A window still in view is not counted as hidden.
    count += check.ownedHidden - check.pushesNotHidden;
    ops.bringTopWindow(run_.targets);
    if (ops.noteNotHidden && check.NotHidden() > 0) {
        ops.noteNotHidden(check.NotHidden());
        engine_.notHiddenNoted_.store(true);
    }
    if (ops.watchHidden &&
        (count > 0 || !run_.targets.processes.empty() || !run_.targets.files.empty() || !run_.targets.rules.empty()))
        ops.watchHidden(engine_.watch_, run_.targets, engine_.hidden_, engine_.engineLock);
    // Locking or blanking the screen only makes sense when something was
    // hidden, or at least minimised.
    if (count + check.minimised > 0)
        engine_.ApplySideActions(run_, restoresSeen);
}

void EnginePoller::ShowDialogAndEnd()
{
    // Whatever the watch would still hide is the restore's too.
    engine_.watch_.Stop();
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

void CEngine::ApplySideActions(const EngineRun& run, unsigned restoresSeen)
{
    const SettingData& settings = run.settings;
    // Asked before the lock is taken: it opens every hidden window's process.
    std::vector<std::wstring> executables;
    if (settings.muteVolume && run.choices.muteHiddenOnly) {
        std::vector<HWND> windows;
        {
            std::lock_guard<CCriticalSection> guard(engineLock);
            for (int i = 0; i < hidden_.hiddenStack.GetSize(); ++i)
                windows.push_back(hidden_.hiddenStack[i]);
        }
        executables = operations.executablesOfWindows(windows);
    }

    // The mute and the notification area are each taken and noted under
    // engineLock in one step: a restore from another thread (the session's
    // end) finds them either in force and noted, or not begun and never to
    // begin. Neither waits on another program for long (the shell's windows
    // are changed asynchronously).
    if (settings.muteVolume) {
        std::lock_guard<CCriticalSection> guard(engineLock);
        if (restores_ != restoresSeen)
            return; // the windows are back already
        if (!run.choices.muteHiddenOnly || !operations.muteHiddenPrograms(*volume_, executables))
            operations.setVolumeMute(*volume_, true);
        muteRequested_ = true;
        NoteSideActions();
    }

    // The calls that may wait on the system (the lock, the screensaver, a
    // display mode change) run without engineLock, so that the session's end
    // or the tray is never held up by them. None of them is undone.
    if (settings.lockComputer)
        operations.lockWorkStation();
    if (settings.startScreensaver)
        operations.startScreensaver();
    if (settings.restoreResolution)
        operations.applyStoredDisplayMode(run.choices.storedDisplayMode);

    if (settings.hideNotifyArea) {
        std::lock_guard<CCriticalSection> guard(engineLock);
        if (restores_ != restoresSeen)
            return;
        // A shell without the area's windows: nothing done, nothing noted.
        const OwnTrayIcon own{settings.trayIcon, settings.hideOwnIcon != 0};
        if (operations.hideNotificationArea(true, own)) {
            notifyAreaHidden_ = true;
            notifyAreaTray_ = own;
            NoteSideActions();
        }
    }
}

void CEngine::NoteSideActions()
{
    // Whoever restores after our death must know what to undo.
    hidden_.hiddenJournal.NoteSideActions(volume_->State(), notifyAreaHidden_);
    hidden_.hiddenJournal.Save();
}

int CEngine::RestoreEverything(bool onHelperThread)
{
    // Nothing may be hidden behind the restore's back.
    watch_.Stop();
    // Each side action is taken over under the lock and undone once, by
    // whichever thread restores first; a hide still busy with its side
    // actions sees the count change and adds none after this.
    bool unmute = false;
    bool showNotifyArea = false;
    OwnTrayIcon own;
    {
        std::lock_guard<CCriticalSection> guard(engineLock);
        ++restores_;
        std::swap(unmute, muteRequested_);
        std::swap(showNotifyArea, notifyAreaHidden_);
        own = notifyAreaTray_;
    }
    if (unmute) {
        if (onHelperThread)
            UndoOwnMute(volume_, operations.setVolumeMute);
        else
            operations.setVolumeMute(*volume_, false);
    }
    if (showNotifyArea)
        operations.hideNotificationArea(false, own);
    if (notHiddenNoted_.exchange(false) && operations.noteNotHidden)
        operations.noteNotHidden(0);
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
    {
        EnginePoller poller(*start->engine, run);
        poller.Listen();
        while (poller.AwaitPoll() && poller.Poll()) {
        }
    }
    run.engineDone.store(1);
    return 0;
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
