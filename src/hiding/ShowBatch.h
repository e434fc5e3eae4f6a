#pragma once
// Showing or hiding a group of windows without ever blocking on one of them.
#include <windows.h>

#include <unordered_map>
#include <vector>

// A window of this thread is shown at once. A window of any other thread is
// sent the show command asynchronously (the synchronous call would wait for
// that thread for as long as it does not pump messages); the group is then
// given a bounded time to carry the commands out, so that the windows are
// hidden (or shown) when Settle returns, as far as their programs respond at
// all. Commands for one thread are carried out in the order given, except
// that a hide batch hides the window in front last.
class ShowBatch {
public:
    explicit ShowBatch(int command)
        : command_(command), visible_(command != SW_HIDE), inFront_(visible_ ? nullptr : GetForegroundWindow())
    {
    }

    void Issue(HWND window);

    // Waits, bounded, until the issued commands have taken effect. Returns
    // the windows that did not respond in time, are hung, belong to a
    // program that outranks ours or refused the command outright.
    std::vector<HWND> Settle();

private:
    void Send(HWND window);
    bool Settled(HWND window) const;
    // Moves the settled windows after `from` in front of the unsettled ones,
    // dropping windows not worth waiting for into hung_.
    void SweepRemaining(size_t& from);

    int command_;
    bool visible_;
    // The window in front when a hide batch began, held back until the rest
    // is on its way: hidden first, it would hand the activation to the next
    // window in line, which may be the next to hide, and so on down the batch.
    HWND inFront_;
    bool inFrontHeld_ = false;
    std::vector<HWND> pending_;
    std::vector<HWND> hung_;
    std::unordered_map<DWORD, bool> outranks_; // by process id, asked once a batch
};
