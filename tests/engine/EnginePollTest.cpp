#include "engine/Engine.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "catalogue/WindowCatalogue.h"
#include "engine/EngineDialog.h"
#include "engine/Hiding.h"
#include "framework/Thread.h"
#include "support/Wait.h"

// The engine driven poll by poll with a clock, a keyboard and a world that
// the test controls. Every operation it calls is logged with the locks held
// at the time: [E] engineLock, [EW] engineLock and windowLock.

namespace {

using Events = std::vector<std::string>;

std::mutex eventsLock; // one test logs from the engine thread
Events events;
std::set<int> heldKeys;
DWORD now;
int hideCount; // reported by the first hide rule
bool realSleep;

bool HeldHere(CCriticalSection& section)
{
    return static_cast<CRITICAL_SECTION*>(section)->OwningThread == ULongToHandle(GetCurrentThreadId());
}

void Log(const std::string& what)
{
    const std::string locks = std::string(HeldHere(engineLock) ? "E" : "") + (HeldHere(windowLock) ? "W" : "");
    std::lock_guard<std::mutex> guard(eventsLock);
    events.push_back(locks.empty() ? what : what + "[" + locks + "]");
}

SHORT WINAPI FakeKeyState(int code) { return heldKeys.count(code) ? static_cast<SHORT>(0x8000) : 0; }

EngineOperations FakeOperations()
{
    EngineOperations ops{};
    ops.chordIsDown = [](const HotkeyChord& chord) { return ChordIsDown(chord, FakeKeyState); };
    ops.tickCount = []() -> DWORD { return now; };
    ops.sleep = [](DWORD ms) {
        now += ms;
        if (realSleep)
            Sleep(ms);
    };
    ops.hideChosenWindows = [] {
        Log("hideChosen");
        for (int i = 0; i < hideCount; ++i)
            hiddenStack.Add(reinterpret_cast<HWND>(static_cast<INT_PTR>(0x100 + i)));
        return hideCount;
    };
    ops.hideProcessWindows = [] { return Log("hideProcess"), 0; };
    ops.hideFileWindows = [] { return Log("hideFile"), 0; };
    ops.bringTopWindow = [] { return Log("bringTop"), 0; };
    ops.restoreHidden = [] {
        Log("restore");
        hiddenStack.RemoveAll();
        return 0;
    };
    ops.setVolumeMute = [](bool mute) { Log(mute ? "mute" : "unmute"); };
    ops.lockWorkStation = []() -> BOOL { return Log("lock"), TRUE; };
    ops.startScreensaver = [] { Log("screensaver"); };
    ops.applyStoredDisplayMode = []() -> LONG { return Log("displayMode"), 0; };
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

const Events kHide = {"hideChosen[EW]", "hideProcess[EW]", "hideFile[EW]", "bringTop[E]"};
const Events kShowDialog = {"dlg.show", "dlg.restore", "dlg.foreground", "dlg.repaint"};

Events operator+(Events a, const Events& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

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
        hideCount = 0;
        realSleep = false;
        settings.toggleChord = ChordOf({VK_CONTROL, VK_OEM_3});
        settings.showDialogChord = ChordOf({VK_CONTROL, VK_LEFT});
        engineStop = 0;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    void TearDown() override
    {
        if (engineThread) {
            engineStop = 1;
            WaitForSingleObject(engineThread->m_hThread, 5000);
            delete engineThread;
            engineThread = nullptr;
        }
        engineOperations = saved_;
        mainDialog = nullptr;
        engineStop = 0;
        hiddenStack.RemoveAll();
    }

    void Post(UINT message) { ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), message, 0, 0)); }

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

    SettingData settings{};
    EnginePoller poller{&settings};

private:
    EngineOperations saved_{};
    RecordingDialog dialog_;
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
    // and only the volume and the notification area are undone.
    hideCount = 2;
    PressToggle();
    EXPECT_EQ(Take(), (kHide + Events{"mute[E]", "lock[E]", "screensaver[E]", "displayMode[E]", "hideNotify[E]"}));
    PressToggle();
    EXPECT_EQ(Take(), (Events{"unmute[E]", "showNotify[E]", "restore[E]"}));

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
    EXPECT_EQ(engineStop.load(), 1);
}

TEST_F(EnginePollTest, CommandsAfterQuietPollsAreTakenOnePerPoll)
{
    // Polls that find nothing only ask whether anything has come since; what
    // comes, from this thread or another, is still taken in the next poll,
    // one message per poll however many are queued.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(poller.Poll());
    const DWORD self = GetCurrentThreadId();
    HANDLE poster = CreateThread(
        nullptr, 0,
        [](LPVOID target) -> DWORD {
            return PostThreadMessageW(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(target)), WM_USER + 5, 0, 0);
        },
        reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(self)), 0, nullptr);
    ASSERT_NE(poster, nullptr);
    EXPECT_EQ(WaitForSingleObject(poster, 5000), WAIT_OBJECT_0);
    CloseHandle(poster);
    Post(WM_USER + 6);
    Post(UM_RESTORE_EXIT);
    EXPECT_TRUE(poller.Poll());
    EXPECT_TRUE(poller.Poll());
    EXPECT_TRUE(Take().empty());
    EXPECT_FALSE(poller.Poll());
    EXPECT_EQ(Take(), Events{"dlg.close"});
}

TEST_F(EnginePollTest, ShowDialogWhileHiddenRestoresThenShowsTheDialogAndEnds)
{
    settings.muteVolume = settings.hideNotifyArea = 1;
    hideCount = 1;
    PressToggle();
    Take();
    heldKeys = {VK_CONTROL, VK_LEFT};
    EXPECT_FALSE(poller.Poll());
    EXPECT_EQ(Take(), (Events{"unmute[E]", "showNotify[E]", "restore[E]"} + kShowDialog));
    EXPECT_EQ(engineStop.load(), 1);
}

TEST_F(EnginePollTest, RestoreAndExitUnmutesWhateverTheOptionThenCloses)
{
    settings.hideNotifyArea = 1;
    hideCount = 1;
    PressToggle();
    Take();
    Post(UM_RESTORE_EXIT);
    EXPECT_FALSE(poller.Poll());
    // The unmute only undoes our own mute, so it is asked for regardless.
    EXPECT_EQ(Take(), (Events{"unmute", "showNotify[E]", "restore[E]", "dlg.close"}));
    EXPECT_EQ(engineStop.load(), 1);
}

TEST_F(EnginePollTest, TheStartedThreadTakesACommandAtOnceAndTheEndedOneNoMore)
{
    realSleep = true;
    EXPECT_EQ(engineDone.load(), 1); // no engine yet: shutdown would not wait
    engineThread = StartEngineThread();
    ASSERT_NE(engineThread, nullptr);
    EXPECT_TRUE(EngineAcceptsCommands());
    // A tray command right after Start is not lost to a queue not yet made.
    ASSERT_TRUE(PostEngineCommand(UM_RESTORE_EXIT));
    ASSERT_TRUE(testsupport::WaitUntil([] { return engineDone.load() == 1; }, 5000));
    EXPECT_EQ(Take(), Events{"dlg.close"});
    // engineThread still names it while the dialog closes: left alone.
    EXPECT_FALSE(EngineAcceptsCommands());
    EXPECT_FALSE(PostEngineCommand(UM_TOGGLE_HIDE));
}
