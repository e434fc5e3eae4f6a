#pragma once
// The engine: the object that owns an armed run and everything a hide
// leaves behind. It polls the two hotkey chords on a thread of its own, hides
// and restores the chosen windows, carries out the side actions and undoes
// them.
//
// Threads: Start, RequestStop, PostCommand and the other run calls belong to
// the user-interface thread. The engine thread reads only its run's own copy
// of the settings and the targets. What both touch (the hidden windows, the
// journal and the side actions in force) is behind engineLock, which is held
// only around short work that never waits on another program for long.
// engineLock comes before the catalogues' windowLock (catalogue/Catalogues.h).
#include <windows.h>

#include <atomic>
#include <memory>

#include "actions/NotifyArea.h"
#include "actions/Volume.h"
#include "framework/Handles.h"
#include "framework/Sync.h"
#include "hiding/EngineTargets.h"
#include "hiding/HiddenWindows.h"
#include "settings/HotkeyChord.h"
#include "settings/SettingData.h"

// Thread messages to the engine (both parameters 0): the tray's commands.
inline constexpr UINT UM_TOGGLE_HIDE = WM_USER + 100;   // 1124: as a press of the show/hide chord
inline constexpr UINT UM_SHOW_SETTINGS = WM_USER + 101; // 1125: as a press of the show-dialog chord
inline constexpr UINT UM_RESTORE_EXIT = WM_USER + 102;  // 1126: restore, close the main dialog, end

// Posted by the engine to the main dialog (both parameters 0): show yourself
// again, the engine has ended. For "Restore && Exit" it posts WM_CLOSE.
inline constexpr UINT UM_ENGINE_SHOW_DIALOG = WM_APP + 40;

// Everything the engine does to the world goes through this table, so that
// tests can drive polls one by one and record what happens in which order.
// The defaults are the real operations.
struct EngineOperations {
    int (*chordIsDown)(const HotkeyChord& chord);
    DWORD (*tickCount)();
    void (*sleep)(DWORD milliseconds);

    int (*hideChosenWindows)(const EngineTargets& targets, HiddenWindows& hidden);
    int (*hideProcessWindows)(const EngineTargets& targets, HiddenWindows& hidden);
    int (*hideFileWindows)(const EngineTargets& targets, HiddenWindows& hidden);
    int (*bringTopWindow)(const EngineTargets& targets);
    int (*restoreHidden)(HiddenWindows& hidden);

    void (*setVolumeMute)(VolumeMute& volume, bool mute);
    BOOL (*lockWorkStation)();
    void (*startScreensaver)();
    LONG (*applyStoredDisplayMode)();
    void (*hideNotificationArea)(bool hide, const OwnTrayIcon& own);

    // Tells the main dialog what to do (UM_ENGINE_SHOW_DIALOG, WM_CLOSE).
    void (*postToDialog)(HWND dialog, UINT message);
};

// The real operations.
EngineOperations DefaultEngineOperations();

// One armed run: its own stop and done flags, so that a thread that ends
// late can only ever mark its own run finished, and its own copy of what it
// acts on. Shared by the engine and the run's thread.
struct EngineRun {
    SettingData settings{};
    EngineTargets targets;
    HWND dialog = nullptr;           // where the run posts its requests
    std::atomic<LONG> engineStop{0}; // asks the run to end
    std::atomic<LONG> engineDone{0}; // the run's thread has ended
    std::atomic<DWORD> threadId{0};
    // Raised after each command is posted: every command comes from inside
    // this process, so an idle poll needs to look at no queue at all.
    std::atomic<bool> commandWaiting{false};
    UniqueHandle queueReady; // set once the thread's queue exists
    UniqueHandle thread;

    // Posts `message` to the run's thread and raises the flag.
    bool Post(UINT message);
};

class CEngine;

// One run of the engine's loop, split so that a test can run it poll by
// poll on its own thread (messages come from the calling thread's queue).
class EnginePoller {
public:
    // Fresh state: not hidden, last toggle at tick 0.
    EnginePoller(CEngine& engine, EngineRun& run) : engine_(engine), run_(run) {}

    // One poll: sleep 20 ms, take at most one message, then toggle, show the
    // dialog, or restore and exit. Returns false when the loop must end.
    bool Poll();

    bool Hidden() const { return hidden_; }
    DWORD LastToggleTick() const { return lastToggleTick_; }

private:
    // Takes the next message of the thread's queue into message_, if any.
    bool TakeMessage();
    void Toggle();
    void HideSequence();
    void ShowDialogAndEnd();
    void RestoreAndExit();

    CEngine& engine_;
    EngineRun& run_;
    bool hidden_ = false;
    DWORD lastToggleTick_ = 0;
    MSG message_{};
    bool queueSeenEmpty_ = false; // the last poll found the queue empty
};

class CEngine {
public:
    CEngine();
    CEngine(const CEngine&) = delete;
    CEngine& operator=(const CEngine&) = delete;
    ~CEngine();

    // ---- the user-interface thread -------------------------------------

    // Arms a new run with a copy of `settings` and `targets`; requests go to
    // `dialog`. Returns false when no thread could be started. A previous run
    // that is still ending keeps only its own state.
    bool Start(const SettingData& settings, EngineTargets targets, HWND dialog);

    // A run has been started and the dialog has not been shown since: the
    // engine owns the dialog's fate (the tray then sends it its commands).
    bool HasRun() const { return run_ != nullptr && dialogOwned_; }
    // The dialog is on screen again: the run, ended or ending, is let go.
    void ForgetRun();

    // Whether the current run takes commands: it exists and has neither
    // ended nor been told to end.
    bool AcceptsCommands() const;
    // Posts one of the UM_ commands to the run when AcceptsCommands().
    bool PostCommand(UINT message);

    // Asks the current run to end; WaitEnded waits (until `deadlineTick` of
    // GetTickCount64) for its thread to finish. True when no run is left.
    void RequestStop();
    bool WaitEnded(ULONGLONG deadlineTick) const;
    bool RunEnded() const;

    // ---- any thread ----------------------------------------------------

    // The one way back: undoes the side actions in force (the mute, the
    // hidden notification area) and shows every hidden window, the first
    // hidden in front. `onHelperThread`: unmute on a thread of its own (for
    // callers whose COM apartment must stay untouched). Returns the number
    // of windows shown.
    int RestoreEverything(bool onHelperThread);

    // Whether windows are hidden right now (the tray's menu texts).
    bool HoldsHiddenWindows();

    // The journal, for start-up's recovery guard.
    HiddenJournal& Journal() { return hidden_.hiddenJournal; }

    // What the engine does to the world; tests swap it before a run.
    EngineOperations operations;

    // Guards the hidden windows, the journal and the side actions in force.
    CCriticalSection engineLock;

private:
    friend class EnginePoller;
    static DWORD WINAPI ThreadMain(LPVOID parameter);

    // The hide's side actions, after the windows are gone.
    void ApplySideActions(const SettingData& settings);

    HiddenWindows hidden_;
    bool muteRequested_ = false;
    bool notifyAreaHidden_ = false;
    // Our tray icon as the run that hid the area shows it, for the re-add.
    OwnTrayIcon notifyAreaOwnIcon_;
    // Shared with an unmute helper thread, which may outlive its caller's wait.
    std::shared_ptr<VolumeMute> volume_;

    // User-interface thread only: the latest run, and the one before it
    // while that one is still ending.
    std::shared_ptr<EngineRun> run_;
    std::shared_ptr<EngineRun> previous_;
    bool dialogOwned_ = false;
};

// The program's engine.
CEngine& TheEngine();
