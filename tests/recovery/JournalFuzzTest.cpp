// "hidden.dat" as a crash, a disk or another program may leave it, read by
// the start-up recovery against real windows: cut at every length, random
// bytes, well-formed journals that name windows of other programs, and one
// written by a later version. None of them may show a window that the dead
// instance did not hide.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "DeadInstance.h"
#include "recovery/HiddenMark.h"
#include "recovery/StartupRecovery.h"
#include "support/Fuzz.h"
#include "support/ScratchDir.h"
#include "support/Wait.h"
#include "support/WindowHost.h"

using testsupport::FuzzSource;
using testsupport::ReadBytes;
using testsupport::ScratchDir;
using testsupport::WaitUntil;
using testsupport::WindowHost;
using testsupport::WriteBytes;

namespace {

BOOL CALLBACK CollectHidden(HWND window, LPARAM parameter)
{
    if (!IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
    return TRUE;
}

// Windows the dead instance hid (marked, journalled), and windows another
// program hid itself.
class JournalFuzz : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ours.Ready());
        ASSERT_TRUE(bystander.Ready());
        for (HWND window : bystander.Windows())
            ShowWindow(window, SW_HIDE);
    }
    void TearDown() override
    {
        for (HWND window : ours.Windows())
            RemovePropW(window, kHiddenMarkName);
    }

    // Every top-level window that is hidden now, ours to show or not.
    static std::vector<HWND> HiddenWindowsNow()
    {
        std::vector<HWND> hidden;
        EnumWindows(CollectHidden, reinterpret_cast<LPARAM>(&hidden));
        return hidden;
    }
    bool JournalExists() const { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

    // Recovers from `bytes` as the journal; the journal must be refused
    // unread, undo nothing and be gone.
    void RecoverRefused(const std::string& bytes, const std::string& what)
    {
        ASSERT_TRUE(WriteBytes(path, bytes));
        const RecoveryReport report = RecoverLeftHiddenWindows(path);
        EXPECT_TRUE(report.journalFound) << what;
        EXPECT_FALSE(report.journalValid) << what;
        EXPECT_FALSE(report.journalLater) << what;
        EXPECT_FALSE(report.unmuted || report.notifyAreaShown) << what << ": side actions of an unreadable journal";
        EXPECT_EQ(report.windowsShown, report.orphansShown) << what;
        EXPECT_FALSE(JournalExists()) << what;
    }

    ScratchDir dir;
    std::wstring path = dir.File(kHiddenJournalName);
    WindowHost ours{{"*3|JournalFuzzOurs|hid"}};
    WindowHost bystander{{"*3|JournalFuzzOther|own"}};
};

} // namespace

TEST_F(JournalFuzz, EveryTruncationAndRandomBytesAreRemovedUnreadAndOnlyMarkedWindowsReturn)
{
    FuzzSource random(24);
    SCOPED_TRACE(random.Describe());
    const std::string intact = EncodeHiddenRecord(HideAsDeadInstance(path, ours.Windows(), true));
    const std::vector<HWND> hiddenBefore = HiddenWindowsNow();

    for (size_t length = 0; length < intact.size(); ++length)
        RecoverRefused(intact.substr(0, length), "cut to " + std::to_string(length) + " bytes");
    int cases = 0;
    for (; cases < 500; ++cases) {
        std::string bytes = random.Bytes(random.Below(2 * static_cast<uint32_t>(intact.size())));
        if (cases % 2 == 0 && bytes.size() >= 8)
            bytes.replace(0, 8, intact, 0, 8); // our magic and version, then noise
        RecoverRefused(bytes, "random bytes #" + std::to_string(cases));
    }
    RecoverRefused(random.Bytes(MaxJournalBytes() + 1), "one byte larger than any journal");

    for (HWND window : ours.Windows())
        EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(window) != FALSE; }, 5000)) << "the mark brings it back";
    for (HWND window : hiddenBefore) {
        const bool oursToShow = std::count(ours.Windows().begin(), ours.Windows().end(), window) > 0;
        EXPECT_TRUE(oursToShow || !IsWindowVisible(window)) << "a window nobody hid for us was shown";
    }
}

TEST_F(JournalFuzz, WellFormedJournalsNamingOtherProgramsWindowsShowNoneOfThem)
{
    FuzzSource random(300);
    SCOPED_TRACE(random.Describe());
    // Every window hidden right now, with its process: the journals below
    // name them under their real process, under another one, with a wrong
    // start time, as marked by someone else; never with the exact identity
    // by which an instance that could not mark a window finds it again.
    struct Known {
        HWND window;
        DWORD processId;
        ULONGLONG created;
    };
    std::vector<Known> pool;
    for (HWND window : HiddenWindowsNow()) {
        Known known{window, 0, 0};
        GetWindowThreadProcessId(window, &known.processId);
        known.created = ProcessCreationTime(known.processId);
        pool.push_back(known);
    }
    ASSERT_GE(pool.size(), bystander.Windows().size());
    const ULONG_PTR runningMark = MarkTokenOf(bystander.ProcessId());

    for (int journal = 0; journal < 300; ++journal) {
        HiddenRecord record;
        const ULONG_PTR writers[] = {kDeadInstance, runningMark, static_cast<ULONG_PTR>(random.Below(0xFFFF)) * 2 + 1};
        record.writer = writers[random.Below(3)];
        for (uint32_t n = random.Below(9); n > 0; --n) {
            const Known& known = pool[random.Below(static_cast<uint32_t>(pool.size()))];
            HiddenEntry entry{known.window, known.processId, known.created, random.OneIn(2)};
            switch (random.Below(4)) {
            case 0:
                entry.processId = known.processId + 4 * (1 + random.Below(0x4000));
                break;
            case 1:
                entry.processCreated = known.created + 1 + random.Below(1000);
                break;
            case 2:
                entry.processCreated = 0;
                break;
            default:
                entry.marked = true;
                break;
            }
            if (random.OneIn(8))
                entry.window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(random.Below(0x40000)));
            record.entries.push_back(entry);
        }
        ASSERT_TRUE(WriteBytes(path, EncodeHiddenRecord(record)));
        const RecoveryReport report = RecoverLeftHiddenWindows(path);
        ASSERT_TRUE(report.journalValid) << "journal " << journal;
        EXPECT_EQ(report.windowsShown, 0) << "journal " << journal;
        EXPECT_FALSE(JournalExists());
    }
    for (const Known& known : pool)
        EXPECT_FALSE(IsWindowVisible(known.window)) << "a window hidden by its own program was shown";
}

TEST_F(JournalFuzz, LaterVersionsJournalIsLeftForItWhileTheMarksBringBackItsWindows)
{
    std::string later = EncodeHiddenRecord(HideAsDeadInstance(path, {ours.Window(1), ours.Window(2)}, true));
    later[4] = static_cast<char>(later[4] + 1); // the version after ours...
    later.append(16, '\x5a');                   // ...with more to say
    ASSERT_TRUE(WriteBytes(path, later));

    for (int start = 0; start < 2; ++start) {
        const RecoveryReport report = RecoverLeftHiddenWindows(path);
        EXPECT_TRUE(report.journalFound);
        EXPECT_FALSE(report.journalValid);
        EXPECT_TRUE(report.journalLater);
        EXPECT_FALSE(report.unmuted || report.notifyAreaShown) << "what it holds is not ours to read";
        EXPECT_EQ(report.orphansShown, start == 0 ? 2 : 0);
        std::string onDisk;
        ASSERT_TRUE(ReadBytes(path, &onDisk));
        EXPECT_TRUE(onDisk == later) << "the later version's journal was changed";
    }
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(ours.Window(1)) && IsWindowVisible(ours.Window(2)); }, 5000));
}
