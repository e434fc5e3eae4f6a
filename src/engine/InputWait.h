#pragma once
// The engine thread's wait for input: it sleeps until raw input of the
// keyboard (and of the mouse, when a chord holds a button) brings a key that
// may belong to a chord, or a command comes, and then lets the chord poll
// run; while a key of either chord is down the polls go on. Where raw input
// cannot be had, or the system sees input that raw input does not bring, it
// lets every poll run.
//
// What the thread's queue brings is sorted here and nowhere else: raw input
// records (TakeInput) and thread messages, which are the tray's commands and
// wait in the wait for the next poll (TakeCommand). A registration of its
// own for the chords would be made in Listen, undone in the destructor, and
// its messages sorted in TakeInput beside the raw input.
#include <windows.h>

#include <atomic>

#include "framework/Handles.h"
#include "settings/HotkeyChord.h"

// What the engine's thread found in its queue.
enum class EngineInput { None, RawInput, Command };

// How the engine thread sees the keys, the clock and its queue. The chord
// poll reads the keys and the clock through the same table. The defaults
// (DefaultInputOperations) are the real calls.
struct InputOperations {
    int (*chordIsDown)(const HotkeyChord& chord);
    DWORD (*tickCount)();
    void (*sleep)(DWORD milliseconds);

    // Registers `target`, a message-only window of the run's thread, for the
    // raw input of the keyboard, and of the mouse too when `mouse`; false
    // when the system refuses.
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
};

// The real calls.
InputOperations DefaultInputOperations();

// One run's wait, on the run's thread (messages come from that thread's
// queue).
class CInputWait {
public:
    // `toggleChord`, `showDialogChord` and `hideActiveChord` (empty: none)
    // are the run's own copies; `stop` is the run's stop flag and
    // `stopSignal` the event set with it.
    CInputWait(const InputOperations& operations, const HotkeyChord& toggleChord, const HotkeyChord& showDialogChord,
               const HotkeyChord& hideActiveChord, const std::atomic<LONG>& stop, HANDLE stopSignal);
    CInputWait(const CInputWait&) = delete;
    CInputWait& operator=(const CInputWait&) = delete;
    ~CInputWait();

    // Makes the thread's message-only window and registers it for raw
    // input; without it every AwaitPoll lets the next poll run at once.
    void Listen();

    // Returns when the next poll is due: at once while a key of any chord
    // is down (so one already down at the start is polled until released),
    // while raw input is missing, or when it has taken a command for the
    // poll; otherwise sleeps until a chord's key goes down or a command
    // comes. False when the run must end.
    bool AwaitPoll();

    // The poll's command: the one the wait took, or else the next thread
    // message, unless the wait looked at the queue just before and found
    // none. False when there is none.
    bool TakeCommand(MSG& command);

    bool Listening() const { return listening_; }
    // Whether the polls run because input moves that raw input misses.
    bool PollingBlind() const { return blind_; }

private:
    // Takes the raw input queued (all of it, or else one record) up to the
    // first command, which waits in command_ for the next poll. `took`:
    // anything at all; `emptied`: the queue was seen empty. True when a
    // record pressed a key that may belong to a chord.
    bool TakeInput(bool all, bool& took, bool& emptied);
    bool AnyChordKeyDown() const;
    // At most once a check period: whether input came that raw input did
    // not bring. The answer holds until the next check.
    bool BlindToInput();

    const InputOperations& ops_;
    const HotkeyChord& toggleChord_;
    const HotkeyChord& showDialogChord_;
    const HotkeyChord& hideActiveChord_;
    const std::atomic<LONG>& stop_;
    HANDLE stopSignal_;

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
