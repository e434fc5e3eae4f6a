#include "engine/ChordPoll.h"

namespace {

constexpr DWORD kPollPeriodMs = 20;
constexpr DWORD kDebounceMs = 1000;

// The chords in the order the poll acts on them; the hide-the-active-window
// chord only when the user recorded one.
std::vector<WatchedChord> WatchedChords(const EngineRun& run)
{
    std::vector<WatchedChord> chords{{kToggleChordId, &run.settings.toggleChord},
                                     {kShowDialogChordId, &run.settings.showDialogChord}};
    if (!run.choices.hideActiveChord.IsEmpty())
        chords.push_back({kHideActiveChordId, &run.choices.hideActiveChord});
    return chords;
}

} // namespace

EnginePoller::EnginePoller(CEngine& engine, EngineRun& run)
    : ops_(engine.operations), session_(engine.Session()), run_(run),
      wait_(ops_.input, WatchedChords(run), run.engineStop, run.stopSignal.get())
{
}

bool EnginePoller::Poll()
{
    const InputOperations& ops = ops_.input;
    // A press already known is acted on now; otherwise the poll's period
    // spaces the looks at a held or sampled chord.
    if (!wait_.PressTaken())
        ops.sleep(kPollPeriodMs);
    struct PollEnd {
        CInputWait& wait;
        ~PollEnd() { wait.PollDone(); }
    } pollEnd{wait_};

    // One message per poll; whatever else is queued waits for the next polls.
    // Without a message the buffer is cleared, so a command is acted on only
    // in the poll that took it.
    MSG message{};
    const UINT command = wait_.TakeCommand(message) ? message.message : 0;

    // The toggle goes first: a show-dialog chord that contains the toggle
    // chord toggles, and a command taken while the toggle chord is held is
    // dropped.
    if (wait_.ChordActive(kToggleChordId) || command == UM_TOGGLE_HIDE) {
        Toggle();
        return true;
    }
    if (wait_.ChordActive(kShowDialogChordId) || command == UM_SHOW_SETTINGS) {
        ShowDialogAndEnd();
        return false;
    }
    if (command == UM_RESTORE_EXIT) {
        RestoreAndExit();
        return false;
    }
    // Once per press: held on, it would hide each window that comes to the
    // front in turn.
    const bool hideActiveDown = wait_.ChordActive(kHideActiveChordId);
    if (hideActiveDown && !hideActiveHeld_)
        HideWindowInFront();
    hideActiveHeld_ = hideActiveDown;
    return true;
}

void EnginePoller::HideWindowInFront()
{
    // As the toggle's: Wine may show a held key released for a moment when
    // the focus moves.
    const DWORD now = ops_.input.tickCount();
    if (static_cast<DWORD>(now - lastHideActiveTick_) < kDebounceMs)
        return;
    lastHideActiveTick_ = now;
    // What it hid comes back with the next toggle, with everything else.
    if (session_.HideWindowInFront(run_.targets) > 0)
        hidden_ = true;
}

void EnginePoller::Toggle()
{
    // Unsigned 32-bit difference: right across the wrap of the tick count.
    const DWORD now = ops_.input.tickCount();
    if (static_cast<DWORD>(now - lastToggleTick_) < kDebounceMs)
        return;
    lastToggleTick_ = now;
    if (!hidden_)
        session_.Hide(run_.settings, run_.choices, run_.targets);
    else
        session_.RestoreEverything(false);
    // Flips even when the hide found nothing: the next press is a restore.
    hidden_ = !hidden_;
}

void EnginePoller::ShowDialogAndEnd()
{
    // Whatever the watch would still hide is the restore's too.
    session_.StopWatch();
    if (hidden_ && session_.HoldsHiddenWindows())
        session_.RestoreEverything(false);
    run_.engineStop.store(1);
    ops_.postToDialog(run_.dialog, UM_ENGINE_SHOW_DIALOG);
}

void EnginePoller::RestoreAndExit()
{
    if (hidden_)
        session_.RestoreEverything(false);
    // Closed on its own thread, as its Exit button closes it.
    ops_.postToDialog(run_.dialog, WM_CLOSE);
    run_.engineStop.store(1);
}
