// What the hide's check and the watch owe to whoever restores: every window
// hidden is marked and journalled, a slow program is waited for as long as
// it makes progress, refusing windows share one deadline, and a window
// shown again by its program is hidden again.
#include <gtest/gtest.h>

#include <windows.h>

#include <mutex>
#include <thread>
#include <vector>

#include "hiding/EngineTargets.h"
#include "hiding/HiddenWatch.h"
#include "hiding/HideClock.h"
#include "hiding/Hiding.h"
#include "hiding/ShowBatch.h"
#include "recovery/HiddenMark.h"
#include "recovery/JournalFormat.h"
#include "support/ScratchDir.h"
#include "support/Wait.h"
#include "support/WindowHost.h"
#include "system/Elevation.h"

using testsupport::HasVisibleStyle;
using testsupport::WaitUntil;
using testsupport::WindowHost;

namespace {

// The hide's clock, moved only by the hide's own pauses: each pause costs
// at least 5 ms of it, and a hook may act at given moments.
struct FakeClock {
    ULONGLONG now = 1000000;
    std::function<void()> onPause;
};
FakeClock fakeClock;
const HideClock kFakeClock{[] { return fakeClock.now; },
                           [](DWORD ms) {
                               fakeClock.now += ms < 5 ? 5 : ms;
                               if (fakeClock.onPause)
                                   fakeClock.onPause();
                           }};

class ClockScope {
public:
    ClockScope()
    {
        fakeClock = FakeClock{};
        SetHideClockForTests(&kFakeClock);
    }
    ~ClockScope() { SetHideClockForTests(nullptr); }
    ClockScope(const ClockScope&) = delete;
    ClockScope& operator=(const ClockScope&) = delete;
};

// A window on a thread of its own that takes its messages only when let:
// a program that answers, but slowly.
class GatedWindow {
public:
    GatedWindow()
    {
        thread_ = std::thread([this] {
            window_ = CreateWindowExW(0, L"STATIC", L"gated", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 80, 40, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
            SetEvent(ready_);
            HANDLE events[2] = {go_, end_};
            for (;;) {
                const DWORD woke = WaitForMultipleObjects(2, events, FALSE, 30000);
                MSG msg;
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                    DispatchMessageW(&msg);
                SetEvent(pumped_);
                if (woke != WAIT_OBJECT_0)
                    break;
            }
            DestroyWindow(window_);
        });
        WaitForSingleObject(ready_, 5000);
    }
    ~GatedWindow()
    {
        SetEvent(end_);
        thread_.join();
        for (HANDLE event : {ready_, go_, end_, pumped_})
            CloseHandle(event);
    }
    GatedWindow(const GatedWindow&) = delete;
    GatedWindow& operator=(const GatedWindow&) = delete;

    HWND Handle() const { return window_; }
    // Shows the window again (through its own thread, which is let once).
    bool ShowAgain()
    {
        ShowWindowAsync(window_, SW_SHOWNA);
        SetEvent(go_);
        return WaitForSingleObject(pumped_, 5000) == WAIT_OBJECT_0 && HasVisibleStyle(window_);
    }
    // Lets the thread take what waits for it, and waits until it has.
    bool Let()
    {
        SetEvent(go_);
        return WaitForSingleObject(pumped_, 5000) == WAIT_OBJECT_0 && !HasVisibleStyle(window_);
    }

private:
    HANDLE ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE go_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE end_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE pumped_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HWND window_ = nullptr;
    std::thread thread_;
};

DWORD outrankingProcess = 0;

} // namespace

// A slow but live program: each of its windows takes 200 ms, the batch
// 1,000 ms, and is waited for, since the limit runs from the last window
// that did. Once nothing moves, the rest is given up 250 ms later.
TEST(ShowBatchTest, TheStallLimitCountsFromTheLastProgressNotFromTheStart)
{
    ClockScope clock;
    std::vector<std::unique_ptr<GatedWindow>> windows;
    for (int i = 0; i < 5; ++i)
        windows.push_back(std::make_unique<GatedWindow>());
    const ULONGLONG start = fakeClock.now;
    for (int stuckAfter : {5, 2}) {
        SCOPED_TRACE(stuckAfter);
        for (auto& window : windows)
            ASSERT_TRUE(HasVisibleStyle(window->Handle()) || window->ShowAgain());
        size_t let = 0;
        ULONGLONG lastLet = fakeClock.now;
        fakeClock.onPause = [&] {
            if (let < static_cast<size_t>(stuckAfter) && fakeClock.now - lastLet >= 200) {
                EXPECT_TRUE(windows[let++]->Let());
                lastLet = fakeClock.now;
            }
        };
        ShowBatch batch(SW_HIDE);
        for (auto& window : windows)
            batch.Issue(window->Handle());
        const std::vector<HWND> late = batch.Settle();
        fakeClock.onPause = nullptr;
        EXPECT_EQ(let, static_cast<size_t>(stuckAfter));
        EXPECT_EQ(late.size(), windows.size() - static_cast<size_t>(stuckAfter));
        if (stuckAfter == 5) {
            EXPECT_GE(fakeClock.now - start, 1000u) << "waited through the whole slow batch";
        } else {
            EXPECT_GE(fakeClock.now - lastLet, 250u);
            EXPECT_LT(fakeClock.now - lastLet, 300u) << "given up at the limit after the last progress";
            for (size_t i = let; i < windows.size(); ++i)
                EXPECT_TRUE(windows[i]->Let()) << "the queued hide is carried out later";
        }
    }
}

// Ten windows of a program that outranks ours, deaf to the hide and the
// minimise: one deadline for all of them, none waited through a stall,
// each counted as not hidden and taken off the stack.
TEST(HideCheckTest, TenRefusingWindowsCostOneDeadline)
{
    WindowHost admin({"*10|CvHostPlain|admin|M"});
    ASSERT_TRUE(admin.Ready());
    outrankingProcess = admin.ProcessId();
    SetIntegrityQueryForTests(
        [](DWORD processId) { return processId == outrankingProcess ? kIntegrityHigh : kIntegrityMedium; });
    ClockScope clock;
    EngineTargets targets;
    targets.windows = admin.Windows();
    HiddenWindows hidden;

    ULONGLONG before = fakeClock.now;
    EXPECT_EQ(HideChosenWindows(targets, hidden), 10);
    EXPECT_LT(fakeClock.now - before, 250u) << "the hide does not wait a stall for them";
    before = fakeClock.now;
    const HideCheck check = FinishHide(targets, hidden);
    const ULONGLONG checked = fakeClock.now - before;
    EXPECT_GE(checked, 500u) << "the minimise is tried and given its time";
    EXPECT_LT(checked, 1000u) << "once, not once a window";
    EXPECT_EQ(check.leftInView, 10);
    EXPECT_EQ(check.pushesNotHidden, 10);
    EXPECT_TRUE(hidden.IsEmpty());
    for (HWND window : admin.Windows())
        EXPECT_TRUE(HasVisibleStyle(window) && !IsIconic(window));
    SetIntegrityQueryForTests(nullptr);
}

// Whoever restores after our death must know every window we hid, those
// hidden with their owner too: marked on the window and on disk.
TEST(HideCheckTest, OwnedWindowsHiddenWithTheirOwnerAreMarkedAndJournalled)
{
    WindowHost host({"CvHostPlain|owner", "CvHostPlain|palette|O"});
    ASSERT_TRUE(host.Ready());
    HWND dialog = host.OpenOwnedWindow(host.Window(1));
    ASSERT_NE(dialog, nullptr);
    testsupport::ScratchDir dir;
    const std::wstring path = dir.File(L"hidden.dat");
    HiddenWindows hidden;
    hidden.hiddenJournal.Open(path);
    EngineTargets targets;
    targets.windows = {host.Window(0)};
    EXPECT_EQ(HideChosenWindows(targets, hidden), 1);
    EXPECT_EQ(FinishHide(targets, hidden).ownedHidden, 2);

    std::string bytes;
    ASSERT_TRUE(testsupport::ReadBytes(path, &bytes));
    HiddenRecord record;
    ASSERT_TRUE(DecodeHiddenRecord(bytes, &record));
    std::vector<HWND> journalled;
    for (const HiddenEntry& entry : record.entries) {
        journalled.push_back(entry.window);
        EXPECT_TRUE(entry.marked);
    }
    for (HWND window : {host.Window(0), host.Window(1), dialog}) {
        EXPECT_FALSE(HasVisibleStyle(window));
        EXPECT_EQ(std::count(journalled.begin(), journalled.end(), window), 1);
        EXPECT_EQ(MarkOf(window), hidden.hiddenJournal.Token());
    }
    EXPECT_EQ(RestoreHidden(hidden), 3);
    EXPECT_EQ(MarkOf(dialog), 0u);
    hidden.hiddenJournal.Open(L"");
}

// A hidden window its own program shows again is hidden again by the watch,
// and stays listed once. Wine tells of no other program's window shown: the
// watch's own looks find it; a system that tells makes the watch rely on
// that alone.
TEST(HideCheckTest, TheWatchHidesAgainWhatItsProgramShowsAgainAndTrustsTheSystemOnceItTells)
{
    WindowHost host({"CvHostPlain|shown again", "CvHostPlain|late"});
    ASSERT_TRUE(host.Ready());
    HiddenWindows hidden;
    EngineTargets targets;
    targets.windows = {host.Window(0)};
    targets.processes = {host.ProcessId()};
    ASSERT_EQ(HideChosenWindows(targets, hidden), 1);
    CCriticalSection lock;
    HiddenWatch watch;
    watch.Start(targets, hidden, lock);
    ASSERT_TRUE(WaitUntil([&] { return watch.LooksSoFar() > 0; }));

    ShowWindowAsync(host.Window(0), SW_SHOWNA);
    EXPECT_TRUE(WaitUntil([&] { return watch.LooksSoFar() > 2 && !HasVisibleStyle(host.Window(0)); }));
    EXPECT_EQ(watch.HiddenSoFar(), 1) << "the late window of the chosen process";
    {
        std::lock_guard<CCriticalSection> guard(lock);
        EXPECT_EQ(std::count(hidden.hiddenStack.begin(), hidden.hiddenStack.end(), host.Window(0)), 1);
    }

    // Told of a window shown: no more looks of its own, and the event alone
    // hides what is shown again.
    EXPECT_FALSE(watch.EventDriven());
    ASSERT_TRUE(watch.SendEventForTests(EVENT_OBJECT_SHOW, host.Window(1)));
    ASSERT_TRUE(WaitUntil([&] { return watch.EventDriven(); }));
    const int looks = watch.LooksSoFar();
    ShowWindowAsync(host.Window(0), SW_SHOWNA);
    ASSERT_TRUE(WaitUntil([&] { return HasVisibleStyle(host.Window(0)); }));
    ASSERT_TRUE(watch.SendEventForTests(EVENT_OBJECT_SHOW, host.Window(0)));
    EXPECT_TRUE(WaitUntil([&] { return !HasVisibleStyle(host.Window(0)); }));
    EXPECT_EQ(watch.LooksSoFar(), looks);
    watch.Stop();
    RestoreHidden(hidden);
}
