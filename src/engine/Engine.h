#pragma once
// The engine: the object that owns an armed run and everything a hide
// leaves behind. It watches the two hotkey chords on a thread of its own,
// hides and restores the chosen windows, carries out the side actions and
// undoes them.
//
// The thread sleeps until input: raw input of the keyboard (and of the
// mouse, when a chord holds a button) wakes it, and only a key that may
// belong to a chord starts the 20 ms polls, which go on while any key of
// either chord is down. Commands wake it as well. Where raw input cannot be
// had, or the system sees input that raw input does not bring, it polls.
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
#include <string>
#include <vector>

#include "actions/Display.h"
#include "actions/NotifyArea.h"
#include "actions/Volume.h"
#include "framework/Handles.h"
#include "framework/Sync.h"
#include "hiding/EngineTargets.h"
#include "hiding/HiddenWatch.h"
#include "hiding/HiddenWindows.h"
#include "hiding/Hiding.h"
#include "hiding/RuleHiding.h"
#include "settings/HotkeyChord.h"
#include "settings/SettingData.h"

// Thread messages to the engine (both parameters 0): the tray's commands.
inline constexpr UINT UM_TOGGLE_HIDE = WM_USER + 100;   // 1124: as a press of the show/hide chord
inline constexpr UINT UM_SHOW_SETTINGS = WM_USER + 101; // 1125: as a press of the show-dialog chord
inline constexpr UINT UM_RESTORE_EXIT = WM_USER + 102;  // 1126: restore, close the main dialog, end

// Posted by the engine to the main dialog (both parameters 0): show yourself
// again, the engine has ended. For "Restore && Exit" it posts WM_CLOSE.
inline constexpr UINT UM_ENGINE_SHOW_DIALOG = WM_APP + 40;

// What the engine's thread found in its queue.
enum class EngineInput { None, RawInput, Command };

// Everything the engine does to the world goes through this table, so that
// tests can drive polls one by one and record what happens in which order.
// The defaults are the real operations.
struct EngineOperations {
    int (*chordIsDown)(const HotkeyChord& chord);
    DWORD (*tickCount)();
    void (*sleep)(DWORD milliseconds);

    // Waiting for input, on the run's thread. Registers `target`, a
    // message-only window of that thread, for the raw input of the keyboard,
    // and of the mouse too when `mouse`; false when the system refuses.
    bool (*registerRawInput)(HWND target, bool mouse);
    // Drops what the last registration for `target` asked for, if it is
    // still the one in force (raw input is one registration per process).
    void (*unregisterRawInput)(HWND target);
    // Sleeps until `stop` is signalled (WAIT_OBJECT_0), the thread's queue
    // holds a message or raw input (WAIT_OBJECT_0 + 1), or `milliseconds`
    // have passed (WAIT_TIMEOUT).
    DWORD (*waitForInput)(HANDLE stop, DWORD milliseconds);
    // Takes the thread's next message: raw input for `window` into `input`,
    // or a thread message (a command) into `command`. What is queued for
    // other windows of the thread is handled on the way.
    EngineInput (*takeInput)(HWND window, RAWINPUT& input, MSG& command);
    // The tick of the last input the system saw, and where the cursor is:
    // together they tell whether keys move that raw input does not show.
    DWORD (*lastInputTick)();
    POINT (*cursorPos)();

    // Rebuilds the window catalogue for a hide, unless its refresher keeps
    // it current; its windowLock is held.
    void (*rebuildWindowCatalogue)(Catalogues& catalogues);

    int (*hideChosenWindows)(const EngineTargets& targets, HiddenWindows& hidden);
    int (*hideProcessWindows)(const EngineTargets& targets, HiddenWindows& hidden);
    int (*hideFileWindows)(const EngineTargets& targets, HiddenWindows& hidden);
    // The title and class rules, after the files. Null: no rule hides.
    int (*hideRuleWindows)(const EngineTargets& targets, HiddenWindows& hidden);
    int (*bringTopWindow)(const EngineTargets& targets);
    int (*restoreHidden)(HiddenWindows& hidden);
    // After the three hides: the owned windows, and what did not hide. Null:
    // nothing to check.
    HideCheck (*finishHide)(const EngineTargets& targets, HiddenWindows& hidden);
    // Keeps hidden what appears while hidden, until the restore. Null: no watch.
    void (*watchHidden)(HiddenWatch& watch, const EngineTargets& targets, HiddenWindows& hidden,
                        CCriticalSection& lock);
    // Tells the user, quietly, how many windows are still in view (0: none,
    // back to normal). Null: nobody is told.
    void (*noteNotHidden)(int windows);

    void (*setVolumeMute)(VolumeMute& volume, bool mute);
    // Mutes the sessions of programs running one of `executables`; false
    // when sessions cannot be listed (the whole output is muted instead).
    bool (*muteHiddenPrograms)(VolumeMute& volume, const std::vector<std::wstring>& executables);
    BOOL (*lockWorkStation)();
    void (*startScreensaver)();
    LONG (*applyStoredDisplayMode)(const DisplayMode& storedDisplayMode);
    // True when it was done: a shell without the notification area's
    // windows is left alone, and then nothing is to be undone.
    bool (*hideNotificationArea)(bool hide, const OwnTrayIcon& own);
    // The executable paths (upper-cased) of the processes of `windows`,
    // each once.
    std::vector<std::wstring> (*executablesOfWindows)(const std::vector<HWND>& windows);

    // Tells the main dialog what to do (UM_ENGINE_SHOW_DIALOG, WM_CLOSE).
    void (*postToDialog)(HWND dialog, UINT message);
};

// The real operations.
EngineOperations DefaultEngineOperations();

// What a run takes beyond the settings record: the choice kept outside
// "setting.dat" and the display mode read at start-up.
struct RunChoices {
    DisplayMode storedDisplayMode;
    // Mute only the programs whose windows were hidden.
    bool muteHiddenOnly = false;
};

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
    UniqueHandle thread;
    // Set with engineStop by RequestStop, so that a sleeping thread sees it.
    UniqueHandle stopSignal{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

    // Posts `message` to the run's thread, which wakes for it.
    bool Post(UINT message);
    // Sets engineStop and wakes the thread.
    void RequestStop();
};

class CEngine;

// One run of the engine's loop, split so that a test can run it wait by
// wait and poll by poll on its own thread (messages come from the calling
// thread's queue). The loop: Listen once, then AwaitPoll and Poll in turn.
class EnginePoller {
public:
    // Fresh state: not hidden, last toggle at tick 0.
    EnginePoller(CEngine& engine, EngineRun& run) : engine_(engine), run_(run) {}
    EnginePoller(const EnginePoller&) = delete;
    EnginePoller& operator=(const EnginePoller&) = delete;
    ~EnginePoller();

    // Makes the thread's message-only window and registers it for raw
    // input; without it every AwaitPoll lets the next poll run at once.
    void Listen();

    // Returns when the next poll is due: at once while a key of either chord
    // is down (so one already down at the start is polled until released),
    // while raw input is missing, or when it has taken a command for the
    // poll; otherwise sleeps until a chord's key goes down or a command
    // comes. False when the run must end.
    bool AwaitPoll();

    // One poll: sleep 20 ms, take at most one command, then toggle, show the
    // dialog, or restore and exit. Returns false when the loop must end.
    bool Poll();

    bool Hidden() const { return hidden_; }
    DWORD LastToggleTick() const { return lastToggleTick_; }
    bool Listening() const { return listening_; }
    // Whether the polls run because input moves that raw input misses.
    bool PollingBlind() const { return blind_; }

private:
    // Takes the next command of the thread's queue into message_, if any.
    bool TakeMessage();
    void Toggle();
    void HideSequence();
    void ShowDialogAndEnd();
    void RestoreAndExit();

    // Takes the raw input queued (all of it, or else one record) up to the
    // first command, which waits in command_ for the next poll. `took`:
    // anything at all; `emptied`: the queue was seen empty. True when a
    // record pressed a key that may belong to a chord.
    bool TakeInput(bool all, bool& took, bool& emptied);
    bool AnyChordKeyDown() const;
    // At most once a check period: whether input came that raw input did
    // not bring. The answer holds until the next check.
    bool BlindToInput();

    CEngine& engine_;
    EngineRun& run_;
    bool hidden_ = false;
    DWORD lastToggleTick_ = 0;
    MSG message_{};
    MSG command_{}; // taken while waiting, for the next poll
    bool commandTaken_ = false;
    bool queueLooked_ = false; // by the wait just before the poll

    UniqueWindow window_;    // the target of the thread's raw input
    bool listening_ = false; // raw input is registered
    bool polling_ = true;    // the last step was a poll: look at the keys
    bool rawSeen_ = false;   // raw input came since the last check
    bool blind_ = false;     // the last check saw input without raw input
    bool blindLogged_ = false;
    DWORD lastCheckTick_ = 0;
    DWORD lastInputTick_ = 0;
    POINT lastCursor_{};
    bool mouse_ = false; // the mouse's raw input is registered too
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

    // The hide's side actions, after the windows are gone. `restoresSeen`:
    // the number of restores when the windows were hidden; a restore from
    // another thread since then has brought them back, and whatever side
    // action is still to come is left out.
    void ApplySideActions(const EngineRun& run, unsigned restoresSeen);
    // Notes the side actions in force in the journal and writes it. Under
    // engineLock.
    void NoteSideActions();

    HiddenWindows hidden_;
    // Alive while windows are hidden; stopped before a restore takes engineLock.
    HiddenWatch watch_;
    std::atomic<bool> notHiddenNoted_{false}; // the tray tells of windows in view
    // Under engineLock: a side action is taken and noted in one step, so a
    // restore from any thread finds it either done and noted or not begun.
    bool muteRequested_ = false;
    bool notifyAreaHidden_ = false;
    OwnTrayIcon notifyAreaTray_; // how our icon was when the area was hidden
    unsigned restores_ = 0;      // restores so far
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
