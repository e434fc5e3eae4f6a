#include "hiding/ShowBatch.h"

#include "hiding/HideClock.h"
#include "system/Elevation.h"

namespace {

// How long the engine waits for other programs' windows to carry out a hide
// or show, counted from the last window that did: a window whose thread
// does not pump messages is left to carry it out whenever it wakes up.
constexpr DWORD kStallLimitMs = 250;
// After this long without progress, windows the system already knows as
// hung are no longer waited for at all.
constexpr DWORD kHungCheckAfterMs = 20;
// Times the wait only yields before it sleeps, counted from the last window
// that settled. Few: each look costs the system a question about another
// program's window, taken from the programs the wait is for.
constexpr int kYieldsBeforeSleep = 8;

} // namespace

void ShowBatch::Issue(HWND window)
{
    if (window != nullptr && window == inFront_) {
        inFrontHeld_ = true;
        return;
    }
    Send(window);
}

void ShowBatch::Send(HWND window)
{
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
        ShowWindow(window, command_);
        return;
    }
    // Refused at once (the system keeps a program of higher rights out of
    // reach of ours): nothing to wait for.
    if (!ShowWindowAsync(window, command_) && IsWindow(window)) {
        hung_.push_back(window);
        return;
    }
    pending_.push_back(window);
}

std::vector<HWND> ShowBatch::Settle()
{
    if (inFrontHeld_) {
        inFrontHeld_ = false;
        Send(inFront_);
    }
    ULONGLONG lastProgress = HideNow();
    bool hungSwept = false;
    size_t settledSinceSweep = 0;
    size_t next = 0;
    int idlePasses = 0;
    while (next < pending_.size()) {
        // Windows of one thread settle in order: look at the first
        // unsettled one only, and move on once it has.
        bool progressed = false;
        while (next < pending_.size() && Settled(pending_[next])) {
            ++next;
            ++settledSinceSweep;
            progressed = true;
        }
        if (next == pending_.size())
            break;
        const ULONGLONG now = HideNow();
        if (progressed) {
            lastProgress = now;
            // Another sweep once an eighth of what is left has settled:
            // a long batch of one slow program is swept a few times in
            // all, not once a window.
            if (settledSinceSweep * 8 >= pending_.size() - next) {
                hungSwept = false;
                settledSinceSweep = 0;
            }
            idlePasses = 0;
            continue;
        }
        if (!hungSwept && now - lastProgress >= kHungCheckAfterMs) {
            // Stuck on one window: sweep the rest (other threads may be
            // done) and stop waiting for windows known to be hung.
            hungSwept = true;
            SweepRemaining(next);
            continue;
        }
        if (now - lastProgress >= kStallLimitMs)
            break;
        // Let windows of other programs reach us (activation changes
        // send messages to us while theirs are hidden), then yield.
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        HidePause(++idlePasses < kYieldsBeforeSleep ? 0 : 1);
    }
    std::vector<HWND> late(pending_.begin() + static_cast<std::ptrdiff_t>(next), pending_.end());
    late.insert(late.end(), hung_.begin(), hung_.end());
    pending_.clear();
    hung_.clear();
    return late;
}

bool ShowBatch::Settled(HWND window) const
{
    LONG style = GetWindowLongW(window, GWL_STYLE);
    if (style == 0 && !IsWindow(window))
        return true;
    if (command_ == SW_RESTORE || command_ == SW_SHOWNOACTIVATE)
        return (style & WS_MINIMIZE) == 0;
    return ((style & WS_VISIBLE) != 0) == visible_;
}

void ShowBatch::SweepRemaining(size_t& from)
{
    std::vector<HWND> waiting;
    for (size_t i = from; i < pending_.size(); ++i) {
        HWND window = pending_[i];
        if (Settled(window))
            continue;
        // Neither a hung window nor one of a program that outranks ours
        // will do it while we wait.
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        auto outranks = outranks_.find(processId);
        if (outranks == outranks_.end())
            outranks = outranks_.emplace(processId, ProcessOutranksUs(processId)).first;
        if (IsHungAppWindow(window) || outranks->second)
            hung_.push_back(window);
        else
            waiting.push_back(window);
    }
    pending_.resize(from);
    pending_.insert(pending_.end(), waiting.begin(), waiting.end());
}
