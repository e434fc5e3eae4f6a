#pragma once
// The engine thread's wait for input. Each chord is watched in one of three
// ways, chosen when the run starts listening:
// - registered: modifiers plus one key, registered with the system for this
//   thread (MOD_NOREPEAT); WM_HOTKEY is the press, and the key never reaches
//   the program in front;
// - in the key stream: every other chord, and one the system refuses (another
//   program holds it), recognised from the raw input of the keyboard (and of
//   the mouse, for a chord with a button) as a set of keys down;
// - sampled: where raw input cannot be had, or stopped coming to us, the
//   chord's keys are asked about every 20 ms, as they always were.
// After a press the polls go on while the chord stays down (asked of the
// asynchronous key state), so that a held chord repeats.
//
// What the thread's queue brings is sorted here and nowhere else: raw input,
// WM_HOTKEY, and the tray's commands, which wait for the next poll
// (TakeCommand).
#include <windows.h>

#include <atomic>
#include <vector>

#include "engine/ChordRecogniser.h"
#include "framework/Handles.h"
#include "settings/HotkeyChord.h"

// What the engine's thread found in its queue.
enum class EngineInput { None, RawInput, Command, Hotkey };

// How the engine thread sees the keys, the clock and its queue. The chord
// poll reads the keys and the clock through the same table. The defaults
// (DefaultInputOperations) are the real calls.
struct InputOperations {
    // Whether every key of the chord is down now (its buttons asked about by
    // where they are on the mouse).
    int (*chordIsDown)(const HotkeyChord& chord);
    DWORD (*tickCount)();
    void (*sleep)(DWORD milliseconds);

    // Registers the combination for the calling thread, WM_HOTKEY carrying
    // `id`: ERROR_SUCCESS, or the system's error.
    DWORD (*registerHotKey)(int id, UINT modifiers, UINT key);
    void (*unregisterHotKey)(int id);

    // Registers `target`, a message-only window of the run's thread, for the
    // raw input of the keyboard, and of the mouse too when `mouse` (else the
    // mouse's is dropped); false when the system refuses.
    bool (*registerRawInput)(HWND target, bool mouse);
    // Drops what the last registration for `target` asked for, if it is
    // still the one in force (raw input is one registration per process).
    void (*unregisterRawInput)(HWND target);
    // Whether the keyboard's raw input still comes to `target`: another
    // registration in the process takes it away.
    bool (*rawInputInForce)(HWND target);
    // Sleeps until `stop` is signalled (WAIT_OBJECT_0), the thread's queue
    // holds a message or raw input (WAIT_OBJECT_0 + 1), or `milliseconds`
    // have passed (WAIT_TIMEOUT).
    DWORD (*waitForInput)(HANDLE stop, DWORD milliseconds);
    // Reads all the raw input queued for the thread in one go, appending
    // each record to `into`. Null: records come one by one by takeInput.
    void (*takeRawBatch)(std::vector<RAWINPUT>& into);
    // Takes the thread's next message: raw input for `window` into `input`,
    // or a thread message (a command, or WM_HOTKEY) into `message`. What is
    // queued for other windows of the thread is handled on the way.
    EngineInput (*takeInput)(HWND window, RAWINPUT& input, MSG& message);
    // Whether the left and right mouse buttons are swapped.
    bool (*buttonsSwapped)();
};

// The real calls.
InputOperations DefaultInputOperations();

// How one chord is watched.
enum class ChordWatch { Sampled, Registered, Stream };

// One run's wait, on the run's thread (messages come from that thread's
// queue).
class CInputWait {
public:
    // `chords` in the order the poll acts on them; `stop` is the run's stop
    // flag and `stopSignal` the event set with it.
    CInputWait(const InputOperations& operations, const std::vector<WatchedChord>& chords,
               const std::atomic<LONG>& stop, HANDLE stopSignal);
    CInputWait(const CInputWait&) = delete;
    CInputWait& operator=(const CInputWait&) = delete;
    // Lets go of the registrations, on the thread that made them.
    ~CInputWait();

    // Registers what can be registered and listens to the key stream for
    // the rest. Before it, every chord is sampled.
    void Listen();

    // Returns when the next poll is due: a press or a command was taken, a
    // pressed chord is still held, or a chord is sampled; otherwise sleeps
    // until one of these. False when the run must end.
    bool AwaitPoll();

    // The poll's command: the one the wait took, or else the next thread
    // message, unless the wait looked at the queue just before and found
    // none. False when there is none.
    bool TakeCommand(MSG& command);

    // Whether a press is already known: the poll acts on it without waiting.
    bool PressTaken() const;
    // Whether chord `id` acts in this poll: pressed since the last poll, or
    // held since a press, or down when sampled.
    bool ChordActive(int id) const;
    // The poll is over: its presses are spent.
    void PollDone();

    ChordWatch WatchOf(int id) const;
    // Raw input is registered (or no chord needs it).
    bool Listening() const { return listening_; }
    // Whether the stream's chords are sampled because raw input stopped.
    bool PollingBlind() const { return blind_; }

private:
    struct Entry {
        WatchedChord watched;
        ChordWatch watch = ChordWatch::Sampled;
        bool pressed = false; // since the last poll
        bool held = false;    // pressed, and not seen released since
    };

    // Takes everything queued up to the first command, which waits in
    // command_ for the next poll. `relevant`: something other than raw
    // input that pressed nothing. `emptied`: the queue was seen empty.
    void TakeInput(bool& relevant, bool& emptied);
    void TakeRecord(const RAWINPUT& input, bool& relevant);
    // A press of `id`, and of every watched chord within it.
    void Press(int id);
    bool Sampled(const Entry& entry) const;
    // Whether the mouse's records matter now: a chord in the stream with a
    // button has every key of its own down (a chord of buttons alone
    // always). A moving mouse sends hundreds of records a second.
    bool MouseNeeded() const;
    // At most once a check period: whether the key stream still comes.
    void CheckStream();

    const InputOperations& ops_;
    std::vector<Entry> entries_;
    std::vector<const WatchedChord*> streamChords_;
    const std::atomic<LONG>& stop_;
    HANDLE stopSignal_;

    MSG command_{}; // taken while waiting, for the next poll
    bool commandTaken_ = false;
    bool queueLooked_ = false; // by the wait just before the poll

    CKeyStream stream_;
    std::vector<RAWINPUT> batch_;
    std::vector<int> fired_;
    UniqueWindow window_; // the target of the thread's raw input
    bool streamWanted_ = false;
    bool listening_ = false;   // raw input is registered, or not needed
    bool blind_ = false;       // raw input stopped coming to us
    bool mouseWanted_ = false; // a chord in the stream holds a button
    bool mouse_ = false;       // the mouse's raw input is registered too
    DWORD lastCheckTick_ = 0;
};
