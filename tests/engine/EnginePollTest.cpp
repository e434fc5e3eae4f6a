#include "engine/ChordPoll.h"
#include "engine/Engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "engine/FakeWorld.h"
#include "framework/Log.h"
#include "support/Chords.h"
#include "support/RawInput.h"
#include "support/ScratchDir.h"
#include "support/Wait.h"

// The engine driven poll by poll with a clock, a keyboard and a world that
// the test controls (FakeWorld.h).

namespace {

using enginetest::Events;
using enginetest::FakeWorld;
using enginetest::operator+;
using testsupport::ChordOf;

// As the tray does: from a thread other than the engine's.
void PostFromAnotherThread(EngineRun& run, UINT message)
{
    bool posted = false;
    std::thread([&] { posted = run.Post(message); }).join();
    EXPECT_TRUE(posted);
}

const Events kHide = {"rebuild[EW]", "hideChosen[EW]", "hideProcess[EW]", "hideFile[EW]", "bringTop"};
const Events kShowDialog = {"dlg.show"};

class EnginePollTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.operations = FakeWorld::Operations();
        world.engineLockSeen = &engine.Session().engineLock;
        world.sleeper = &run;
        run.targets.catalogues = &world.catalogues;
        settings.toggleChord = ChordOf({VK_CONTROL, VK_OEM_3});
        settings.showDialogChord = ChordOf({VK_CONTROL, VK_LEFT});
        run.threadId = GetCurrentThreadId();
    }
    void TearDown() override
    {
        engine.RequestStop();
        EXPECT_TRUE(engine.WaitEnded(GetTickCount64() + 5000));
    }

    void Post(UINT message) { ASSERT_TRUE(run.Post(message)); }

    // One poll with the toggle chord held, a second after the last toggle.
    bool PressToggle(DWORD after = 1000, EnginePoller* which = nullptr)
    {
        world.now += after - 20; // the poll's own sleep adds the rest
        world.heldKeys = {VK_CONTROL, VK_OEM_3};
        const bool more = (which != nullptr ? *which : poller).Poll();
        world.heldKeys.clear();
        return more;
    }

    Events Take() { return world.Take(); }

    FakeWorld world;
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

    // Something hidden: every action after the top window, in this order;
    // the two that are undone are taken (and noted) under the engine's lock,
    // the three that may wait on the system are not; only the volume and
    // the notification area are undone.
    world.hideCount = 2;
    PressToggle();
    EXPECT_EQ(Take(), (kHide + Events{"mute", "lock", "screensaver", "displayMode", "hideNotify[E]"}));
    PressToggle();
    EXPECT_EQ(Take(), (Events{"unmute", "showNotify", "restore[E]"}));

    // With the options off, nothing but the hiding.
    settings.muteVolume = settings.lockComputer = settings.startScreensaver = 0;
    settings.restoreResolution = settings.hideNotifyArea = 0;
    PressToggle();
    PressToggle();
    EXPECT_EQ(Take(), kHide + Events{"restore[E]"});
}

// What the hide's check found decides the rest: windows still in view are
// not counted, and a hide that only minimised still runs the side actions.
TEST_F(EnginePollTest, WindowsStillInViewAreToldAndOnlyAnUntouchedHideSkipsTheSideActions)
{
    static HideCheck found;
    engine.operations.hide.finishHide = [](const EngineTargets&, HiddenWindows&) {
        return FakeWorld::Current().Note("check"), found;
    };
    engine.operations.hide.noteNotHidden = [](TrayIconPort*, int windows) {
        FakeWorld::Current().Note("notHidden " + std::to_string(windows));
    };
    settings.muteVolume = 1;
    world.hideCount = 1;
    for (bool minimised : {true, false}) {
        found = HideCheck{};
        found.pushesNotHidden = 1;
        (minimised ? found.minimised : found.leftInView) = 1;
        PressToggle();
        Events hide = {"rebuild[EW]", "hideChosen[EW]", "hideProcess[EW]", "hideFile[EW]",
                       "check[EW]",   "bringTop",       "notHidden 1"};
        if (minimised)
            hide.push_back("mute");
        EXPECT_EQ(Take(), hide);
        PressToggle();
        EXPECT_EQ(Take(),
                  minimised ? (Events{"unmute", "notHidden 0", "restore[E]"}) : (Events{"notHidden 0", "restore[E]"}));
    }
}

TEST_F(EnginePollTest, TogglesAreOneSecondApartAcrossTheWrapOfTheTickCount)
{
    PressToggle();
    const DWORD accepted = poller.LastToggleTick();
    Take();
    // The tray's toggle 999 ms after the chord's is dropped with its message.
    world.now = accepted + 999 - 20;
    Post(UM_TOGGLE_HIDE);
    poller.Poll();
    poller.Poll();
    EXPECT_TRUE(Take().empty());
    world.now = accepted + 1000 - 20;
    Post(UM_TOGGLE_HIDE);
    poller.Poll();
    EXPECT_EQ(Take(), Events{"restore[E]"});

    // Just before the 32-bit count wraps, then 100 ms, 600 ms (wrapped) and
    // 1000 ms later.
    world.now = 0xFFFFFFFFu - 300;
    PressToggle(0);
    ASSERT_EQ(Take(), kHide);
    PressToggle(100);
    PressToggle(500);
    ASSERT_LT(world.now, 1000u);
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
    world.now += 1000;
    world.heldKeys = {VK_CONTROL, VK_SHIFT, 'A'};
    EXPECT_TRUE(poller.Poll());
    world.heldKeys.clear();
    EXPECT_EQ(Take(), Events{"restore[E]"});

    // Queued messages come one per poll; foreign ones are taken and ignored.
    world.now += 1000;
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
    // What comes after quiet polls, from this thread or another, however it
    // was posted, is taken in the next poll, one message per poll however
    // many are queued.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(poller.Poll());
    ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), UM_TOGGLE_HIDE, 0, 0));
    EXPECT_TRUE(poller.Poll());
    EXPECT_EQ(Take(), kHide);
    PostFromAnotherThread(run, WM_USER + 5);
    Post(WM_USER + 6);
    Post(UM_RESTORE_EXIT);
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
    world.onChordRead = [this] { PostFromAnotherThread(run, UM_TOGGLE_HIDE); };
    PressToggle();
    EXPECT_EQ(Take(), kHide);
    world.now += 1000;
    EXPECT_TRUE(poller.Poll());
    EXPECT_EQ(Take(), Events{"restore[E]"});

    // Raised while the engine is busy hiding: taken one per poll after it.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(poller.Poll());
    world.hideCount = 1;
    world.onHide = [this] {
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
    world.hideCount = 1;
    PressToggle();
    Take();
    world.heldKeys = {VK_CONTROL, VK_LEFT};
    EXPECT_FALSE(poller.Poll());
    EXPECT_EQ(Take(), (Events{"unmute", "showNotify", "restore[E]"} + kShowDialog));
    EXPECT_EQ(run.engineStop.load(), 1);
}

TEST_F(EnginePollTest, RestoreAndExitUnmutesWhateverTheOptionThenCloses)
{
    settings.hideNotifyArea = 1;
    world.hideCount = 1;
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
    world.realSleep = true;
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
    world.realSleep = true;
    ASSERT_TRUE(engine.Start(settings, EngineTargets{}, nullptr));
    // Stopped and replaced before its thread has seen the request: the old
    // thread ends late, and must not mark the new run finished.
    engine.RequestStop();
    ASSERT_TRUE(engine.Start(settings, EngineTargets{}, nullptr));
    EXPECT_TRUE(engine.AcceptsCommands());
    EXPECT_FALSE(engine.RunEnded());
    // Once the old thread has ended, the new one still takes commands.
    ASSERT_TRUE(world.WaitThreadEnded(0, 5000));
    EXPECT_TRUE(engine.AcceptsCommands());
    ASSERT_TRUE(engine.PostCommand(UM_RESTORE_EXIT));
    EXPECT_TRUE(engine.WaitEnded(GetTickCount64() + 5000));
    EXPECT_EQ(Take(), Events{"dlg.close"});
}

// ---- sleeping until input ------------------------------------------------------------------

namespace {

using testsupport::RawKey;
using testsupport::RawMouse;

class EngineWaitTest : public EnginePollTest {
protected:
    // AwaitPoll, with the world giving up after `idleWaits` waits that
    // nothing ends: true when a poll is due, false when the engine would
    // sleep on.
    bool PollDue(EnginePoller& which, int idleWaits = 2)
    {
        world.idleWaitsLeft = idleWaits;
        const bool due = which.AwaitPoll();
        run.engineStop = 0;
        ResetEvent(run.stopSignal.get());
        return due;
    }
    bool PollDue(int idleWaits = 2) { return PollDue(poller, idleWaits); }

    // What comes while the engine sleeps next.
    void Arrives(std::vector<RAWINPUT> inputs)
    {
        world.onWait = [this, inputs] { world.rawInputs.assign(inputs.begin(), inputs.end()); };
    }

    static int Waits(const Events& events)
    {
        return static_cast<int>(std::count(events.begin(), events.end(), "wait"));
    }
};

} // namespace

TEST_F(EngineWaitTest, TheKeyStreamsPressStartsThePollsUntilTheChordIsReleasedOtherKeysOnlyWake)
{
    // A chord's keys down at the start are no press: nothing is polled.
    world.heldKeys = {VK_CONTROL, VK_OEM_3};
    poller.Listen();
    ASSERT_TRUE(poller.Listening());
    EXPECT_FALSE(PollDue(1));
    world.heldKeys.clear();

    // Nobody types: the thread sleeps, waking every 2 s only to ask whether
    // the key stream still comes to it.
    EXPECT_FALSE(PollDue(3));
    EXPECT_EQ(Take(), (Events{"listen", "wait", "wait", "wait", "wait"}));
    EXPECT_EQ(world.lastWaitMs, 2000u);

    // Keys of no chord, and a chord's key alone, wake it only to look at
    // them: no key is read, and the batch is read in one wake.
    world.keyReads = 0;
    Arrives({RawKey('B', true), RawKey('B', false), RawKey(VK_CONTROL, true), RawKey(VK_CONTROL, false)});
    EXPECT_FALSE(PollDue(2));
    EXPECT_EQ(world.keyReads, 0);
    EXPECT_EQ(Waits(Take()), 1 + 2);

    // Ctrl, by the right-hand code raw input may give it, then the backquote:
    // the press hides at once; held a second it restores.
    Arrives({RawKey(VK_RCONTROL, true), RawKey(VK_OEM_3, true)});
    world.heldKeys = {VK_CONTROL, VK_OEM_3};
    EXPECT_TRUE(PollDue());
    EXPECT_TRUE(poller.Poll());
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(PollDue(0) && poller.Poll());
    EXPECT_EQ(Take(), Events{"wait"} + kHide + Events{"restore[E]"});
    // Released: asleep again.
    world.heldKeys.clear();
    EXPECT_FALSE(PollDue(1));
    EXPECT_EQ(Take(), Events{"wait"});
}

TEST_F(EngineWaitTest, TheMouseIsListenedToOnlyWhileTheKeysOfAChordWithAButtonAreDown)
{
    poller.Listen();
    EXPECT_EQ(Take(), Events{"listen"});

    settings.showDialogChord = ChordOf({VK_CONTROL, VK_RBUTTON});
    EnginePoller mousePoller{engine, run};
    mousePoller.Listen();
    EXPECT_EQ(Take(), Events{"listen"});
    // Ctrl down: the mouse too, and only the chord's button presses.
    Arrives({RawKey(VK_CONTROL, true), RawMouse(0), RawMouse(RI_MOUSE_MIDDLE_BUTTON_DOWN),
             RawMouse(RI_MOUSE_RIGHT_BUTTON_UP)});
    EXPECT_FALSE(PollDue(mousePoller, 1));
    EXPECT_EQ(Take(), (Events{"wait", "listen+mouse", "wait"}));
    Arrives({RawMouse(RI_MOUSE_RIGHT_BUTTON_DOWN)});
    EXPECT_TRUE(PollDue(mousePoller));
    EXPECT_FALSE(mousePoller.Poll());
    EXPECT_EQ(Take(), (Events{"wait"} + kShowDialog));
    // Ctrl up: the mouse no more.
    run.engineStop = 0;
    Arrives({RawKey(VK_CONTROL, false)});
    EXPECT_FALSE(PollDue(mousePoller, 1));
    EXPECT_EQ(Take(), (Events{"wait", "listen", "wait"}));
}

TEST_F(EngineWaitTest, ACommandWakesTheSleepingThreadForOnePollAndTheStopEndsIt)
{
    poller.Listen();
    Take();
    world.onWait = [this] { PostFromAnotherThread(run, UM_TOGGLE_HIDE); };
    EXPECT_TRUE(PollDue());
    EXPECT_TRUE(poller.Poll());
    EXPECT_EQ(Take(), Events{"wait"} + kHide);
    // Two at once: a poll for each, then sleep.
    world.onWait = [this] {
        PostFromAnotherThread(run, WM_USER + 5);
        PostFromAnotherThread(run, UM_SHOW_SETTINGS);
    };
    EXPECT_TRUE(PollDue());
    EXPECT_TRUE(poller.Poll());
    EXPECT_TRUE(PollDue(0));
    EXPECT_FALSE(poller.Poll());
    EXPECT_EQ(Take(), (Events{"wait"} + kShowDialog));

    // The stop, from another thread, ends the sleep at once.
    run.engineStop = 0;
    world.idleWaitsLeft = 100;
    world.onWait = [this] { std::thread([this] { run.RequestStop(); }).join(); };
    EXPECT_FALSE(poller.AwaitPoll());
    EXPECT_EQ(Take(), Events{"wait"});
}

TEST_F(EngineWaitTest, WithoutRawInputOrOnceItStopsComingTheEnginePollsAsEver)
{
    testsupport::ScratchDir scratch;
    Log::SetFile(scratch.File(L"covelin.log"));

    // No raw input at all: a poll every 20 ms, and the chord as ever.
    world.rawInputRegisters = false;
    EnginePoller deaf{engine, run};
    deaf.Listen();
    EXPECT_FALSE(deaf.Listening());
    for (int i = 0; i < 4; ++i) {
        if (i == 3)
            world.heldKeys = {VK_CONTROL, VK_OEM_3};
        EXPECT_TRUE(PollDue(deaf, 0) && deaf.Poll());
    }
    world.heldKeys.clear();
    EXPECT_EQ(Take(), Events{"listen"} + kHide);

    // Raw input registered, then taken away (and not to be had again): from
    // the next check on, polls, until it is ours again.
    world.rawInputRegisters = true;
    poller.Listen();
    EXPECT_FALSE(PollDue(1));
    world.rawInputInForce = false;
    world.rawInputRegisters = false;
    EXPECT_TRUE(PollDue(2));
    EXPECT_TRUE(poller.PollingBlind());
    for (int polls = 0; polls < 100; ++polls)
        ASSERT_TRUE(PollDue(0) && poller.Poll());
    world.rawInputRegisters = true; // asked for again at the next check, and had
    world.now += 2000;
    EXPECT_FALSE(PollDue(1));
    EXPECT_FALSE(poller.PollingBlind());

    // Said in the log once each way.
    Log::SetFile(L"");
    std::string log;
    ASSERT_TRUE(testsupport::ReadBytes(scratch.File(L"covelin.log"), &log));
    EXPECT_NE(log.find("Raw input for the hotkeys"), std::string::npos);
    const size_t blind = log.find("stopped coming");
    EXPECT_TRUE(blind != std::string::npos && log.find("stopped coming", blind + 1) == std::string::npos);
    EXPECT_NE(log.find("comes again"), std::string::npos);
}

// ---- side actions -----------------------------------------------------------------------

TEST_F(EnginePollTest, ARestoreFromAnotherThreadDuringTheMuteIsNotHeldUpAndTheMuteIsUndone)
{
    // The session's end restores from its own thread while the hide waits
    // on the audio service: the restore is not held up by it (the mute
    // holds no engineLock), and the hide, finding the windows back, undoes
    // its mute once more in case the restore's unmute came first.
    settings.muteVolume = 1;
    world.hideCount = 1;
    UniqueHandle restorer;
    world.onMute = [&] {
        restorer.reset(CreateThread(
            nullptr, 0, [](LPVOID engine) -> DWORD { return static_cast<CEngine*>(engine)->RestoreEverything(false); },
            &engine, 0, nullptr));
        EXPECT_EQ(WaitForSingleObject(restorer.get(), 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    };
    PressToggle();
    ASSERT_TRUE(restorer);
    EXPECT_FALSE(world.muteInForce);
    EXPECT_EQ(Take(), (kHide + Events{"mute", "unmute", "restore[E]", "unmute"}));

    // The next press finds nothing left to undo.
    PressToggle();
    EXPECT_EQ(Take(), Events{"restore[E]"});
}

TEST_F(EnginePollTest, ARestoreBeforeTheSideActionsLeavesThemAllOut)
{
    settings.muteVolume = settings.lockComputer = settings.startScreensaver = 1;
    settings.restoreResolution = settings.hideNotifyArea = 1;
    world.hideCount = 1;
    world.onBringTop = [&] { std::thread([&] { engine.RestoreEverything(false); }).join(); };
    PressToggle();
    EXPECT_EQ(Take(), (kHide + Events{"restore[E]"}));
    EXPECT_FALSE(world.muteInForce);
}

TEST_F(EnginePollTest, ANotificationAreaNotThereIsNeitherNotedNorShownAgain)
{
    settings.hideNotifyArea = 1;
    world.hideCount = 1;
    world.notifyAreaThere = false;
    PressToggle();
    EXPECT_EQ(Take(), (kHide + Events{"hideNotify[E]"}));
    PressToggle();
    EXPECT_EQ(Take(), Events{"restore[E]"});
}

// The pages change the live record while the run is armed: the run hides
// and restores with the copy it was started with.
TEST_F(EnginePollTest, ThePagesChangingTheLiveRecordLeaveTheRunsDisplayModeAndTrayIconsReAdd)
{
    world.realSleep = true;
    world.hideCount = 1;
    SettingData live = settings;
    live.restoreResolution = live.hideNotifyArea = 1;
    live.trayIcon = 4;
    live.hideOwnIcon = 1;
    const DisplayMode atStart{1280, 1024, 60, 22};
    RunChoices choices;
    choices.storedDisplayMode = &atStart;
    ASSERT_TRUE(engine.Start(live, EngineTargets{}, nullptr, choices));
    live = settings;
    Events seen;
    const auto sees = [&](const std::string& event) {
        return testsupport::WaitUntil(
            [&] {
                seen = seen + Take();
                return std::find(seen.begin(), seen.end(), event) != seen.end();
            },
            5000);
    };
    ASSERT_TRUE(engine.PostCommand(UM_TOGGLE_HIDE));
    ASSERT_TRUE(sees("hideNotify[E]"));
    EXPECT_EQ(world.modeSeen.Width, 1280u);
    EXPECT_EQ(world.modeSeen.RefreshRate, 60u);
    world.now += 1000;
    ASSERT_TRUE(engine.PostCommand(UM_TOGGLE_HIDE));
    ASSERT_TRUE(sees("showNotify"));
    EXPECT_EQ(world.ownSeen.trayIcon, 4);
    EXPECT_TRUE(world.ownSeen.hideOwnIcon);
}

TEST_F(EnginePollTest, MutingOnlyTheHiddenProgramsFallsBackToTheWholeVolume)
{
    settings.muteVolume = 1;
    run.choices.muteHiddenOnly = true;
    world.hideCount = 2;
    PressToggle();
    EXPECT_EQ(Take(), (kHide + Events{"muteHiddenPrograms"}));
    EXPECT_EQ(world.executablesSeen, (std::vector<std::wstring>{L"EXE256", L"EXE257"}));
    PressToggle();
    EXPECT_EQ(Take(), (Events{"unmute", "restore[E]"}));

    // Sessions that cannot be listed: the whole output instead.
    world.sessionsListable = false;
    PressToggle();
    EXPECT_EQ(Take(), (kHide + Events{"muteHiddenPrograms", "mute"}));
    PressToggle();
    EXPECT_EQ(Take(), (Events{"unmute", "restore[E]"}));
}

// The third chord: the window in front joins the hidden windows under the
// engine's lock, once per press and with no side action, and the next toggle
// brings back everything. With nothing in front that may be hidden it
// changes nothing: the next toggle hides.
TEST_F(EnginePollTest, TheHideActiveChordJoinsTheHiddenWindowsAndTheToggleBringsThemBack)
{
    static INT_PTR inFront;
    engine.operations.hide.hideActiveWindow = [](const EngineTargets&, HiddenWindows& hidden) {
        FakeWorld::Current().Note("hideActive");
        if (inFront == 0)
            return 0;
        hidden.Push(reinterpret_cast<HWND>(inFront));
        return 1;
    };
    settings.muteVolume = settings.hideNotifyArea = 1;
    run.choices.hideActiveChord = ChordOf({VK_CONTROL, VK_MENU, 'H'});
    // The run's chords are read when its poller is made.
    EnginePoller activePoller(engine, run);
    const auto pressHideActive = [&](int polls) {
        world.now += 1000;
        world.heldKeys = {VK_CONTROL, VK_MENU, 'H'};
        for (int i = 0; i < polls; ++i)
            EXPECT_TRUE(activePoller.Poll());
        world.heldKeys.clear();
        EXPECT_TRUE(activePoller.Poll());
    };

    inFront = 0;
    pressHideActive(1);
    EXPECT_EQ(Take(), Events{"hideActive[E]"});
    EXPECT_FALSE(activePoller.Hidden());
    PressToggle(1000, &activePoller);
    PressToggle(1000, &activePoller);
    EXPECT_EQ(Take(), kHide + Events{"restore[E]"});

    // Held over many polls: one window hidden, not each that comes forward.
    inFront = 0x300;
    pressHideActive(5);
    EXPECT_EQ(Take(), Events{"hideActive[E]"});
    EXPECT_TRUE(activePoller.Hidden());
    EXPECT_TRUE(engine.HoldsHiddenWindows());
    PressToggle(1000, &activePoller);
    EXPECT_EQ(Take(), Events{"restore[E]"});
    EXPECT_FALSE(engine.HoldsHiddenWindows());

    // Pressed while the toggle's windows are hidden: one restore for all,
    // undoing the toggle's side actions.
    world.hideCount = 1;
    PressToggle(1000, &activePoller);
    EXPECT_EQ(Take(), (kHide + Events{"mute", "hideNotify[E]"}));
    pressHideActive(1);
    EXPECT_EQ(Take(), Events{"hideActive[E]"});
    PressToggle(1000, &activePoller);
    EXPECT_EQ(Take(), (Events{"unmute", "showNotify", "restore[E]"}));
    EXPECT_FALSE(activePoller.Hidden());
}

TEST_F(EngineWaitTest, AKeyOfTheHideActiveChordStartsThePolls)
{
    run.choices.hideActiveChord = ChordOf({VK_F9});
    // The run's chords are read when its poller is made.
    EnginePoller activePoller(engine, run);
    activePoller.Listen();
    EXPECT_FALSE(PollDue(activePoller, 1));
    Take();
    Arrives({RawKey(VK_F9, true)});
    world.heldKeys = {VK_F9};
    EXPECT_TRUE(PollDue(activePoller));
    world.heldKeys.clear();
}
