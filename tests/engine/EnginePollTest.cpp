#include "engine/Engine.h"

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "catalogue/Catalogues.h"
#include "support/Wait.h"

// The engine driven poll by poll with a clock, a keyboard and a world that
// the test controls. Every operation it calls is logged with the locks held
// at the time: [E] the engine's lock, [EW] it and windowLock.

namespace {

using Events = std::vector<std::string>;

std::mutex eventsLock; // one test logs from the engine thread
Events events;
std::set<int> heldKeys;
DWORD now;
int hideCount; // reported by the first hide rule
bool realSleep;
CCriticalSection* engineLockSeen; // the lock of the engine under test
// Run once, from inside the engine's next chord reading or hide.
std::function<void()> onChordRead;
std::function<void()> onHide;

void RunOnce(std::function<void()>& hook)
{
    if (hook)
        std::exchange(hook, nullptr)();
}

// As the tray does: from a thread other than the engine's.
void PostFromAnotherThread(EngineRun& run, UINT message)
{
    bool posted = false;
    std::thread([&] { posted = run.Post(message); }).join();
    EXPECT_TRUE(posted);
}

// The catalogues whose windowLock the hides are expected under.
Catalogues catalogues;

bool HeldHere(CCriticalSection* section)
{
    return section != nullptr &&
           static_cast<CRITICAL_SECTION*>(*section)->OwningThread == ULongToHandle(GetCurrentThreadId());
}

void Log(const std::string& what)
{
    const std::string locks =
        std::string(HeldHere(engineLockSeen) ? "E" : "") + (HeldHere(&catalogues.windowLock) ? "W" : "");
    std::lock_guard<std::mutex> guard(eventsLock);
    events.push_back(locks.empty() ? what : what + "[" + locks + "]");
}

SHORT WINAPI FakeKeyState(int code)
{
    return heldKeys.count(code) ? static_cast<SHORT>(0x8000) : 0;
}

EngineOperations FakeOperations()
{
    EngineOperations ops{};
    ops.chordIsDown = [](const HotkeyChord& chord) {
        RunOnce(onChordRead);
        return ChordIsDown(chord, FakeKeyState);
    };
    ops.tickCount = []() -> DWORD { return now; };
    ops.sleep = [](DWORD ms) {
        now += ms;
        if (realSleep)
            Sleep(ms);
    };
    ops.hideChosenWindows = [](const EngineTargets&, HiddenWindows& hidden) {
        Log("hideChosen");
        RunOnce(onHide);
        for (int i = 0; i < hideCount; ++i)
            hidden.Push(reinterpret_cast<HWND>(static_cast<INT_PTR>(0x100 + i)));
        return hideCount;
    };
    ops.hideProcessWindows = [](const EngineTargets&, HiddenWindows&) { return Log("hideProcess"), 0; };
    ops.hideFileWindows = [](const EngineTargets&, HiddenWindows&) { return Log("hideFile"), 0; };
    ops.bringTopWindow = [](const EngineTargets&) { return Log("bringTop"), 0; };
    ops.restoreHidden = [](HiddenWindows& hidden) {
        Log("restore");
        hidden.hiddenStack.RemoveAll();
        return 0;
    };
    ops.setVolumeMute = [](VolumeMute&, bool mute) { Log(mute ? "mute" : "unmute"); };
    ops.lockWorkStation = []() -> BOOL { return Log("lock"), TRUE; };
    ops.startScreensaver = [] { Log("screensaver"); };
    ops.applyStoredDisplayMode = []() -> LONG { return Log("displayMode"), 0; };
    ops.hideNotificationArea = [](bool hide, const OwnTrayIcon&) { Log(hide ? "hideNotify" : "showNotify"); };
    ops.postToDialog = [](HWND, UINT message) {
        Log(message == UM_ENGINE_SHOW_DIALOG ? "dlg.show" : message == WM_CLOSE ? "dlg.close" : "dlg.other");
    };
    return ops;
}

HotkeyChord ChordOf(std::initializer_list<int> codes)
{
    HotkeyChord chord{};
    for (int code : codes)
        chord.keys[code] = HotkeyChord::kMember;
    return chord;
}

const Events kHide = {"hideChosen[EW]", "hideProcess[EW]", "hideFile[EW]", "bringTop"};
const Events kShowDialog = {"dlg.show"};

Events operator+(Events a, const Events& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class EnginePollTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.operations = FakeOperations();
        engineLockSeen = &engine.engineLock;
        run.targets.catalogues = &catalogues;
        events.clear();
        heldKeys.clear();
        now = 100000;
        hideCount = 0;
        realSleep = false;
        onChordRead = onHide = nullptr;
        settings.toggleChord = ChordOf({VK_CONTROL, VK_OEM_3});
        settings.showDialogChord = ChordOf({VK_CONTROL, VK_LEFT});
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        run.threadId = GetCurrentThreadId();
    }
    void TearDown() override
    {
        engine.RequestStop();
        EXPECT_TRUE(engine.WaitEnded(GetTickCount64() + 5000));
        engineLockSeen = nullptr;
    }

    void Post(UINT message) { ASSERT_TRUE(run.Post(message)); }

    // One poll with the toggle chord held, a second after the last toggle.
    bool PressToggle(DWORD after = 1000)
    {
        now += after - 20; // the poll's own sleep adds the rest
        heldKeys = {VK_CONTROL, VK_OEM_3};
        const bool more = poller.Poll();
        heldKeys.clear();
        return more;
    }

    Events Take()
    {
        std::lock_guard<std::mutex> guard(eventsLock);
        Events taken;
        taken.swap(events);
        return taken;
    }

    CEngine engine;
    EngineRun run;
    SettingData& settings = run.settings;
    EnginePoller poller{engine, run};
};

} // namespace

TEST_F(EnginePollTest, SideActionsInTheirOrderOnlyAfterAHideThatHidSomething)
{
    settings.muteVolume = settings.lockComputer = settings.startScreensaver = 1;
    settings.restoreResolution = settings.hideNotifyArea = 1;

    // Nothing chosen: the top window still comes forward and the state flips;
    // the next press restores nothing and undoes nothing.
    EXPECT_TRUE(PressToggle());
    EXPECT_EQ(Take(), kHide);
    EXPECT_TRUE(poller.Hidden());
    PressToggle();
    EXPECT_EQ(Take(), Events{"restore[E]"});
    EXPECT_FALSE(poller.Hidden());

    // Something hidden: every action after the top window, in this order,
    // none of them under the engine's lock, and only the volume and the
    // notification area are undone.
    hideCount = 2;
    PressToggle();
    EXPECT_EQ(Take(), (kHide + Events{"mute", "lock", "screensaver", "displayMode", "hideNotify"}));
    PressToggle();
    EXPECT_EQ(Take(), (Events{"unmute", "showNotify", "restore[E]"}));

    // With the options off, nothing but the hiding.
    settings.muteVolume = settings.lockComputer = settings.startScreensaver = 0;
    settings.restoreResolution = settings.hideNotifyArea = 0;
    PressToggle();
    PressToggle();
    EXPECT_EQ(Take(), kHide + Events{"restore[E]"});
}

TEST_F(EnginePollTest, TogglesAreOneSecondApartAcrossTheWrapOfTheTickCount)
{
    PressToggle();
    const DWORD accepted = poller.LastToggleTick();
    Take();
    // The tray's toggle 999 ms after the chord's is dropped with its message.
    now = accepted + 999 - 20;
    Post(UM_TOGGLE_HIDE);
    poller.Poll();
    poller.Poll();
    EXPECT_TRUE(Take().empty());
    now = accepted + 1000 - 20;
    Post(UM_TOGGLE_HIDE);
    poller.Poll();
    EXPECT_EQ(Take(), Events{"restore[E]"});

    // Just before the 32-bit count wraps, then 100 ms, 600 ms (wrapped) and
    // 1000 ms later.
    now = 0xFFFFFFFFu - 300;
    PressToggle(0);
    ASSERT_EQ(Take(), kHide);
    PressToggle(100);
    PressToggle(500);
    ASSERT_LT(now, 1000u);
    EXPECT_TRUE(Take().empty());
    PressToggle(400);
    EXPECT_EQ(Take(), Events{"restore[E]"});
}

TEST_F(EnginePollTest, TheToggleComesFirstAndOneMessageIsTakenPerPoll)
{
    // Chord and tray command in the same poll: the command is dropped.
    Post(UM_SHOW_SETTINGS);
    EXPECT_TRUE(PressToggle());
    EXPECT_TRUE(poller.Poll());
    EXPECT_EQ(Take(), kHide);

    // A show-dialog chord that contains the toggle chord toggles.
    settings.toggleChord = ChordOf({VK_CONTROL, 'A'});
    settings.showDialogChord = ChordOf({VK_CONTROL, VK_SHIFT, 'A'});
    now += 1000;
    heldKeys = {VK_CONTROL, VK_SHIFT, 'A'};
    EXPECT_TRUE(poller.Poll());
    heldKeys.clear();
    EXPECT_EQ(Take(), Events{"restore[E]"});

    // Queued messages come one per poll; foreign ones are taken and ignored.
    now += 1000;
    Post(WM_USER + 5);
    Post(UM_TOGGLE_HIDE);
    Post(UM_SHOW_SETTINGS);
    EXPECT_TRUE(poller.Poll());
    EXPECT_TRUE(Take().empty());
    EXPECT_TRUE(poller.Poll());
    EXPECT_EQ(Take(), kHide);
    EXPECT_FALSE(poller.Poll());
    EXPECT_EQ(run.engineStop.load(), 1);
}

TEST_F(EnginePollTest, CommandsAfterQuietPollsAreTakenOnePerPoll)
{
    // Polls that find nothing look only at the run's flag; what comes, from
    // this thread or another, is still taken in the next poll, one message
    // per poll however many are queued. A message posted without the flag
    // waits for the next command.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(poller.Poll());
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), UM_TOGGLE_HIDE, 0, 0));
    EXPECT_TRUE(poller.Poll());
    EXPECT_TRUE(Take().empty());
    PostFromAnotherThread(run, WM_USER + 5);
    Post(WM_USER + 6);
    Post(UM_RESTORE_EXIT);
    EXPECT_TRUE(poller.Poll()); // the unflagged toggle, now
    EXPECT_EQ(Take(), kHide);
    EXPECT_TRUE(poller.Poll());
    EXPECT_TRUE(poller.Poll());
    EXPECT_TRUE(Take().empty());
    EXPECT_FALSE(poller.Poll());
    EXPECT_EQ(Take(), (Events{"restore[E]", "dlg.close"}));
}

TEST_F(EnginePollTest, CommandsRaisedWhileAPollIsBusyAreTakenInTheNextPolls)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(poller.Poll());
    // Raised in the same millisecond as the chord's press, once the poll has
    // looked for commands: the chord hides, and the command is not lost.
    onChordRead = [this] { PostFromAnotherThread(run, UM_TOGGLE_HIDE); };
    PressToggle();
    EXPECT_EQ(Take(), kHide);
    now += 1000;
    EXPECT_TRUE(poller.Poll());
    EXPECT_EQ(Take(), Events{"restore[E]"});

    // Raised while the engine is busy hiding: taken one per poll after it.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(poller.Poll());
    hideCount = 1;
    onHide = [this] {
        PostFromAnotherThread(run, WM_USER + 5);
        PostFromAnotherThread(run, UM_RESTORE_EXIT);
    };
    PressToggle();
    EXPECT_EQ(Take(), kHide);
    EXPECT_TRUE(poller.Poll());
    EXPECT_TRUE(Take().empty());
    EXPECT_FALSE(poller.Poll());
    EXPECT_EQ(Take(), (Events{"restore[E]", "dlg.close"}));
}

TEST_F(EnginePollTest, ShowDialogWhileHiddenRestoresThenShowsTheDialogAndEnds)
{
    settings.muteVolume = settings.hideNotifyArea = 1;
    hideCount = 1;
    PressToggle();
    Take();
    heldKeys = {VK_CONTROL, VK_LEFT};
    EXPECT_FALSE(poller.Poll());
    EXPECT_EQ(Take(), (Events{"unmute", "showNotify", "restore[E]"} + kShowDialog));
    EXPECT_EQ(run.engineStop.load(), 1);
}

TEST_F(EnginePollTest, RestoreAndExitUnmutesWhateverTheOptionThenCloses)
{
    settings.hideNotifyArea = 1;
    hideCount = 1;
    PressToggle();
    Take();
    Post(UM_RESTORE_EXIT);
    EXPECT_FALSE(poller.Poll());
    // Only what the hide did is undone: it muted nothing.
    EXPECT_EQ(Take(), (Events{"showNotify", "restore[E]", "dlg.close"}));
    EXPECT_EQ(run.engineStop.load(), 1);
}

TEST_F(EnginePollTest, TheStartedThreadTakesACommandAtOnceAndTheEndedOneNoMore)
{
    realSleep = true;
    EXPECT_TRUE(engine.RunEnded()); // no engine yet: shutdown would not wait
    ASSERT_TRUE(engine.Start(settings, EngineTargets{}, nullptr));
    EXPECT_TRUE(engine.AcceptsCommands());
    // A tray command right after Start is not lost to a queue not yet made.
    ASSERT_TRUE(engine.PostCommand(UM_RESTORE_EXIT));
    ASSERT_TRUE(engine.WaitEnded(GetTickCount64() + 5000));
    EXPECT_EQ(Take(), Events{"dlg.close"});
    // The run is still the dialog's while it closes: left alone.
    EXPECT_TRUE(engine.HasRun());
    EXPECT_FALSE(engine.AcceptsCommands());
    EXPECT_FALSE(engine.PostCommand(UM_TOGGLE_HIDE));
}

TEST_F(EnginePollTest, ARunStoppedAndRestartedAtOnceNeverTakesTheOldRunsEnd)
{
    realSleep = true;
    ASSERT_TRUE(engine.Start(settings, EngineTargets{}, nullptr));
    // Stopped and replaced before its thread has seen the request: the old
    // thread ends late, and must not mark the new run finished.
    engine.RequestStop();
    ASSERT_TRUE(engine.Start(settings, EngineTargets{}, nullptr));
    EXPECT_TRUE(engine.AcceptsCommands());
    EXPECT_FALSE(engine.RunEnded());
    // Let the old one end for certain, then the new one still takes commands.
    Sleep(100);
    EXPECT_TRUE(engine.AcceptsCommands());
    ASSERT_TRUE(engine.PostCommand(UM_RESTORE_EXIT));
    EXPECT_TRUE(engine.WaitEnded(GetTickCount64() + 5000));
    EXPECT_EQ(Take(), Events{"dlg.close"});
}
