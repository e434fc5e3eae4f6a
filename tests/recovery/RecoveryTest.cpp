// Recovering windows that a dead instance left hidden: the journal's format,
// writing it while hiding, and the start-up recovery against real windows
// of another process.
#include "recovery/FaultGuard.h"
#include "recovery/HiddenMark.h"
#include "recovery/StartupRecovery.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "DeadInstance.h"
#include "actions/AudioWorld.h"
#include "actions/NotifyArea.h"
#include "actions/Volume.h"
#include "support/ScratchDir.h"
#include "support/Wait.h"
#include "support/WindowHost.h"

namespace {

using testsupport::ReadBytes;
using testsupport::ScratchDir;
using testsupport::WaitUntil;
using testsupport::WindowHost;
using testsupport::WriteBytes;

MuteState WaveMute(DWORD savedWaveVolume)
{
    MuteState mute;
    mute.volumeMuted = true;
    mute.savedWaveVolume = savedWaveVolume;
    return mute;
}

HiddenRecord SampleRecord()
{
    HiddenRecord record;
    record.writer = 0x1122334455667788ull;
    record.volumeMuted = true;
    record.savedWaveVolume = 0x8000c000;
    record.notifyAreaHidden = true;
    record.endpointId = L"{0.0.0.00000000}.{speakers}";
    record.endpointWasMuted = true;
    record.mutedSessions = {{L"{speakers}", L"session|1"}, {L"{headset}", L""}};
    record.moreEndpoints = {L"{headset}"};
    record.entries.push_back({reinterpret_cast<HWND>(0x10042), 0x24, 0x01d9aabbccddeeffull, true});
    record.entries.push_back({reinterpret_cast<HWND>(0x20044), 0x7fffffff, 0, false, true});
    return record;
}

bool SameRecord(const HiddenRecord& a, const HiddenRecord& b)
{
    if (a.writer != b.writer || a.volumeMuted != b.volumeMuted || a.savedWaveVolume != b.savedWaveVolume ||
        a.notifyAreaHidden != b.notifyAreaHidden || a.entries.size() != b.entries.size() ||
        a.endpointId != b.endpointId || a.endpointWasMuted != b.endpointWasMuted ||
        a.mutedSessions != b.mutedSessions || a.moreEndpoints != b.moreEndpoints)
        return false;
    for (size_t i = 0; i < a.entries.size(); ++i) {
        const HiddenEntry& x = a.entries[i];
        const HiddenEntry& y = b.entries[i];
        if (x.window != y.window || x.processId != y.processId || x.processCreated != y.processCreated ||
            x.marked != y.marked || x.minimised != y.minimised)
            return false;
    }
    return true;
}

TEST(HiddenJournalFormat, RoundTripsEveryField)
{
    const HiddenRecord record = SampleRecord();
    const std::string bytes = EncodeHiddenRecord(record);
    // Header, entries, the mute's tail (each id a count and its units), checksum.
    const size_t tail =
        4 + 2 * record.endpointId.size() + 4 + (4 + 2 * 10) + (4 + 2 * 9) + (4 + 2 * 9) + 4 + 4 + (4 + 2 * 9);
    EXPECT_EQ(32u + 2 * 24u + tail + 4u, bytes.size());
    HiddenRecord back;
    ASSERT_TRUE(DecodeHiddenRecord(bytes, &back));
    EXPECT_TRUE(SameRecord(record, back));

    HiddenRecord empty;
    ASSERT_TRUE(DecodeHiddenRecord(EncodeHiddenRecord(empty), &back));
    EXPECT_TRUE(back.entries.empty());
    EXPECT_FALSE(back.volumeMuted);
}

// The journal's checksum (FNV-1a) over everything before its last four
// bytes, written there anew.
void Reseal(std::string& bytes)
{
    bytes.resize(bytes.size() - 4);
    DWORD hash = 2166136261u;
    for (char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>((hash >> (8 * i)) & 0xFF));
}

// The journal an earlier Covelin wrote: version 1, no mute's tail and no
// minimised windows.
std::string FirstVersionBytes(const HiddenRecord& record)
{
    HiddenRecord plain = record;
    plain.endpointId.clear();
    plain.endpointWasMuted = false;
    plain.mutedSessions.clear();
    plain.moreEndpoints.clear();
    for (HiddenEntry& entry : plain.entries)
        entry.minimised = false;
    std::string bytes = EncodeHiddenRecord(plain);
    bytes.erase(bytes.size() - 4 - 12, 12); // the empty id, no sessions, no more endpoints
    bytes[4] = 1;
    Reseal(bytes);
    return bytes;
}

// The second version ends after the sessions: it muted one endpoint only.
TEST(HiddenJournalFormat, AJournalOfTheSecondVersionIsStillRead)
{
    HiddenRecord record = SampleRecord();
    record.moreEndpoints.clear();
    std::string bytes = EncodeHiddenRecord(record);
    bytes.erase(bytes.size() - 4 - 4, 4); // no count of more endpoints
    bytes[4] = 2;
    Reseal(bytes);
    HiddenRecord back;
    ASSERT_TRUE(DecodeHiddenRecord(bytes, &back));
    EXPECT_TRUE(SameRecord(record, back));
    // A second-version journal that carries the third's tail is damage.
    std::string longer = EncodeHiddenRecord(record);
    longer[4] = 2;
    Reseal(longer);
    EXPECT_FALSE(DecodeHiddenRecord(longer, &back));
}

TEST(HiddenJournalFormat, AJournalOfTheFirstVersionIsStillRead)
{
    const HiddenRecord record = SampleRecord();
    const std::string bytes = FirstVersionBytes(record);
    EXPECT_EQ(32u + 2 * 24u + 4u, bytes.size());
    HiddenRecord back;
    ASSERT_TRUE(DecodeHiddenRecord(bytes, &back));
    EXPECT_TRUE(back.volumeMuted);
    EXPECT_EQ(0x8000c000u, back.savedWaveVolume);
    EXPECT_TRUE(back.notifyAreaHidden);
    EXPECT_EQ(2u, back.entries.size());
    EXPECT_TRUE(back.endpointId.empty());
    EXPECT_FALSE(back.endpointWasMuted);
    EXPECT_TRUE(back.mutedSessions.empty());
    EXPECT_FALSE(IsLaterJournalVersion(bytes));

    // The first version knew no "already muted" flag.
    std::string flagged = bytes;
    flagged[8] = static_cast<char>(flagged[8] | 4);
    Reseal(flagged);
    EXPECT_FALSE(DecodeHiddenRecord(flagged, &back));
    // Nor the minimised flag of an entry.
    std::string minimised = bytes;
    minimised[32 + 24 + 12] = 2;
    Reseal(minimised);
    EXPECT_FALSE(DecodeHiddenRecord(minimised, &back));
}

TEST(HiddenJournalFormat, RefusesEveryTruncationAndEveryDamagedByte)
{
    const std::string bytes = EncodeHiddenRecord(SampleRecord());
    HiddenRecord out = SampleRecord();
    out.entries.clear();
    for (size_t length = 0; length < bytes.size(); ++length)
        EXPECT_FALSE(DecodeHiddenRecord(bytes.substr(0, length), &out)) << "cut to " << length << " bytes";
    EXPECT_FALSE(DecodeHiddenRecord(bytes + '\0', &out)) << "a byte too many";
    for (size_t at = 0; at < bytes.size(); ++at) {
        std::string damaged = bytes;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x10);
        EXPECT_FALSE(DecodeHiddenRecord(damaged, &out)) << "byte " << at << " changed";
    }
    // A refused journal leaves the caller's record alone.
    EXPECT_TRUE(out.entries.empty());
    EXPECT_EQ(0x1122334455667788ull, out.writer);

    // An entry count that does not fit the size, whatever the checksum.
    std::string lying = bytes;
    lying[24] = 3;
    EXPECT_FALSE(DecodeHiddenRecord(lying, &out));
    EXPECT_FALSE(DecodeHiddenRecord(std::string(4096, 'x'), &out));
}

// ---- writing the journal -------------------------------------------------------------

class JournalWriting : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.Ready()); }

    HiddenRecord OnDisk()
    {
        std::string bytes;
        HiddenRecord record;
        record.writer = 0;
        if (!ReadBytes(path, &bytes) || !DecodeHiddenRecord(bytes, &record))
            ADD_FAILURE() << "no readable journal";
        return record;
    }

    ScratchDir dir;
    std::wstring path = dir.File(kHiddenJournalName);
    WindowHost host{{"*3|RecoveryWriteHost|write"}};
};

TEST_F(JournalWriting, InactiveJournalMarksNothingAndWritesNothing)
{
    HiddenJournal journal(kDeadInstance);
    journal.NoteHiding(host.Window(0));
    journal.NoteSideActions(WaveMute(5), true);
    EXPECT_FALSE(journal.Save());
    EXPECT_EQ(0u, MarkOf(host.Window(0)));
    EXPECT_TRUE(journal.Empty());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
}

TEST_F(JournalWriting, ListsEachWindowOnceWithItsProcessAndClearsAfterTheRestore)
{
    HiddenJournal journal(kDeadInstance);
    journal.Open(path);
    journal.NoteHiding(host.Window(0));
    journal.NoteHiding(host.Window(1));
    journal.NoteHiding(host.Window(0)); // chosen, and in a chosen process
    ASSERT_TRUE(journal.Save());

    HiddenRecord record = OnDisk();
    EXPECT_EQ(kDeadInstance, static_cast<ULONG_PTR>(record.writer));
    ASSERT_EQ(2u, record.entries.size());
    EXPECT_EQ(host.Window(0), record.entries[0].window);
    EXPECT_EQ(host.Window(1), record.entries[1].window);
    for (const HiddenEntry& entry : record.entries) {
        EXPECT_EQ(host.ProcessId(), entry.processId);
        EXPECT_EQ(ProcessCreationTime(host.ProcessId()), entry.processCreated);
        EXPECT_TRUE(entry.marked);
        EXPECT_EQ(kDeadInstance, MarkOf(entry.window));
    }
    EXPECT_FALSE(record.volumeMuted);
    EXPECT_EQ(0u, MarkOf(host.Window(2)));

    // The side actions go in with the next write; the replacement leaves no
    // temporary file behind.
    journal.NoteSideActions(WaveMute(0x00ff00ff), true);
    journal.NoteHiding(host.Window(2));
    ASSERT_TRUE(journal.Save());
    record = OnDisk();
    EXPECT_EQ(3u, record.entries.size());
    EXPECT_TRUE(record.volumeMuted);
    EXPECT_TRUE(record.notifyAreaHidden);
    EXPECT_EQ(0x00ff00ffu, record.savedWaveVolume);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((path + L".tmp").c_str()));

    journal.Clear();
    EXPECT_TRUE(journal.Empty());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
    for (HWND window : host.Windows())
        EXPECT_EQ(0u, MarkOf(window));
}

TEST_F(JournalWriting, FaultPathShowsOurWindowsWithoutTouchingTheFile)
{
    HiddenJournal journal(kDeadInstance);
    journal.Open(path);
    for (HWND window : host.Windows()) {
        journal.NoteHiding(window);
        ShowWindow(window, SW_HIDE);
    }
    ASSERT_TRUE(journal.Save());
    // Somebody else's mark on one of them since: not ours to show.
    SetPropW(host.Window(2), kHiddenMarkName, reinterpret_cast<HANDLE>(kDeadInstance + 4));

    EXPECT_EQ(2, journal.ShowForFault());
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(host.Window(0)) && IsWindowVisible(host.Window(1)); }, 5000));
    EXPECT_FALSE(IsWindowVisible(host.Window(2)));
    EXPECT_EQ(0u, MarkOf(host.Window(0)));
    EXPECT_EQ(0, journal.ShowForFault()) << "a second fault shows nothing again";
    // The next start still finds the journal for the side actions.
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
    RemovePropW(host.Window(2), kHiddenMarkName);
}

// The journal's owner (the application object) goes before the process
// does: a fault after that must find no journal rather than a dead one.
TEST_F(JournalWriting, AFaultAfterTheJournalIsGoneReachesNoJournal)
{
    auto gone = std::make_unique<HiddenJournal>(kDeadInstance);
    gone->Open(path);
    gone->NoteHiding(host.Window(0));
    InstallFaultGuard(*gone);
    gone.reset();
    RestoreHiddenOnFault(nullptr);
    EXPECT_EQ(kDeadInstance, MarkOf(host.Window(0))) << "the fault guard reached a destroyed journal";

    // A journal installed since is guarded as ever.
    HiddenJournal live(kDeadInstance);
    live.Open(path);
    live.NoteHiding(host.Window(1));
    InstallFaultGuard(live);
    RestoreHiddenOnFault(nullptr);
    EXPECT_EQ(0u, MarkOf(host.Window(1)));
    RemovePropW(host.Window(0), kHiddenMarkName);
}

// ---- start-up recovery -------------------------------------------------------------------

// A taskbar of our own with the shell's window classes, so that showing the
// notification area again can be seen without a shell.
class FakeTaskbar {
public:
    FakeTaskbar()
        : taskbar_(L"Shell_TrayWnd", L"", WS_POPUP | WS_VISIBLE),
          area_(L"TrayNotifyWnd", L"", WS_CHILD | WS_VISIBLE, 0, taskbar_),
          clock_(L"TrayClockWClass", L"", WS_CHILD | WS_VISIBLE, 0, area_),
          pager_(L"SysPager", L"", WS_CHILD | WS_VISIBLE, 0, area_),
          toolbar_(L"ToolbarWindow32", L"", WS_CHILD | WS_VISIBLE, 0, pager_)
    {
        root = taskbar_.Handle();
        SetTaskbarRootSource([] { return root; });
    }
    ~FakeTaskbar()
    {
        SetTaskbarRootSource(nullptr);
        root = nullptr;
    }
    FakeTaskbar(const FakeTaskbar&) = delete;
    FakeTaskbar& operator=(const FakeTaskbar&) = delete;

    HWND Toolbar() const { return toolbar_; }
    HWND Pager() const { return pager_; }

private:
    static inline HWND root = nullptr;
    testsupport::TestWindow taskbar_, area_, clock_, pager_, toolbar_;
};

// The older systems' wave volume, recorded instead of set.
std::atomic<DWORD> waveVolumeSet{0};
std::atomic<int> waveVolumeSets{0};

class Recovery : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.Ready());
        waveVolumeSets = 0;
        static const WaveVolumeCalls recorder = {
            [](HWAVEOUT, LPDWORD volume) -> MMRESULT { return *volume = 0, MMSYSERR_NOERROR; },
            [](HWAVEOUT, DWORD volume) -> MMRESULT {
                waveVolumeSet = volume;
                ++waveVolumeSets;
                return MMSYSERR_NOERROR;
            }};
        SetWaveVolumeCalls(&recorder);
        SetVolumeOsVersionSource([]() -> DWORD { return 5; });
    }
    void TearDown() override
    {
        SetWaveVolumeCalls(nullptr);
        SetVolumeOsVersionSource(nullptr);
        for (HWND window : host.Windows())
            RemovePropW(window, kHiddenMarkName);
    }

    // What a dead instance did: marked and hid the windows, wrote the journal.
    HiddenRecord HideAsDeadInstance(const std::vector<HWND>& windows, bool sideActions = false)
    {
        return ::HideAsDeadInstance(path, windows, sideActions);
    }

    bool Visible(size_t index) const { return IsWindowVisible(host.Window(index)) != FALSE; }
    bool JournalExists() const { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    ScratchDir dir;
    std::wstring path = dir.File(kHiddenJournalName);
    WindowHost host{{"*4|RecoveryHost|recover"}};
};

TEST_F(Recovery, ShowsWhatADeadInstanceHidAndUndoesItsSideActionsOnce)
{
    FakeTaskbar taskbar;
    HideAsDeadInstance({host.Window(1), host.Window(2), host.Window(3)}, true);
    // Hidden as the dead instance hid it, each window marked for the way back.
    ASSERT_TRUE(HideNotificationArea(true));
    ASSERT_FALSE(IsWindowVisible(taskbar.Toolbar()));
    ASSERT_FALSE(Visible(1));

    RecoveryReport report = RecoverLeftHiddenWindows(path);
    EXPECT_TRUE(report.journalFound);
    EXPECT_TRUE(report.journalValid);
    EXPECT_EQ(3, report.windowsShown);
    EXPECT_EQ(0, report.windowsSkipped);
    EXPECT_EQ(0, report.orphansShown);
    EXPECT_TRUE(WaitUntil([&] { return Visible(1) && Visible(2) && Visible(3); }, 5000));
    for (HWND window : host.Windows())
        EXPECT_EQ(0u, MarkOf(window));
    EXPECT_FALSE(JournalExists());

    // The volume the dead instance saved is put back.
    EXPECT_TRUE(report.unmuted);
    EXPECT_EQ(1, waveVolumeSets.load());
    EXPECT_EQ(0x12345678u, waveVolumeSet.load());
    EXPECT_TRUE(report.notifyAreaShown);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(taskbar.Toolbar()) != FALSE; }, 5000));

    // A second start finds nothing left to do.
    ShowWindow(host.Window(2), SW_HIDE);
    report = RecoverLeftHiddenWindows(path);
    EXPECT_FALSE(report.journalFound);
    EXPECT_EQ(0, report.windowsShown);
    EXPECT_FALSE(IsWindowVisible(host.Window(2))) << "a window the owner hid itself afterwards was shown";
    EXPECT_EQ(1, waveVolumeSets.load());
}

TEST_F(Recovery, TouchesOnlyTheVeryWindowsThatInstanceHid)
{
    WindowHost other({"RecoveryOther|other"});
    ASSERT_TRUE(other.Ready());
    HiddenRecord record = HideAsDeadInstance({host.Window(1), host.Window(2), host.Window(3)});
    // Window 1 closed meanwhile; window 3 shown by its owner.
    PostMessageW(host.Window(1), WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(host.Window(1)); }, 5000));
    ShowWindow(host.Window(3), SW_SHOW);
    // Window 2 is listed twice (a damaged but well-formed journal): shown once.
    record.entries.push_back(record.entries[1]);
    // The other program's window, hidden by its owner, appears in the
    // journal under the handle-reuse guise: with the old owner's process...
    ShowWindow(other.Window(0), SW_HIDE);
    HiddenEntry reused = record.entries[0];
    reused.window = other.Window(0);
    record.entries.push_back(reused);
    // ...or with its own process id but another start time; and window 0,
    // hidden by its owner, never carried the mark.
    ShowWindow(host.Window(0), SW_HIDE);
    HiddenEntry restarted = {other.Window(0), other.ProcessId(), ProcessCreationTime(other.ProcessId()) + 1, true};
    record.entries.push_back(restarted);
    record.entries.push_back({host.Window(0), host.ProcessId(), ProcessCreationTime(host.ProcessId()), true});
    ASSERT_TRUE(WriteBytes(path, EncodeHiddenRecord(record)));

    RecoveryReport report = RecoverLeftHiddenWindows(path);
    EXPECT_TRUE(report.journalValid);
    EXPECT_EQ(1, report.windowsShown);
    EXPECT_EQ(1, report.alreadyVisible);
    EXPECT_EQ(5, report.windowsSkipped); // closed, duplicate, two strangers, unmarked
    EXPECT_TRUE(WaitUntil([&] { return Visible(2); }, 5000));
    EXPECT_EQ(0u, MarkOf(host.Window(3)));
    EXPECT_FALSE(Visible(0));
    EXPECT_FALSE(IsWindowVisible(other.Window(0)));
    EXPECT_FALSE(report.unmuted);
    EXPECT_FALSE(JournalExists());
}

TEST_F(Recovery, DamagedJournalIsRemovedUnreadWhileMarksStillBringBackWhatTheDeadHid)
{
    const std::string intact = [&] {
        HideAsDeadInstance({host.Window(1), host.Window(2)}, true);
        std::string bytes;
        ReadBytes(path, &bytes);
        return bytes;
    }();
    // Window 3 was hidden by a Covelin that still runs (any live process
    // stands in for it).
    const ULONG_PTR running = MarkTokenOf(host.ProcessId());
    SetPropW(host.Window(3), kHiddenMarkName, reinterpret_cast<HANDLE>(running));
    ShowWindow(host.Window(3), SW_HIDE);
    // Window 0 was hidden by its owner and carries no mark.
    ShowWindow(host.Window(0), SW_HIDE);

    for (const std::string& damaged : {intact.substr(0, intact.size() - 7), std::string("garbage"), std::string()}) {
        ASSERT_TRUE(WriteBytes(path, damaged));
        RecoveryReport report = RecoverLeftHiddenWindows(path);
        EXPECT_TRUE(report.journalFound);
        EXPECT_FALSE(report.journalValid);
        EXPECT_FALSE(report.unmuted) << "side actions of a journal that cannot be read";
        EXPECT_FALSE(JournalExists());
    }
    EXPECT_TRUE(WaitUntil([&] { return Visible(1) && Visible(2); }, 5000));
    EXPECT_FALSE(Visible(0));
    EXPECT_FALSE(Visible(3));
    EXPECT_EQ(running, MarkOf(host.Window(3)));
    EXPECT_EQ(0, waveVolumeSets.load());
}

TEST_F(Recovery, UndoesTheDeadInstancesMuteOnTheEndpointAndSessionsItMuted)
{
    audiotest::WorldScope audio;
    audiotest::World& world = audiotest::TheWorld();
    world.endpoints = {{L"{speakers}", true}, {L"{headset}", false}};
    world.sessions = {{L"{headset}", L"browser", 1, true}, {L"{headset}", L"player", 2, true}};
    // The default changed after the dead instance muted the speakers; the
    // player was muted by its user, not by the dead instance.
    world.defaultId = L"{headset}";
    HiddenRecord record = HideAsDeadInstance({host.Window(1)});
    record.volumeMuted = true;
    record.endpointId = L"{speakers}";
    record.mutedSessions = {{L"{headset}", L"browser"}};
    ASSERT_TRUE(WriteBytes(path, EncodeHiddenRecord(record)));

    RecoveryReport report = RecoverLeftHiddenWindows(path);
    EXPECT_TRUE(report.unmuted);
    EXPECT_FALSE(world.EndpointMuted(L"{speakers}"));
    EXPECT_FALSE(world.EndpointMuted(L"{headset}"));
    EXPECT_FALSE(world.SessionMuted(L"browser"));
    EXPECT_TRUE(world.SessionMuted(L"player"));

    // The user had muted the endpoint before that hide: it stays muted; the
    // other endpoint the dead instance muted comes back.
    world.endpoints[0].muted = true;
    world.endpoints[1].muted = true;
    record.endpointWasMuted = true;
    record.moreEndpoints = {L"{headset}"};
    record.mutedSessions.clear();
    ASSERT_TRUE(WriteBytes(path, EncodeHiddenRecord(record)));
    report = RecoverLeftHiddenWindows(path);
    EXPECT_TRUE(report.unmuted);
    EXPECT_TRUE(world.EndpointMuted(L"{speakers}"));
    EXPECT_FALSE(world.EndpointMuted(L"{headset}"));
    record.moreEndpoints.clear();

    // A journal of the first version names no endpoint: the default one.
    world.endpoints[1].muted = true;
    record.endpointWasMuted = false;
    ASSERT_TRUE(WriteBytes(path, FirstVersionBytes(record)));
    report = RecoverLeftHiddenWindows(path);
    EXPECT_TRUE(report.journalValid);
    EXPECT_FALSE(world.EndpointMuted(L"{headset}"));
    EXPECT_TRUE(world.EndpointMuted(L"{speakers}"));
    EXPECT_TRUE(WaitUntil([&] { return Visible(1); }, 5000));
}

TEST_F(Recovery, MarkAloneRecoversWhenTheJournalNeverGotWritten)
{
    HiddenJournal journal(kDeadInstance);
    journal.Open(path);
    journal.NoteHiding(host.Window(2));
    ShowWindow(host.Window(2), SW_HIDE); // and died before Save

    RecoveryReport report = RecoverLeftHiddenWindows(path);
    EXPECT_FALSE(report.journalFound);
    EXPECT_EQ(1, report.windowsShown);
    EXPECT_EQ(1, report.orphansShown);
    EXPECT_TRUE(WaitUntil([&] { return Visible(2); }, 5000));
    EXPECT_EQ(0u, MarkOf(host.Window(2)));
}

} // namespace
