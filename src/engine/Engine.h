#pragma once
#include <windows.h>

#include <atomic>

#include "engine/HotkeyChord.h"
#include "engine/SettingData.h"

class CWinThread;

// Thread messages to the engine (both parameters 0): the tray's commands.
inline constexpr UINT UM_TOGGLE_HIDE = WM_USER + 100;   // 1124: as a press of the show/hide chord
inline constexpr UINT UM_SHOW_SETTINGS = WM_USER + 101; // 1125: as a press of the show-dialog chord
inline constexpr UINT UM_RESTORE_EXIT = WM_USER + 102;  // 1126: restore, close the main dialog, end

// The engine's stop protocol: engineStop asks it to end; engineDone is 1
// whenever no engine runs (also before the first one, so that a shutdown
// without an engine does not wait).
extern std::atomic<LONG> engineStop;
extern std::atomic<LONG> engineDone;

// The running engine's thread object, or null. Written only on the main
// thread: set when the dialog arms the engine, cleared when it is shown. It
// can still point at an engine that has ended by itself (after "Restore &&
// Exit") until the dialog has closed: use EngineAcceptsCommands() first.
extern CWinThread* engineThread;

// The thread procedure; the parameter is unused. Polls every 20 ms until
// engineStop is set or it ends itself.
UINT EngineThread(LPVOID parameter);

// Starts EngineThread through the framework (default priority and stack).
// The flags are reset before the thread exists, so that the tray and
// shutdown never see a stale "ended" or "done" from the previous run.
// Returns the thread object (owned by the caller), or null.
CWinThread* StartEngineThread();

// Whether the tray may post to engineThread: it is set and the engine it
// refers to has neither ended nor been told to end.
bool EngineAcceptsCommands();

// Posts one of the UM_ messages to the engine when EngineAcceptsCommands();
// returns whether it was posted.
bool PostEngineCommand(UINT message);

// Everything the engine does to the world goes through this table, so that
// tests can drive polls one by one and record what happens in which order.
// The defaults are the real operations.
struct EngineOperations {
    int (*chordIsDown)(const HotkeyChord& chord);
    DWORD (*tickCount)();
    void (*sleep)(DWORD milliseconds);

    int (*hideChosenWindows)();
    int (*hideProcessWindows)();
    int (*hideFileWindows)();
    int (*bringTopWindow)();
    int (*restoreHidden)();

    void (*setVolumeMute)(bool mute);
    BOOL (*lockWorkStation)();
    void (*startScreensaver)();
    LONG (*applyStoredDisplayMode)();
    void (*hideNotificationArea)(bool hide);
};

// The real operations.
EngineOperations DefaultEngineOperations();

// The table the engine uses; tests swap it and put the defaults back.
extern EngineOperations engineOperations;

// One run of the engine's loop, split so that a test can run it poll by
// poll on its own thread (messages come from the calling thread's queue).
class EnginePoller {
public:
    // Fresh state: not hidden, last toggle at tick 0, settings taken from
    // settingFile.
    EnginePoller();
    explicit EnginePoller(SettingData* settings);

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
    void RestoreSequence();
    void ShowDialogAndEnd();
    void RestoreAndExit();

    SettingData* settings_;
    bool hidden_ = false;
    DWORD lastToggleTick_ = 0;
    MSG message_{};
    bool queueSeenEmpty_ = false; // the last poll found the queue empty
};
