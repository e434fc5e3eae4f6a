#pragma once
// The engine: the object that owns an armed run and everything a hide
// leaves behind. It watches the two hotkey chords on a thread of its own,
// hides and restores the chosen windows, carries out the side actions and
// undoes them. Its parts, each in its own file:
//   InputWait.h    the thread's sleep until a chord's key or a command comes
//   ChordPoll.h    the polls that turn chords and commands into the run's acts
//   HideSession.h  the hide, its side actions and the restore, and their state
//   Engine.h       the engine's life: start, stop and the wait for the end
//
// Threads: Start, RequestStop, PostCommand and the other run calls belong to
// the user-interface thread. The engine thread reads only its run's own copy
// of the settings and the targets. What both touch is the hide session's,
// behind its engineLock.
#include <windows.h>

#include <atomic>
#include <memory>

#include "engine/HideSession.h"
#include "engine/InputWait.h"
#include "engine/WindowMessages.h"
#include "framework/Handles.h"
#include "framework/Thread.h"
#include "hiding/EngineTargets.h"
#include "recovery/HiddenWindowsOwner.h"
#include "settings/SettingData.h"

// Everything the engine does to the world, one table per part, so that tests
// can drive polls one by one and record what happens in which order. The
// defaults are the real operations.
struct EngineOperations {
    InputOperations input;
    HideOperations hide;
    SideActionOperations sideActions;
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
    RunChoices choices;
    EngineTargets targets;
    HWND dialog = nullptr;           // where the run posts its requests
    std::atomic<LONG> engineStop{0}; // asks the run to end
    std::atomic<LONG> engineDone{0}; // the run's thread has ended
    std::atomic<DWORD> threadId{0};
    UniqueHandle queueReady; // set once the thread's queue exists
    CWinThread thread;
    // Set with engineStop by RequestStop, so that a sleeping thread sees it.
    UniqueHandle stopSignal{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

    // Posts `message` to the run's thread, which wakes for it.
    bool Post(UINT message);
    // Sets engineStop and wakes the thread.
    void RequestStop();
};

class CEngine : public HiddenWindowsOwner {
public:
    // `trayIcon` (null: none) tells of windows left in view and comes back
    // with the notification area; it outlives the engine.
    explicit CEngine(TrayIconPort* trayIcon = nullptr);
    CEngine(const CEngine&) = delete;
    CEngine& operator=(const CEngine&) = delete;
    ~CEngine() override;

    // ---- the user-interface thread -------------------------------------

    // Arms a new run with a copy of `settings` and `targets`; requests go to
    // `dialog`. Returns false when no thread could be started. A previous run
    // that is still ending keeps only its own state.
    bool Start(const SettingData& settings, EngineTargets targets, HWND dialog, const RunChoices& choices = {});

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

    // The hide session's (HideSession.h).
    int RestoreEverything(bool onHelperThread) override { return session_.RestoreEverything(onHelperThread); }
    bool HoldsHiddenWindows() { return session_.HoldsHiddenWindows(); }
    HiddenJournal& Journal() override { return session_.Journal(); }
    CHideSession& Session() { return session_; }

    // What the engine does to the world; tests swap it before a run.
    EngineOperations operations;

private:
    // The run's thread, from its start to its end.
    static void ThreadMain(CEngine& engine, EngineRun& run);

    CHideSession session_;

    // User-interface thread only: the latest run, and the one before it
    // while that one is still ending.
    std::shared_ptr<EngineRun> run_;
    std::shared_ptr<EngineRun> previous_;
    bool dialogOwned_ = false;
};
