// The running instance's guards on the real engine: its hide is journalled,
// and the session's end or a fault brings the windows back.
#include <gtest/gtest.h>

#include <atomic>

#include "actions/Volume.h"
#include "engine/ChordPoll.h"
#include "engine/Engine.h"
#include "recovery/FaultGuard.h"
#include "recovery/HiddenMark.h"
#include "recovery/JournalFormat.h"
#include "recovery/SessionGuard.h"
#include "support/ScratchDir.h"
#include "support/Wait.h"
#include "support/WindowHost.h"

namespace {

using testsupport::ReadBytes;
using testsupport::WaitUntil;

// Lives as long as the process: the fault guard keeps its journal.
CEngine& GuardedEngineInstance()
{
    static CEngine engine;
    return engine;
}

class GuardedEngine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.Ready());
        // The older systems' wave volume, recorded instead of set.
        static const WaveVolumeCalls recorder = {
            [](HWAVEOUT, LPDWORD volume) -> MMRESULT { return *volume = 0, MMSYSERR_NOERROR; },
            [](HWAVEOUT, DWORD volume) -> MMRESULT { return waveVolumeSet = volume, MMSYSERR_NOERROR; }};
        SetWaveVolumeCalls(&recorder);
        SetVolumeOsVersionSource([]() -> DWORD { return 5; });

        engine.Journal().Open(path);
        for (size_t i = 0; i < 3; ++i)
            run.targets.windows.push_back(host.Window(i));
        EngineOperations ops = DefaultEngineOperations();
        ops.input.chordIsDown = [](const HotkeyChord&) { return 0; };
        ops.input.tickCount = []() -> DWORD { return now; };
        ops.input.sleep = [](DWORD ms) { now += ms; };
        // A mute that saved a wave volume, undone for real (through the
        // recorder of the older path).
        ops.sideActions.setVolumeMute = [](VolumeMute& volume, bool mute) {
            if (mute) {
                MuteState state;
                state.volumeMuted = true;
                state.savedWaveVolume = 0x00440044;
                volume.TakeOver(state);
            } else
                volume.SetVolumeMute(false);
        };
        ops.sideActions.hideNotificationArea = [](bool, const OwnTrayIcon&) { return true; };
        engine.operations = ops;
        InstallFaultGuard(engine.Journal());
    }
    void TearDown() override
    {
        engine.RestoreEverything(false);
        engine.operations = DefaultEngineOperations();
        engine.Journal().Open(L"");
        sessionGuard.Destroy();
        SetWaveVolumeCalls(nullptr);
        SetVolumeOsVersionSource(nullptr);
        for (HWND window : host.Windows())
            RemovePropW(window, kHiddenMarkName);
    }

    // One press of the show/hide chord, as the tray's command.
    void Toggle(EnginePoller& poller)
    {
        now += 1000;
        run.threadId = GetCurrentThreadId();
        run.Post(UM_TOGGLE_HIDE);
        poller.Poll();
    }

    bool Visible(size_t index) const { return IsWindowVisible(host.Window(index)) != FALSE; }
    bool AllShown() const { return Visible(0) && Visible(1) && Visible(2); }
    bool NoneShown() const { return !Visible(0) && !Visible(1) && !Visible(2); }
    bool JournalExists() const { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    static inline DWORD now = 100000;
    static inline std::atomic<DWORD> waveVolumeSet{0};

    testsupport::ScratchDir dir;
    std::wstring path = dir.File(kHiddenJournalName);
    testsupport::WindowHost host{{"*4|GuardedEngineHost|guarded"}};
    CEngine& engine = GuardedEngineInstance();
    EngineRun run;
    CSessionGuard sessionGuard;
};

} // namespace

TEST_F(GuardedEngine, HideIsJournalledAndTheSessionEndOrAFaultBringsItBack)
{
    run.settings.muteVolume = 1;
    run.settings.hideNotifyArea = 1;
    EnginePoller poller(engine, run);
    Toggle(poller);
    ASSERT_TRUE(WaitUntil([&] { return NoneShown(); }, 5000));

    std::string bytes;
    HiddenRecord record;
    ASSERT_TRUE(ReadBytes(path, &bytes) && DecodeHiddenRecord(bytes, &record));
    ASSERT_EQ(3u, record.entries.size());
    EXPECT_EQ(host.Window(0), record.entries[0].window);
    EXPECT_TRUE(record.volumeMuted);
    EXPECT_EQ(0x00440044u, record.savedWaveVolume);
    EXPECT_TRUE(record.notifyAreaHidden);
    EXPECT_EQ(MarkToken(), MarkOf(host.Window(2)));

    // The session ends: everything comes back before the answer, and the
    // session is not held up.
    HWND guard = sessionGuard.Create(engine);
    ASSERT_NE(nullptr, guard);
    EXPECT_EQ(TRUE, SendMessageW(guard, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    EXPECT_TRUE(AllShown());
    EXPECT_FALSE(JournalExists());
    EXPECT_EQ(0u, MarkOf(host.Window(0)));
    EXPECT_EQ(0x00440044u, waveVolumeSet.load());

    // The session went on: the engine's next toggle restores nothing, the
    // one after hides again.
    Toggle(poller);
    EXPECT_FALSE(poller.Hidden());
    EXPECT_TRUE(AllShown());
    Toggle(poller);
    ASSERT_TRUE(WaitUntil([&] { return NoneShown(); }, 5000));

    // A fault shows them at once; the journal stays for the side actions.
    RestoreHiddenOnFault(nullptr);
    EXPECT_TRUE(WaitUntil([&] { return AllShown(); }, 5000));
    EXPECT_EQ(0u, MarkOf(host.Window(1)));
    EXPECT_TRUE(JournalExists());

    // A normal restore clears the journal.
    Toggle(poller);
    EXPECT_FALSE(JournalExists());
}
