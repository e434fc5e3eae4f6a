#include "engine/Hiding.h"

#include <cwchar>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/Executable.h"
#include "catalogue/HideSets.h"
#include "catalogue/WindowCatalogue.h"
#include "engine/Recovery.h"

CEnArray<HWND> hiddenStack;
CCriticalSection engineLock;

namespace {

bool IsLive(HWND window)
{
    return window && IsWindow(window);
}

// How long the engine waits for other programs' windows to carry out a hide
// or show, counted from the last window that did: a window whose thread
// does not pump messages is left to carry it out whenever it wakes up.
constexpr DWORD kStallLimitMs = 250;
// After this long without progress, windows the system already knows as
// hung are no longer waited for at all.
constexpr DWORD kHungCheckAfterMs = 20;

// Shows or hides a group of windows without ever blocking on one of them.
//
// A window of this thread is shown at once. A window of any other thread is
// sent the show command asynchronously (the synchronous call would wait
// for that thread for as long as it does not pump messages); the group is
// then given a bounded time to carry the commands out, so that the windows
// are hidden (or shown) when the operation returns, as far as their
// programs respond at all. Commands for one thread are carried out in the
// order given.
class ShowBatch {
public:
    explicit ShowBatch(int command) : command_(command), visible_(command != SW_HIDE) {}

    void Issue(HWND window)
    {
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
            ShowWindow(window, command_);
            return;
        }
        ShowWindowAsync(window, command_);
        pending_.push_back(window);
    }

    // Waits, bounded, until the issued commands have taken effect. Returns
    // the windows that did not respond in time (or are hung).
    std::vector<HWND> Settle()
    {
        DWORD lastProgress = GetTickCount();
        bool hungSwept = false;
        size_t next = 0;
        int idlePasses = 0;
        while (next < pending_.size()) {
            // Windows of one thread settle in order: look at the first
            // unsettled one only, and move on once it has.
            bool progressed = false;
            while (next < pending_.size() && Settled(pending_[next])) {
                ++next;
                progressed = true;
            }
            if (next == pending_.size())
                break;
            DWORD now = GetTickCount();
            if (progressed) {
                lastProgress = now;
                hungSwept = false;
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
            if (++idlePasses < 50)
                SwitchToThread();
            else
                Sleep(1);
        }
        std::vector<HWND> late(pending_.begin() + static_cast<std::ptrdiff_t>(next), pending_.end());
        late.insert(late.end(), hung_.begin(), hung_.end());
        pending_.clear();
        hung_.clear();
        return late;
    }

private:
    bool Settled(HWND window) const
    {
        LONG style = GetWindowLongW(window, GWL_STYLE);
        if (style == 0 && !IsWindow(window))
            return true;
        if (command_ == SW_RESTORE)
            return (style & WS_MINIMIZE) == 0;
        return ((style & WS_VISIBLE) != 0) == visible_;
    }

    // Moves the settled windows after `from` in front of the unsettled ones,
    // dropping hung windows into hung_.
    void SweepRemaining(size_t& from)
    {
        std::vector<HWND> waiting;
        for (size_t i = from; i < pending_.size(); ++i) {
            HWND window = pending_[i];
            if (Settled(window))
                continue;
            if (IsHungAppWindow(window))
                hung_.push_back(window);
            else
                waiting.push_back(window);
        }
        pending_.resize(from);
        pending_.insert(pending_.end(), waiting.begin(), waiting.end());
    }

    int command_;
    bool visible_;
    std::vector<HWND> pending_;
    std::vector<HWND> hung_;
};

void HideAndPush(ShowBatch& batch, HWND window)
{
    // Marked and listed before it goes, so that a window we hide is never
    // unknown to whoever restores after our death.
    hiddenJournal.NoteHiding(window);
    batch.Issue(window);
    hiddenStack.Add(window);
}

// The hide commands are out: the journal reaches the disk before we wait
// for the windows to carry them out.
std::vector<HWND> SettleHides(ShowBatch& batch)
{
    hiddenJournal.Save();
    return batch.Settle();
}

bool IsTopWindow(HWND window)
{
    return topWindow && topWindow->GetHandle() == window;
}

} // namespace

int HideChosenWindows()
{
    ShowBatch batch(SW_HIDE);
    int count = 0;
    for (int i = 0; i < hideWindowSet.GetSize(); ++i) {
        HWND window = hideWindowSet[i];
        if (!IsLive(window))
            continue;
        HideAndPush(batch, window);
        ++count;
    }
    SettleHides(batch);
    return count;
}

int HideProcessWindows()
{
    ShowBatch batch(SW_HIDE);
    int count = 0;
    if (hideProcessSet.IsEmpty())
        return 0; // nothing can match
    for (int i = 0; i < windowCatalogue.GetSize(); ++i) {
        HWND window = windowCatalogue[i]->GetHandle();
        if (IsTopWindow(window) || !IsLive(window))
            continue;
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (hideProcessSet.Find(processId) < 0)
            continue;
        HideAndPush(batch, window);
        ++count;
    }
    SettleHides(batch);
    return count;
}

int HideFileWindows()
{
    ShowBatch batch(SW_HIDE);
    int count = 0;
    if (hideFileSet.IsEmpty())
        return 0; // nothing can match: spare reading every window's path
    // Windows of one process share its path: read it once per process.
    std::unordered_map<DWORD, std::wstring> pathOfProcess;
    for (int i = 0; i < windowCatalogue.GetSize(); ++i) {
        HWND window = windowCatalogue[i]->GetHandle();
        if (IsTopWindow(window) || !IsLive(window))
            continue;
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        auto known = pathOfProcess.find(processId);
        if (known == pathOfProcess.end()) {
            // Asked of the process id just read, not of the window again: a
            // window closing right now must not leave an empty path on record
            // for its process and so spare the process's other windows.
            std::wstring path; // stays empty if it cannot be read
            if (processId != 0)
                ExecutablePathOfProcess(processId, path);
            known = pathOfProcess.emplace(processId, UpperCasePath(path)).first;
        }
        const std::wstring& path = known->second;
        for (int f = 0; f < hideFileSet.GetSize(); ++f) {
            const std::wstring* chosen = hideFileSet[f];
            if (chosen && *chosen == path) {
                HideAndPush(batch, window);
                ++count;
                break;
            }
        }
    }
    SettleHides(batch);
    return count;
}

int BringTopWindow()
{
    if (!topWindow || !IsLive(topWindow->GetHandle()))
        return 0;
    HWND window = topWindow->GetHandle();
    if (GetWindowLongW(window, GWL_STYLE) & WS_MINIMIZE) {
        ShowBatch restore(SW_RESTORE);
        restore.Issue(window);
        restore.Settle();
    }
    topWindow->BringToFront();
    wchar_t line[CCvWnd::kTitleSize + 64];
    swprintf(line, sizeof(line) / sizeof(line[0]), L"Window '%ls' has been brought onto top.\n", topWindow->GetTitle());
    OutputDebugStringW(line);
    return 1;
}

namespace {

// The window that must end in front is not left to the burst of
// activations above: its show may still have been on its way (a busy
// program answers late), and a show carried out after the last activation
// leaves it behind. Wait briefly for it to be shown, activate it, and let
// its owner process the activation (a sent message is handled after the
// activation's own notification). A hung owner is never waited for.
void SettleForeground(HWND window)
{
    const ULONGLONG deadline = GetTickCount64() + 500;
    while (!IsHungAppWindow(window) && IsWindow(window)) {
        if (IsWindowVisible(window)) {
            SetForegroundWindow(window);
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &ignored);
            if (GetForegroundWindow() == window)
                return;
        }
        if (GetTickCount64() >= deadline)
            return;
        Sleep(10);
    }
}

} // namespace

int RestoreHidden()
{
    ShowBatch batch(SW_SHOW);
    std::vector<HWND> shown; // in the order shown: top of the stack first
    for (int i = hiddenStack.GetSize() - 1; i >= 0; --i) {
        HWND window = hiddenStack[i];
        if (!IsLive(window))
            continue;
        batch.Issue(window);
        shown.push_back(window);
    }
    std::vector<HWND> late = batch.Settle();
    // Each window shown becomes the foreground window in turn, so the one
    // hidden first ends in front. A window that has not answered is not
    // asked: activating it would wait on it.
    for (HWND window : shown) {
        bool answered = true;
        for (HWND slow : late)
            answered = answered && slow != window;
        if (answered)
            SetForegroundWindow(window);
    }
    if (!shown.empty())
        SettleForeground(shown.back());
    hiddenStack.RemoveAll();
    // Nothing is left hidden: the marks and the journal go too.
    hiddenJournal.Clear();
    return static_cast<int>(shown.size());
}
