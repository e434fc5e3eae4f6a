#include "engine/Engine.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "catalogue/WindowCatalogue.h"
#include "engine/EngineDialog.h"
#include "engine/Hiding.h"
#include "framework/Thread.h"
#include "support/Wait.h"

// The engine driven poll by poll on the test's thread, with a clock, a
// keyboard and a world that the test controls. Every operation the engine
// calls is written to a log, with the locks it was called under: [E] for
// engineLock, [EW] for engineLock and windowLock.

namespace {

std::mutex eventsLock; // the thread tests log from the engine thread
std::vector<std::string> events;
std::set<int> heldKeys;
DWORD now = 0;          // the fake tick count
int sleptMs = 0;        // total of the engine's sleeps
bool realSleep = false; // a running engine thread must not spin
int hideCounts[3];  // what the three hide operations report

bool HeldHere(CCriticalSection& section)
{
    CRITICAL_SECTION* raw = section;
    return raw->OwningThread == ULongToHandle(GetCurrentThreadId());
}

void Log(const std::string& what)
{
    std::string locks;
    if (HeldHere(engineLock))
        locks += "E";
    if (HeldHere(windowLock))
        locks += "W";
    std::lock_guard<std::mutex> guard(eventsLock);
    events.push_back(locks.empty() ? what : what + "[" + locks + "]");
}

SHORT WINAPI FakeKeyState(int code)
{
    return heldKeys.count(code) ? static_cast<SHORT>(0x8000) : 0;
}

int Hide(int which, const char* name)
{
    Log(name);
    for (int i = 0; i < hideCounts[which]; ++i)
        hiddenStack.Add(reinterpret_cast<HWND>(static_cast<INT_PTR>(0x100 + i)));
    return hideCounts[which];
}

EngineOperations FakeOperations()
{
    EngineOperations ops{};
    ops.chordIsDown = [](const HotkeyChord& chord) { return ChordIsDown(chord, FakeKeyState); };
    ops.tickCount = []() -> DWORD { return now; };
    ops.sleep = [](DWORD ms) {
        sleptMs += static_cast<int>(ms);
        now += ms;
        if (realSleep)
            Sleep(ms);
    };
    ops.hideChosenWindows = [] { return Hide(0, "hideChosen"); };
    ops.hideProcessWindows = [] { return Hide(1, "hideProcess"); };
    ops.hideFileWindows = [] { return Hide(2, "hideFile"); };
    ops.bringTopWindow = [] {
        Log("bringTop");
        return 0;
    };
    ops.restoreHidden = [] {
        Log("restore");
        const int count = hiddenStack.GetSize();
        hiddenStack.RemoveAll();
        return count;
    };
    ops.setVolumeMute = [](bool mute) { Log(mute ? "mute" : "unmute"); };
    ops.lockWorkStation = []() -> BOOL {
        Log("lock");
        return TRUE;
    };
    ops.startScreensaver = [] { Log("screensaver"); };
    ops.applyStoredDisplayMode = []() -> LONG {
        Log("displayMode");
        return 0;
    };
    ops.hideNotificationArea = [](bool hide) { Log(hide ? "hideNotify" : "showNotify"); };
    return ops;
}

class RecordingDialog : public EngineDialog {
public:
    HWND DialogWindow() const override { return nullptr; }
    void EngineShowDialog() override { Log("dlg.show"); }
    void EngineRestoreDialog() override { Log("dlg.restore"); }
    void EngineForegroundDialog() override { Log("dlg.foreground"); }
    void EngineRepaintDialog() override { Log("dlg.repaint"); }
    void PostCloseDialog() override { Log("dlg.close"); }
};

HotkeyChord ChordOf(std::initializer_list<int> codes)
{
    HotkeyChord chord{};
    for (int code : codes)
        chord.keys[code] = HotkeyChord::kMember;
    return chord;
}

using Log_ = std::vector<std::string>;

const Log_ kHideNothing = {"hideChosen[EW]", "hideProcess[EW]", "hideFile[EW]", "bringTop[E]"};

class EnginePollTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = engineOperations;
        engineOperations = FakeOperations();
        mainDialog = &dialog_;
        events.clear();
        heldKeys.clear();
        now = 100000;
        sleptMs = 0;
        hideCounts[0] = hideCounts[1] = hideCounts[2] = 0;
        settings = SettingData{};
        settings.toggleChord = ChordOf({VK_CONTROL, VK_OEM_3});
        settings.showDialogChord = ChordOf({VK_CONTROL, VK_LEFT});
        engineStop = 0;
        // Start from an empty queue on this thread.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    void TearDown() override
    {
        engineOperations = saved_;
        mainDialog = nullptr;
        engineStop = 0;
        hiddenStack.RemoveAll();
    }

    void Post(UINT message) { ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), message, 0, 0)); }

    // One poll with the toggle chord held.
    bool PressToggle()
    {
        heldKeys = {VK_CONTROL, VK_OEM_3};
        const bool more = poller.Poll();
        heldKeys.clear();
        return more;
    }

    // Moves the clock past the debounce of the last toggle.
    void WaitASecond() { now += 1000; }

    Log_ Take()
    {
        std::lock_guard<std::mutex> guard(eventsLock);
        Log_ taken;
        taken.swap(events);
        return taken;
    }

    SettingData settings{};
    EnginePoller poller{&settings};

private:
    EngineOperations saved_{};
    RecordingDialog dialog_;
};

Log_ Concat(Log_ a, const Log_& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST_F(EnginePollTest, EachPollSleepsFirstAndIdlesWithoutInput)
{
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(poller.Poll());
    EXPECT_EQ(sleptMs, 100);
    EXPECT_TRUE(Take().empty());
    EXPECT_FALSE(poller.Hidden());
}

TEST_F(EnginePollTest, NothingChosenStillBringsTheTopWindowAndFlips)
{
    // Every option on: none may run when nothing was hidden.
    settings.muteVolume = settings.lockComputer = settings.startScreensaver = 1;
    settings.restoreResolution = settings.hideNotifyArea = 1;

    EXPECT_TRUE(PressToggle());
    EXPECT_EQ(Take(), kHideNothing);
    EXPECT_TRUE(poller.Hidden());

    WaitASecond();
    PressToggle(); // restores nothing, undoes nothing
    EXPECT_EQ(Take(), Log_{"restore[E]"});
    EXPECT_FALSE(poller.Hidden());

    WaitASecond();
    PressToggle(); // and hides again
    EXPECT_EQ(Take(), kHideNothing);
    EXPECT_TRUE(poller.Hidden());
}

TEST_F(EnginePollTest, SideActionsInTheirOrderOnlyAfterAHideThatHidSomething)
{
    settings.muteVolume = settings.lockComputer = settings.startScreensaver = 1;
    settings.restoreResolution = settings.hideNotifyArea = 1;
    hideCounts[2] = 1; // one window matched by its file

    PressToggle();
    EXPECT_EQ(Take(), Concat(kHideNothing, {"mute[E]", "lock[E]", "screensaver[E]", "displayMode[E]",
                                             "hideNotify[E]"}));
    // Only the volume and the notification area are undone.
    WaitASecond();
    PressToggle();
    EXPECT_EQ(Take(), (Log_{"unmute[E]", "showNotify[E]", "restore[E]"}));

    // Each option alone brings exactly its own action.
    struct Option {
        int32_t SettingData::*field;
        const char* hide;
        const char* restore;
    } options[] = {
        {&SettingData::muteVolume, "mute[E]", "unmute[E]"},
        {&SettingData::lockComputer, "lock[E]", nullptr},
        {&SettingData::startScreensaver, "screensaver[E]", nullptr},
        {&SettingData::restoreResolution, "displayMode[E]", nullptr},
        {&SettingData::hideNotifyArea, "hideNotify[E]", "showNotify[E]"},
    };
    for (const Option& option : options) {
        settings.muteVolume = settings.lockComputer = settings.startScreensaver = 0;
        settings.restoreResolution = settings.hideNotifyArea = 0;
        settings.*option.field = 7; // any non-zero value counts as set
        WaitASecond();
        PressToggle();
        EXPECT_EQ(Take(), Concat(kHideNothing, {option.hide})) << option.hide;
        WaitASecond();
        PressToggle();
        Log_ restore;
        if (option.restore)
            restore.push_back(option.restore);
        restore.push_back("restore[E]");
        EXPECT_EQ(Take(), restore) << option.hide;
    }
}

TEST_F(EnginePollTest, HidesAddUpOverTheThreeRules)
{
    settings.muteVolume = 1;
    hideCounts[0] = 2;
    hideCounts[1] = 1;
    PressToggle();
    EXPECT_EQ(hiddenStack.GetSize(), 3);
    EXPECT_EQ(Take(), Concat(kHideNothing, {"mute[E]"}));

    // A hide whose rules report nothing, though the stack is not empty,
    // runs no side action (the count decides, not the stack).
    WaitASecond();
    PressToggle();
    Take();
    hideCounts[0] = hideCounts[1] = 0;
    hiddenStack.Add(reinterpret_cast<HWND>(0x42));
    WaitASecond();
    PressToggle();
    EXPECT_EQ(Take(), kHideNothing);
}

TEST_F(EnginePollTest, TogglesAreSpacedByOneSecondWhetherChordOrTray)
{
    PressToggle();
    ASSERT_TRUE(poller.Hidden());
    EXPECT_EQ(poller.LastToggleTick(), 100020u);
    Take();

    // The tray's toggle 999 ms after the chord's is dropped, and with it the
    // message: the next poll finds none.
    now = 100020 + 999 - 20;
    Post(UM_TOGGLE_HIDE);
    poller.Poll();
    poller.Poll();
    EXPECT_TRUE(Take().empty());
    EXPECT_TRUE(poller.Hidden());

    // At 1000 ms it is accepted.
    now = 100020 + 1000 - 20;
    Post(UM_TOGGLE_HIDE);
    poller.Poll();
    EXPECT_EQ(Take(), Log_{"restore[E]"});
    EXPECT_FALSE(poller.Hidden());
}

TEST_F(EnginePollTest, AHeldChordTogglesOncePerSecond)
{
    heldKeys = {VK_CONTROL, VK_OEM_3, 'A'}; // other keys held too do not matter
    int toggles = 0;
    for (int poll = 0; poll < 150; ++poll) { // 3 s of polls at 20 ms
        poller.Poll();
        for (const std::string& e : Take())
            toggles += e == "bringTop[E]" || e == "restore[E]";
    }
    EXPECT_EQ(toggles, 3);
    EXPECT_TRUE(poller.Hidden());
}

TEST_F(EnginePollTest, TheDebounceHoldsAcrossTheWrapOfTheTickCount)
{
    now = 0xFFFFFFFFu - 300; // 300 ms before the count wraps
    PressToggle();
    ASSERT_TRUE(poller.Hidden());
    const DWORD accepted = poller.LastToggleTick();
    Take();

    now = accepted + 100 - 20; // 100 ms later, not yet wrapped
    ASSERT_GT(now, accepted);
    PressToggle();
    EXPECT_TRUE(Take().empty());

    now = accepted + 600 - 20; // wrapped: 600 ms later
    ASSERT_LT(now, accepted);
    PressToggle();
    EXPECT_TRUE(Take().empty());

    now = accepted + 1000 - 20; // the poll's sleep adds the last 20 ms
    ASSERT_LT(now, 1000u);
    PressToggle();
    EXPECT_EQ(Take(), Log_{"restore[E]"});
    EXPECT_FALSE(poller.Hidden());
}

TEST_F(EnginePollTest, AFreshEngineCountsFromTickZero)
{
    // Right after the tick count started (or wrapped) the first second is
    // within the debounce of the engine's initial last toggle at 0.
    now = 500;
    PressToggle();
    EXPECT_TRUE(Take().empty());
    now = 1000;
    PressToggle();
    EXPECT_EQ(Take(), kHideNothing);
}

TEST_F(EnginePollTest, TheToggleChordWinsOverACommandInTheSamePoll)
{
    Post(UM_SHOW_SETTINGS);
    EXPECT_TRUE(PressToggle());
    EXPECT_EQ(Take(), kHideNothing);
    // The command was taken with that poll and is gone.
    EXPECT_TRUE(poller.Poll());
    EXPECT_TRUE(Take().empty());
    EXPECT_EQ(engineStop.load(), 0);
}

TEST_F(EnginePollTest, OneMessagePerPollAndForeignMessagesAreIgnored)
{
    Post(WM_USER + 5);
    Post(UM_TOGGLE_HIDE);
    Post(UM_SHOW_SETTINGS);
    EXPECT_TRUE(poller.Poll()); // the foreign message
    EXPECT_TRUE(Take().empty());
    EXPECT_TRUE(poller.Poll()); // the toggle
    EXPECT_EQ(Take(), kHideNothing);
    EXPECT_FALSE(poller.Poll()); // the dialog
    EXPECT_EQ(Take(), (Log_{"dlg.show", "dlg.restore", "dlg.foreground", "dlg.repaint"}));
}

TEST_F(EnginePollTest, AShowDialogChordContainingTheToggleChordToggles)
{
    settings.toggleChord = ChordOf({VK_CONTROL, 'A'});
    settings.showDialogChord = ChordOf({VK_CONTROL, VK_SHIFT, 'A'});
    heldKeys = {VK_CONTROL, VK_SHIFT, 'A'};
    EXPECT_TRUE(poller.Poll());
    EXPECT_EQ(Take(), kHideNothing);
    EXPECT_TRUE(poller.Hidden());
    EXPECT_EQ(engineStop.load(), 0);
}

TEST_F(EnginePollTest, ShowDialogWhileHiddenRestoresThenShowsAndEnds)
{
    settings.muteVolume = settings.hideNotifyArea = 1;
    hideCounts[0] = 2;
    PressToggle();
    Take();

    heldKeys = {VK_CONTROL, VK_LEFT};
    EXPECT_FALSE(poller.Poll());
    EXPECT_EQ(Take(), (Log_{"unmute[E]", "showNotify[E]", "restore[E]", "dlg.show", "dlg.restore",
                            "dlg.foreground", "dlg.repaint"}));
    EXPECT_EQ(engineStop.load(), 1);
    EXPECT_TRUE(hiddenStack.IsEmpty());
}

TEST_F(EnginePollTest, ShowDialogRestoresOnlyWhatIsHidden)
{
    settings.muteVolume = settings.hideNotifyArea = 1;
    const Log_ dialogOnly = {"dlg.show", "dlg.restore", "dlg.foreground", "dlg.repaint"};

    // Shown: the dialog alone.
    Post(UM_SHOW_SETTINGS);
    EXPECT_FALSE(poller.Poll());
    EXPECT_EQ(Take(), dialogOnly);

    // Hidden, but the hide found nothing: nothing to undo either.
    EnginePoller second(&settings);
    engineStop = 0;
    heldKeys = {VK_CONTROL, VK_OEM_3};
    second.Poll();
    ASSERT_TRUE(second.Hidden());
    Take();
    heldKeys = {VK_CONTROL, VK_LEFT};
    EXPECT_FALSE(second.Poll());
    EXPECT_EQ(Take(), dialogOnly);

    // No dialog to show (start-up has not set one): the engine still ends.
    mainDialog = nullptr;
    EnginePoller third(&settings);
    Post(UM_SHOW_SETTINGS);
    EXPECT_FALSE(third.Poll());
    EXPECT_TRUE(Take().empty());
}

TEST_F(EnginePollTest, RestoreAndExitWhileHidden)
{
    // The unmute comes whatever the option says: it undoes only our own mute.
    settings.muteVolume = 0;
    settings.hideNotifyArea = 1;
    hideCounts[1] = 1;
    PressToggle();
    Take();

    Post(UM_RESTORE_EXIT);
    EXPECT_FALSE(poller.Poll());
    EXPECT_EQ(Take(), (Log_{"unmute", "showNotify[E]", "restore[E]", "dlg.close"}));
    EXPECT_EQ(engineStop.load(), 1);
}

TEST_F(EnginePollTest, RestoreAndExitWhenShownOnlyCloses)
{
    settings.muteVolume = settings.hideNotifyArea = 1;
    Post(UM_RESTORE_EXIT);
    EXPECT_FALSE(poller.Poll());
    EXPECT_EQ(Take(), Log_{"dlg.close"});

    // Hidden with nothing hidden: the notification area was never touched.
    EnginePoller second(&settings);
    engineStop = 0;
    heldKeys = {VK_CONTROL, VK_OEM_3};
    second.Poll();
    heldKeys.clear();
    Take();
    Post(UM_RESTORE_EXIT);
    EXPECT_FALSE(second.Poll());
    EXPECT_EQ(Take(), (Log_{"unmute", "restore[E]", "dlg.close"}));
}

// The thread itself, with the fake world: its flags and its end.
size_t EventCount()
{
    std::lock_guard<std::mutex> guard(eventsLock);
    return events.size();
}

class EngineThreadFlagsTest : public EnginePollTest {
protected:
    void SetUp() override
    {
        EnginePollTest::SetUp();
        realSleep = true;
    }
    void TearDown() override
    {
        if (engineThread) {
            engineStop = 1;
            WaitForSingleObject(engineThread->m_hThread, 5000);
            delete engineThread;
            engineThread = nullptr;
        }
        realSleep = false;
        EnginePollTest::TearDown();
    }
};

TEST_F(EngineThreadFlagsTest, RunsUntilStoppedAndReportsItsEnd)
{
    EXPECT_EQ(engineDone.load(), 1); // nothing runs: a shutdown would not wait
    engineThread = StartEngineThread();
    ASSERT_NE(engineThread, nullptr);
    EXPECT_EQ(engineDone.load(), 0);
    EXPECT_TRUE(EngineAcceptsCommands());

    // The first command is kept even when it comes before the first poll.
    ASSERT_TRUE(testsupport::WaitUntil([] { return PostEngineCommand(UM_TOGGLE_HIDE); }, 2000));
    EXPECT_TRUE(testsupport::WaitUntil([] { return EventCount() >= kHideNothing.size(); }, 5000));

    engineStop = 1; // shutdown
    EXPECT_TRUE(testsupport::WaitUntil([] { return engineDone.load() == 1; }, 5000));
    EXPECT_FALSE(EngineAcceptsCommands());
    EXPECT_EQ(WaitForSingleObject(engineThread->m_hThread, 5000), WAIT_OBJECT_0);
}

TEST_F(EngineThreadFlagsTest, AfterRestoreAndExitTheEndedEngineTakesNoCommands)
{
    engineThread = StartEngineThread();
    ASSERT_NE(engineThread, nullptr);
    ASSERT_TRUE(testsupport::WaitUntil([] { return PostEngineCommand(UM_RESTORE_EXIT); }, 2000));
    ASSERT_TRUE(testsupport::WaitUntil([] { return engineDone.load() == 1; }, 5000));
    EXPECT_EQ(engineStop.load(), 1);
    EXPECT_EQ(Take(), Log_{"dlg.close"});

    // engineThread still names it (the dialog is closing): it is left alone.
    EXPECT_FALSE(EngineAcceptsCommands());
    EXPECT_FALSE(PostEngineCommand(UM_TOGGLE_HIDE));
    EXPECT_EQ(WaitForSingleObject(engineThread->m_hThread, 5000), WAIT_OBJECT_0);
}
